#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/run_process.h"

// Runs the built quillon-cli on the data folder `folder`, started in that folder.
ProcessResult Cli(const std::vector<std::string>& args, const std::string& folder);

// Today on the local calendar of the real clock: the tool runs in its own process.
std::chrono::sys_days LocalToday();

// The rows `list` or `search --json` printed in `out`, without the fields each item's
// database ID and star add (tests that compare whole rows leave those to their own tests).
nlohmann::ordered_json ListedRows(const std::string& out);

// A row of `quillon-cli list` as the tool prints it for an item of `date`.
// Items are unread until their page is shown.
nlohmann::ordered_json ExpectedListRow(std::chrono::sys_days date, const std::string& title,
                                       const std::string& channel, const std::string& author,
                                       const std::string& source, bool read = false);
