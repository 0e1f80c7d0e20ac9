#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ascii.h"

class CAdoConnection;

// What became of a source (a channel's search address, or a feed subscribed for it) the
// last time it was fetched: a row of the source_status table per channel keyword and address.
// Any thread may call the functions below; each runs one statement.

enum class SourceOutcome {
    kOk,            // a feed arrived and was read (with or without items)
    kNotModified,   // the server said the copy stored last is current (304)
    kHttpError,     // an HTTP answer that is no success (404, 500, a 429 without Retry-After)
    kNetworkError,  // no answer: refused, unreachable, timed out, cut off
    kNotAFeed,      // an answer that is no feed (an HTML page, broken XML)
    kGone,          // 410 Gone: passes no longer fetch it
    kDeferred,      // 429 or 503 with Retry-After: passes leave it until then
    // The proxy could not be reached or refused the request; httpStatus 407 when it rejected
    // the user and password (or asked for them), 0 otherwise.
    kProxyError,
};

// The name of an outcome as the table and the command-line tool write it ("ok",
// "not-modified", "http-error", "network-error", "not-a-feed", "gone", "deferred", "proxy-error").
std::string_view OutcomeName(SourceOutcome outcome);
// The outcome of a name; nothing for any other text.
std::optional<SourceOutcome> OutcomeFromName(std::string_view name);
// Whether the outcome means the source gave nothing this time (all but ok and not-modified).
bool IsFailedOutcome(SourceOutcome outcome);

struct SourceStatus {
    std::string channel;
    std::string address;
    // "search.baidu" ... for a search address (see services_config.h), "" for a subscribed
    // feed.
    std::string service;
    SourceOutcome outcome = SourceOutcome::kOk;
    int httpStatus = 0;  // 0 where no answer came
    int newItems = 0;    // stored from the last fetch
    // Moments as UtcTimeText writes them; "" for never.
    std::string lastAttempt;
    std::string lastSuccess;
    int failures = 0;        // consecutive failed attempts
    int goneCount = 0;       // of those, the latest that answered 410 Gone, in a row
    std::string retryAfter;  // deferred: passes leave the source until then
    // When the pass or refresh that last took the source in hand began: the rows of a channel
    // with its latest passTime are the sources it has now.
    std::string passTime;

    bool operator==(const SourceStatus&) const = default;
};

// The row of `address` under `channel`; nothing when there is none or the query fails.
std::optional<SourceStatus> LoadSourceStatus(const CAdoConnection& connection,
                                             std::string_view channel, std::string_view address);
// Writes the row, replacing the one of the same channel and address. False, with the reason
// in `failure` (may be null), when the statement fails.
bool SaveSourceStatus(CAdoConnection& connection, const SourceStatus& status,
                      std::string* failure = nullptr);
// Marks the row as taken in hand by the pass that began at `passTime`, changing nothing else.
bool TouchSourceStatus(CAdoConnection& connection, std::string_view channel,
                       std::string_view address, std::string_view passTime);

// Every row, by channel and address; empty when the query fails.
std::vector<SourceStatus> LoadAllSourceStatus(const CAdoConnection& connection);
// The rows of each channel's latest pass, by channel (names compare ignoring ASCII case),
// in address order; nothing when the query fails.
using SourcesByChannel = std::map<std::string, std::vector<SourceStatus>, LessIgnoreAsciiCase>;
std::optional<SourcesByChannel> LoadLatestSourceStatus(const CAdoConnection& connection);
// The same for `channels` only (none: an empty map).
std::optional<SourcesByChannel> LoadLatestSourceStatus(const CAdoConnection& connection,
                                                       const std::vector<std::string>& channels);
// The most recent row of each search service, by service key.
std::map<std::string, SourceStatus> LoadLatestServiceStatus(const CAdoConnection& connection);
