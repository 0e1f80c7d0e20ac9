// quillon-cli update: one run of the update engine over the tree's channels.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <set>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "feeds/update_engine.h"
#include "model/account_sync.h"
#include "model/update_texts.h"
#include "store/keyword_tree_file.h"

namespace {

// One line per keyword of the tree, in tree order (feeds stored, items new, fetches failed,
// subscribed feeds unchanged since the last run, documents cut off before their end), then
// the summary the window shows; the
// exit status: 1 when storing failed or every fetch failed, else 0.
int PrintOutcome(const UpdateEngine& engine, const std::vector<std::string>& keywords) {
    const auto progress = engine.Progress();
    std::set<std::string> printed;
    int tried = 0;
    int failed = 0;
    for (const std::string& keyword : keywords) {
        if (!printed.insert(keyword).second) {
            continue;
        }
        const auto it = progress.find(keyword);
        const KeywordProgress counts = it == progress.end() ? KeywordProgress() : it->second;
        PrintChannelLine(keyword, counts);
        tried += counts.feedsTried;
        failed += counts.feedsFailed;
    }
    const UpdateTally tally = engine.Tally();
    const std::string silent = SilentServiceText(tally);
    if (!silent.empty()) {
        std::fprintf(stderr, "quillon-cli: %s\n", silent.c_str());
    }
    std::printf("%s\n", UpdateSummaryText(tally).c_str());
    if (!engine.StoreFailure().empty()) {
        return 1;
    }
    if (tried > 0 && failed == tried) {
        std::fprintf(stderr, "quillon-cli: every one of the %d fetches failed\n", tried);
        return 1;
    }
    return 0;
}

void PrintProgress(const UpdateEngine& engine) {
    int feeds = 0;
    int items = 0;
    for (const auto& [keyword, progress] : engine.Progress()) {
        feeds += progress.feedsFetched;
        items += progress.itemsStored;
    }
    std::fprintf(stderr, "\rfetched %d feeds, stored %d new items, %d storing...   ", feeds, items,
                 engine.StoreThreads());
    std::fflush(stderr);
}

}  // namespace

void PrintChannelLine(const std::string& keyword, const KeywordProgress& counts) {
    std::printf("%s\t%d feeds\t%d new items\t%d failed\t%d unchanged\t%d partial\n",
                keyword.c_str(), counts.feedsFetched, counts.itemsStored, counts.feedsFailed,
                counts.feedsUnchanged, counts.feedsPartial);
}

int RunUpdateCommand(const std::vector<std::string>& args) {
    bool pauses = true;
    for (const std::string& arg : args) {
        if (arg == "--no-pauses") {
            pauses = false;
        } else {
            std::fprintf(stderr, "usage: quillon-cli update [--no-pauses]\n");
            return 2;
        }
    }
    UpdateEngine& engine = theStore.Engine();
    engine.pacing().SetEnabled(pauses);
    // Reports go to stderr as they come, from whichever thread makes them.
    theStore.SetReporter(PrintReport);
    // Indexing would cost more than storing: the next search takes the queue in first.
    theStore.SetIndexInBackground(false);
    const std::string treePath = theStore.DataPath("document/keywordlist.xml");
    std::optional<TreeFileDamage> damage;
    const std::vector<ChannelKeyword> channels = ReadTreeChannels(treePath, &damage);
    if (damage) {
        PrintTreeFileDamage(treePath, *damage);
        return 1;
    }
    if (!theStore.Startup(false)) {
        std::fprintf(stderr, "quillon-cli: cannot open the database: %s\n",
                     StoreOpenFailureText().c_str());
        theStore.Shutdown();
        return 1;
    }
    // A rule that cannot be read is named and left out; the others apply.
    for (const DamagedRule& rule : theStore.DamagedRules()) {
        std::fprintf(stderr, "quillon-cli: rule %lld is damaged and skipped: %s\n",
                     static_cast<long long>(rule.id), rule.reason.c_str());
    }
    // With an account, the server's articles and read state come first; while it answers,
    // what it fetches is not fetched here too: the channels of its folder, and the search
    // addresses of the keyword channels it watches. When it cannot be reached, every channel
    // is fetched here as before.
    const std::optional<SyncSummary> sync = SyncWithAccount(theStore, PrintTreeFileDamage);
    const auto serverFetched = sync && sync->ok() ? ServerFetchedChannels(theStore)
                                                  : decltype(ServerFetchedChannels(theStore))();
    for (const ChannelKeyword& channel : ChannelsLeftToFetch(channels, serverFetched)) {
        theStore.AddKeyword(channel.name, channel.searchName);
    }
    engine.Start();
    // Wait for the passes, then for the storing threads they started; on a terminal show
    // the progress while waiting.
    const bool terminal = isatty(STDERR_FILENO) != 0;
    while (!engine.WaitForPassesFor(std::chrono::milliseconds(200))) {
        if (terminal) {
            PrintProgress(engine);
        }
    }
    engine.WaitForUpdate();
    engine.WaitForStoreThreads();
    if (terminal) {
        PrintProgress(engine);
        std::fputs("\n", stderr);
    }
    if (sync) {
        PrintSyncSummary(*sync, false);
    }
    theStore.Shutdown();
    const int outcome = PrintOutcome(engine, engine.Keywords());
    return sync && !sync->ok() ? 1 : outcome;
}
