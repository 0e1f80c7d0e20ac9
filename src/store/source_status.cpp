#include "store/source_status.h"

#include <array>
#include <cstdint>
#include <memory>
#include <utility>

#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"

namespace {

constexpr std::array<std::pair<SourceOutcome, std::string_view>, 8> kNames = {{
    {SourceOutcome::kOk, "ok"},
    {SourceOutcome::kNotModified, "not-modified"},
    {SourceOutcome::kHttpError, "http-error"},
    {SourceOutcome::kNetworkError, "network-error"},
    {SourceOutcome::kNotAFeed, "not-a-feed"},
    {SourceOutcome::kGone, "gone"},
    {SourceOutcome::kDeferred, "deferred"},
    {SourceOutcome::kProxyError, "proxy-error"},
}};

// The longest address kept whole: a search word of 511 bytes, every byte percent-encoded,
// in a template of its own.
constexpr int kAddressBytes = 4096;
constexpr int kNameBytes = 1024;
constexpr int kShortBytes = 64;

// One row's buffers, bound once to a recordset (bindings accumulate until it closes).
struct RowBuffers {
    char channel[kNameBytes] = {};
    char address[kAddressBytes] = {};
    char service[kShortBytes] = {};
    char outcome[kShortBytes] = {};
    std::int32_t httpStatus = 0;
    std::int32_t newItems = 0;
    char lastAttempt[kShortBytes] = {};
    char lastSuccess[kShortBytes] = {};
    std::int32_t failures = 0;
    char retryAfter[kShortBytes] = {};
    char passTime[kShortBytes] = {};
    std::int32_t goneCount = 0;

    bool Bind(CAdoRecordset& records) {
        const auto text = [&records](const char* name, char* buffer, int size) {
            return records.BindColumnByName(name, buffer, size, kBindText);
        };
        const auto number = [&records](const char* name, std::int32_t* value) {
            return records.BindColumnByName(name, value, sizeof *value, kBindNumber);
        };
        return text("channel", channel, sizeof channel) &&
               text("address", address, sizeof address) &&
               text("service", service, sizeof service) &&
               text("outcome", outcome, sizeof outcome) && number("http_status", &httpStatus) &&
               number("new_items", &newItems) &&
               text("last_attempt", lastAttempt, sizeof lastAttempt) &&
               text("last_success", lastSuccess, sizeof lastSuccess) &&
               number("failures", &failures) &&
               text("retry_after", retryAfter, sizeof retryAfter) &&
               text("pass_time", passTime, sizeof passTime) && BindGoneCount(records);
    }
    // A file read as it is, of a build before the count, has no such column: it counts 0.
    bool BindGoneCount(CAdoRecordset& records) {
        records.BindColumnByName("gone_count", &goneCount, sizeof goneCount, kBindNumber);
        return true;
    }

    // The current row; a row whose outcome is no outcome counts as a network error, the
    // least a failed fetch can have been.
    SourceStatus Read(CAdoRecordset& records) {
        records.Fetch();  // clears every buffer first
        SourceStatus status;
        status.channel = channel;
        status.address = address;
        status.service = service;
        status.outcome = OutcomeFromName(outcome).value_or(SourceOutcome::kNetworkError);
        status.httpStatus = httpStatus;
        status.newItems = newItems;
        status.lastAttempt = lastAttempt;
        status.lastSuccess = lastSuccess;
        status.failures = failures;
        status.retryAfter = retryAfter;
        status.passTime = passTime;
        status.goneCount = goneCount;
        return status;
    }
};

// Every row of the query `open` runs on the recordset it is given; nothing when it fails.
template <typename OpenQuery>
std::optional<std::vector<SourceStatus>> QueryRows(const CAdoConnection& connection,
                                                   OpenQuery open) {
    CAdoRecordset records(connection);
    // Large buffers: one set per query, off the stack of threads with small ones.
    auto buffers = std::make_unique<RowBuffers>();
    if (!open(records) || !buffers->Bind(records)) {
        return std::nullopt;
    }
    std::vector<SourceStatus> rows;
    for (; !records.IsEOF(); records.MoveNext()) {
        rows.push_back(buffers->Read(records));
    }
    if (!records.LastError().empty()) {
        return std::nullopt;
    }
    return rows;
}

// Every row of `sql`; nothing when the query fails.
std::optional<std::vector<SourceStatus>> Query(const CAdoConnection& connection,
                                               const std::string& sql) {
    return QueryRows(connection, [&sql](CAdoRecordset& records) { return records.Open(sql); });
}

std::optional<SourcesByChannel> ByChannel(std::optional<std::vector<SourceStatus>> rows) {
    if (!rows) {
        return std::nullopt;
    }
    SourcesByChannel byChannel;
    for (SourceStatus& row : *rows) {
        // The map's key is the first spelling met; rows of one channel in other cases join it.
        byChannel[row.channel].push_back(std::move(row));
    }
    return byChannel;
}

}  // namespace

std::string_view OutcomeName(SourceOutcome outcome) {
    for (const auto& [value, name] : kNames) {
        if (value == outcome) {
            return name;
        }
    }
    return "network-error";
}

std::optional<SourceOutcome> OutcomeFromName(std::string_view name) {
    for (const auto& [value, known] : kNames) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

bool IsFailedOutcome(SourceOutcome outcome) {
    return outcome != SourceOutcome::kOk && outcome != SourceOutcome::kNotModified;
}

std::optional<SourceStatus> LoadSourceStatus(const CAdoConnection& connection,
                                             std::string_view channel, std::string_view address) {
    // Asked before every fetch: a statement kept on the handle, with the names bound.
    auto rows = QueryRows(connection, [&](CAdoRecordset& records) {
        return records.OpenBound(kSqlSelectBoundSourceStatus, {channel, address});
    });
    if (!rows || rows->empty()) {
        return std::nullopt;
    }
    return std::move(rows->front());
}

bool SaveSourceStatus(CAdoConnection& connection, const SourceStatus& status,
                      std::string* failure) {
    // Integers go as text: the INTEGER columns store them as the numbers they were.
    const std::string httpStatus = std::to_string(status.httpStatus);
    const std::string newItems = std::to_string(status.newItems);
    const std::string failures = std::to_string(status.failures);
    const std::string goneCount = std::to_string(status.goneCount);
    return connection.ExecuteBound(
               kSqlSaveBoundSourceStatus,
               {status.channel, status.address, status.service, OutcomeName(status.outcome),
                httpStatus, newItems, status.lastAttempt, status.lastSuccess, failures,
                status.retryAfter, status.passTime, goneCount},
               nullptr, failure) >= 0;
}

bool TouchSourceStatus(CAdoConnection& connection, std::string_view channel,
                       std::string_view address, std::string_view passTime) {
    return connection.ExecuteBound(kSqlTouchBoundSourceStatus, {channel, address, passTime}) >= 0;
}

std::vector<SourceStatus> LoadAllSourceStatus(const CAdoConnection& connection) {
    return Query(connection, SqlSelectAllSourceStatus()).value_or(std::vector<SourceStatus>());
}

std::optional<SourcesByChannel> LoadLatestSourceStatus(const CAdoConnection& connection) {
    return ByChannel(Query(connection, SqlSelectLatestSourceStatus()));
}

std::optional<SourcesByChannel> LoadLatestSourceStatus(const CAdoConnection& connection,
                                                       const std::vector<std::string>& channels) {
    if (channels.empty()) {
        return SourcesByChannel();
    }
    return ByChannel(Query(connection, SqlSelectLatestSourceStatus(channels)));
}

std::map<std::string, SourceStatus> LoadLatestServiceStatus(const CAdoConnection& connection) {
    std::map<std::string, SourceStatus> byService;
    for (SourceStatus& row :
         Query(connection, SqlSelectLatestServiceStatus()).value_or(std::vector<SourceStatus>())) {
        byService.try_emplace(row.service, std::move(row));
    }
    return byService;
}
