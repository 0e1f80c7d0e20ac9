// quillon-cli search TEXT [--json]: the stored news that hold a text, as the window's search
// lists them.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "model/news_loader.h"
#include "store/keyword_tree_file.h"
#include "store/search_index.h"
#include "store/search_terms.h"

namespace {

// One line a row: category, date, channel and title, separated by tabs; unread rows marked
// with a star.
void PrintRows(const std::vector<CNewsRow>& rows) {
    for (const CNewsRow& row : rows) {
        std::printf("%s\t%s\t%s\t%s%s\n", row.categoryName, row.dateText, row.channel,
                    row.read ? "" : "* ", row.title.c_str());
    }
}

// What the search left out, on stderr: the rows printed are still every match it could find.
void PrintShortfall(const SearchShortfall& shortfall) {
    if (shortfall.textCut) {
        std::fprintf(stderr,
                     "quillon-cli: only the first %d words (up to %zu bytes) of the text were "
                     "searched for\n",
                     kSearchPartLimit, kSearchTextLimit);
    }
    if (shortfall.reason == 0 || shortfall.unindexed == 0) {
        return;
    }
    const char* why = "the database failed";
    switch (DatabaseTroubleOf(shortfall.reason)) {
        case DatabaseTrouble::kDiskFull:
            why = "the disk is full; free some space and search again";
            break;
        case DatabaseTrouble::kBusy:
            why = "another program holds the database; search again later";
            break;
        case DatabaseTrouble::kReadOnly:
        case DatabaseTrouble::kNoAccess:
            why = "the data folder can only be read";
            break;
        default:
            break;
    }
    std::fprintf(stderr,
                 "quillon-cli: %lld stored items could not be added to the search index and were "
                 "not searched: %s\n",
                 static_cast<long long>(shortfall.unindexed), why);
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
    // The window leaves out the news of channels deleted from the tree; so does the command,
    // where there is a tree to tell them by.
    std::optional<std::vector<std::string>> treeNames;
    const std::string treePath = theStore.DataPath("document/keywordlist.xml");
    std::error_code error;
    if (std::filesystem::exists(treePath, error)) {
        std::optional<TreeFileDamage> damage;
        std::vector<std::string> names = ReadChannelKeywords(treePath, &damage);
        if (!damage) {
            treeNames = std::move(names);
        }
    }
    CNewsList list(theStore);
    list.pacing().SetEnabled(false);
    list.RequestSearch(*text, std::move(treeNames));
    list.WaitUntilIdle();
    const std::vector<CNewsRow> rows = list.Rows();
    if (json) {
        std::cout << RowsAsJson(rows).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                  << "\n";
    } else {
        PrintRows(rows);
    }
    PrintShortfall(list.LastSearchShortfall());
    return 0;
}
