// quillon-cli refresh NAME: one channel's sources fetched once more, as 刷新该频道 does.

#include <algorithm>
#include <cstdio>
#include <optional>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "feeds/update_engine.h"
#include "store/keyword_tree_file.h"
#include "store/source_status.h"

namespace {

// The channel's sources as this refresh left them, one line each: address, outcome and HTTP
// status.
void PrintSources(const std::string& keyword) {
    const std::optional<SourcesByChannel> latest = LoadLatestSourceStatus(theStore);
    const auto found = latest ? latest->find(keyword) : SourcesByChannel::const_iterator();
    if (!latest || found == latest->end()) {
        return;
    }
    for (const SourceStatus& source : found->second) {
        std::printf("  %s\t%s\tHTTP %d\n", source.address.c_str(),
                    std::string(OutcomeName(source.outcome)).c_str(), source.httpStatus);
    }
}

}  // namespace

int RunRefreshCommand(const std::vector<std::string>& args) {
    std::optional<std::string> name;
    bool pauses = true;
    for (const std::string& arg : args) {
        if (arg == "--no-pauses") {
            pauses = false;
        } else if (!name && !arg.starts_with("--")) {
            name = arg;
        } else {
            name.reset();
            break;
        }
    }
    if (!name) {
        std::fputs("usage: quillon-cli refresh NAME [--no-pauses]\n", stderr);
        return 2;
    }
    UpdateEngine& engine = theStore.Engine();
    engine.pacing().SetEnabled(pauses);
    theStore.SetReporter(PrintReport);
    // Indexing would cost more than storing: the next search takes the queue in first.
    theStore.SetIndexInBackground(false);
    const std::string treePath = theStore.DataPath("document/keywordlist.xml");
    std::optional<TreeFileDamage> damage;
    const std::vector<std::string> keywords = ReadChannelKeywords(treePath, &damage);
    if (damage) {
        PrintTreeFileDamage(treePath, *damage);
        return 1;
    }
    if (std::find(keywords.begin(), keywords.end(), *name) == keywords.end()) {
        std::fprintf(stderr, "quillon-cli: the tree has no channel named '%s'\n", name->c_str());
        return 1;
    }
    if (!theStore.Startup(false)) {
        std::fprintf(stderr, "quillon-cli: cannot open the database: %s\n",
                     StoreOpenFailureText().c_str());
        theStore.Shutdown();
        return 1;
    }
    // Explicit, as the window's command: gone and backed-off sources are tried at once.
    theStore.RefreshChannel(*name);
    engine.WaitForStoreThreads();
    theStore.Shutdown();
    const auto progress = engine.Progress();
    const auto it = progress.find(*name);
    const KeywordProgress counts = it == progress.end() ? KeywordProgress() : it->second;
    PrintChannelLine(*name, counts);
    PrintSources(*name);
    if (!engine.StoreFailure().empty()) {
        return 1;
    }
    if (counts.feedsTried > 0 && counts.feedsFailed == counts.feedsTried) {
        std::fprintf(stderr, "quillon-cli: every one of the %d fetches failed\n",
                     counts.feedsTried);
        return 1;
    }
    return 0;
}
