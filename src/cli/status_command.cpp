// quillon-cli status [--json]: what became of every source the last time it was fetched.

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "store/source_status.h"

namespace {

nlohmann::ordered_json Moment(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

nlohmann::ordered_json RowsAsJson(const std::vector<SourceStatus>& rows) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const SourceStatus& row : rows) {
        nlohmann::ordered_json fields = nlohmann::ordered_json::object();
        fields["channel"] = row.channel;
        fields["address"] = row.address;
        fields["outcome"] = OutcomeName(row.outcome);
        fields["httpStatus"] = row.httpStatus;
        fields["newItems"] = row.newItems;
        fields["lastAttempt"] = Moment(row.lastAttempt);
        fields["lastSuccess"] = Moment(row.lastSuccess);
        fields["failures"] = row.failures;
        out.push_back(std::move(fields));
    }
    return out;
}

// One line a source: channel, address, outcome, HTTP status, new items, last attempt, last
// success and failures, separated by tabs ("-" for a moment that never was).
void PrintLines(const std::vector<SourceStatus>& rows) {
    const auto moment = [](const std::string& text) { return text.empty() ? "-" : text.c_str(); };
    for (const SourceStatus& row : rows) {
        std::printf(
            "%s\t%s\t%s\tHTTP %d\t%d new items\tlast attempt %s\tlast success %s\t"
            "%d failures\n",
            row.channel.c_str(), row.address.c_str(), std::string(OutcomeName(row.outcome)).c_str(),
            row.httpStatus, row.newItems, moment(row.lastAttempt), moment(row.lastSuccess),
            row.failures);
    }
}

}  // namespace

int RunStatusCommand(const std::vector<std::string>& args) {
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else {
            std::fputs("usage: quillon-cli status [--json]\n", stderr);
            return 2;
        }
    }
    // Only reads: a write-protected folder, or a read-only mount, is shown as it is.
    if (!OpenDatabaseForReading()) {
        return 1;
    }
    const std::vector<SourceStatus> rows = LoadAllSourceStatus(theStore);
    if (json) {
        std::cout << RowsAsJson(rows).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                  << "\n";
    } else {
        PrintLines(rows);
    }
    return 0;
}
