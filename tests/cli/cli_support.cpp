#include "cli/cli_support.h"

#include "base/clock.h"
#include "model/news_age.h"

using namespace std::chrono;

ProcessResult Cli(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<std::string> words{"--data", folder};
    words.insert(words.end(), args.begin(), args.end());
    return RunProcess(QUILLON_CLI_PATH, words, folder);
}

sys_days LocalToday() {
    const CalendarTime now = LocalNow();
    return sys_days{year{now.year} / month{static_cast<unsigned>(now.month)} /
                    day{static_cast<unsigned>(now.day)}};
}

nlohmann::ordered_json ListedRows(const std::string& out) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::parse(out, nullptr, false);
    if (rows.is_array()) {
        for (auto& row : rows) {
            row.erase("id");
            row.erase("starred");
            row.erase("colour");
            row.erase("hidden");
        }
    }
    return rows;
}

nlohmann::ordered_json ExpectedListRow(sys_days date, const std::string& title,
                                       const std::string& channel, const std::string& author,
                                       const std::string& source, bool read) {
    const year_month_day ymd(date);
    const int y = static_cast<int>(ymd.year());
    const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int d = static_cast<int>(static_cast<unsigned>(ymd.day()));
    nlohmann::ordered_json row;
    row["category"] = std::string(AgeCategoryNameOf(AgeCategory(y, m, d)));
    row["title"] = title;
    row["channel"] = channel;
    row["date"] = NewsDateText(y, m, d, kNewsDateValid);
    row["author"] = author;
    row["source"] = source;
    row["read"] = read;
    return row;
}
