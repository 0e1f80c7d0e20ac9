// quillon-cli search TEXT [--json]: the stored news that hold a text, as the window's search
// lists them.

#include <cstdio>
#include <iostream>
#include <optional>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "model/news_loader.h"

namespace {

// One line a row: category, date, channel and title, separated by tabs; unread rows marked
// with a star.
void PrintRows(const std::vector<CNewsRow>& rows) {
    for (const CNewsRow& row : rows) {
        std::printf("%s\t%s\t%s\t%s%s\n", row.categoryName, row.dateText, row.channel,
                    row.read ? "" : "* ", row.title);
    }
}

}  // namespace

int RunSearchCommand(const std::vector<std::string>& args) {
    std::optional<std::string> text;
    bool json = false;
    bool understood = true;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (!text && !arg.starts_with("--")) {
            text = arg;
        } else {
            understood = false;
        }
    }
    if (!text || !understood) {
        std::fputs("usage: quillon-cli search TEXT [--json]\n", stderr);
        return 2;
    }
    theStore.LoadSettings();
    if (!theStore.Open()) {
        std::fprintf(stderr, "quillon-cli: cannot open the database %s\n  %s\n",
                     theStore.DataPath("data/data.dat").c_str(), theStore.LastError().c_str());
        return 1;
    }
    CNewsList list(theStore);
    list.pacing().SetEnabled(false);
    list.RequestSearch(*text);
    list.WaitUntilIdle();
    const std::vector<CNewsRow> rows = list.Rows();
    if (json) {
        std::cout << RowsAsJson(rows).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                  << "\n";
    } else {
        PrintRows(rows);
    }
    return 0;
}
