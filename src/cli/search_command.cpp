// quillon-cli search TEXT [--json]: the stored news that hold a text, as the window's search
// lists them.

#include <cstdio>
#include <iostream>
#include <optional>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "model/news_loader.h"
#include "store/search_index.h"

namespace {

// One line a row: category, date, channel and title, separated by tabs; unread rows marked
// with a star.
void PrintRows(const std::vector<CNewsRow>& rows) {
    for (const CNewsRow& row : rows) {
        std::printf("%s\t%s\t%s\t%s%s\n", row.categoryName, row.dateText, row.channel,
                    row.read ? "" : "* ", row.title.c_str());
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
    if (!OpenDatabaseForReading()) {
        return 1;
    }
    // A search indexes the queue first. A write-protected file cannot be indexed: what its
    // index holds is searched, and the rest is counted on stderr.
    std::optional<SearchIndexState> index;
    if (theStore.IsReadOnly()) {
        index = ReadSearchIndexState(theStore);
        if (!index) {
            std::fprintf(stderr, "quillon-cli: cannot read the search index of %s\n",
                         theStore.DataPath("data/data.dat").c_str());
            return 1;
        }
        if (!index->present) {
            std::fprintf(stderr,
                         "quillon-cli: %s was written by an earlier build and has no search "
                         "index yet, and the data folder can only be read; the index is built "
                         "the first time the window or quillon-cli opens it where it can be "
                         "written\n",
                         theStore.DataPath("data/data.dat").c_str());
            return 1;
        }
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
    if (index && index->queued > 0) {
        std::fprintf(stderr,
                     "quillon-cli: the data folder can only be read, so the %lld items stored "
                     "since the search index was last brought up to date were not searched\n",
                     static_cast<long long>(index->queued));
    }
    return 0;
}
