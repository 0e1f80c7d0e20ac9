// quillon-cli subscribe URL [--folder PATH] [--name NAME] [--no-pauses]: one feed by its
// address (or the one feed a web page announces) as a channel of the tree, fetched at once.

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "cli/cli_commands.h"
#include "feeds/feed_probe.h"
#include "feeds/services_config.h"
#include "feeds/update_engine.h"
#include "model/database_texts.h"
#include "model/subscription.h"
#include "model/tree_file_subscription.h"
#include "store/data_folder.h"
#include "store/keyword_tree_file.h"

namespace {

constexpr char kUsage[] =
    "usage: quillon-cli subscribe URL [--folder PATH] [--name NAME] [--no-pauses]\n";

struct Options {
    std::string address;
    std::vector<std::string> folder;
    std::string name;
    bool pauses = true;
};

bool ParseOptions(const std::vector<std::string>& args, Options* options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((arg == "--folder" || arg == "--name") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (arg == "--name") {
                options->name = value;
                continue;
            }
            for (std::size_t start = 0; start <= value.size();) {
                const std::size_t slash = std::min(value.find('/', start), value.size());
                if (slash > start) {
                    options->folder.push_back(value.substr(start, slash - start));
                }
                start = slash + 1;
            }
        } else if (arg == "--no-pauses") {
            options->pauses = false;
        } else if (options->address.empty() && !arg.starts_with("--")) {
            options->address = arg;
        } else {
            return false;
        }
    }
    return !options->address.empty();
}

const char* FailureText(const FeedProbe& probe) {
    switch (probe.outcome) {
        case FeedProbeOutcome::kNotAFeed:
            return "not a feed, nor a page that announces one";
        case FeedProbeOutcome::kPageWithoutFeeds:
            return "the page announces no feed";
        default:
            return "cannot be read";
    }
}

// The feed to subscribe: the address itself, or the one feed its page announces. Nothing,
// with the reason on stderr (or the page's feeds on stdout), when there is none to take.
std::optional<std::pair<std::string, FeedProbe>> ChooseFeed(const std::string& address) {
    FeedProbe probe = ProbeFeedAddress(address);
    if (probe.outcome == FeedProbeOutcome::kPage && probe.candidates.size() > 1) {
        for (const FeedCandidate& candidate : probe.candidates) {
            std::printf("%s\t%s\n", candidate.address.c_str(), candidate.title.c_str());
        }
        std::fprintf(stderr,
                     "quillon-cli: %s announces %zu feeds (listed above); subscribe one of them\n",
                     address.c_str(), probe.candidates.size());
        return std::nullopt;
    }
    std::string chosen = address;
    if (probe.outcome == FeedProbeOutcome::kPage) {
        chosen = probe.candidates.front().address;
        probe = ProbeFeedAddress(chosen);
    }
    if (probe.outcome != FeedProbeOutcome::kFeed) {
        std::string detail = probe.document.detail;
        if (probe.document.failure == TypedDocumentFailure::kHttpStatus) {
            detail = "HTTP " + std::to_string(probe.document.status);
        }
        std::fprintf(stderr, "quillon-cli: %s: %s%s%s\n", chosen.c_str(), FailureText(probe),
                     detail.empty() ? "" : ": ", detail.c_str());
        return std::nullopt;
    }
    return std::make_pair(chosen, std::move(probe));
}

}  // namespace

int RunSubscribeCommand(const std::vector<std::string>& args) {
    Options options;
    if (!ParseOptions(args, &options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const auto feed = ChooseFeed(options.address);
    if (!feed) {
        return 1;
    }
    const auto& [address, probe] = *feed;
    const std::string treePath = theStore.DataPath("document/keywordlist.xml");
    CKeywordTreeFile file(treePath);
    bool treeNotSaved = false;
    file.SetSaveFailureListener([&](int errorNumber) {
        treeNotSaved = true;
        std::fprintf(stderr,
                     "quillon-cli: the tree file %s cannot be written (%s): the new channel is "
                     "not kept in it\n",
                     treePath.c_str(), std::strerror(errorNumber));
    });
    TreeFileSubscription tree(file);
    if (file.Damage()) {
        PrintTreeFileDamage(treePath, *file.Damage());
        return 1;
    }
    theStore.SetReporter(PrintReport);
    theStore.LoadSettings();
    Services().LoadFile(theStore.DataPath("data/services.conf"));
    if (!theStore.Open()) {
        std::fprintf(stderr, "quillon-cli: cannot open the database: %s\n",
                     StoreOpenFailureText().c_str());
        return 1;
    }
    const int folderId = FolderAtPath(tree, 0, options.folder);
    if (folderId < 0) {
        std::fprintf(stderr, "quillon-cli: cannot make the folder\n");
        return 1;
    }
    const std::string wanted = !options.name.empty()  ? options.name
                               : !probe.title.empty() ? probe.title
                                                      : address;
    const OneFeedResult result = SubscribeFeed(tree, theStore, folderId, wanted, address);
    if (result.outcome == OneFeedResult::kAlreadyThere) {
        std::fprintf(stderr, "quillon-cli: the channel %s of that folder has this feed already\n",
                     result.name.c_str());
        return 1;
    }
    if (result.outcome == OneFeedResult::kUnstored) {
        std::fprintf(stderr, "quillon-cli: cannot subscribe %s: %s\n", address.c_str(),
                     DatabaseFailureEnglish(theStore.LastError()).c_str());
        return 1;
    }
    if (result.outcome != OneFeedResult::kAdded) {
        std::fprintf(stderr, "quillon-cli: cannot subscribe %s: the folder takes no channel %s\n",
                     address.c_str(), result.name.c_str());
        return 1;
    }
    if (treeNotSaved) {
        return 1;  // said by the listener
    }
    UpdateEngine& engine = theStore.Engine();
    engine.pacing().SetEnabled(options.pauses);
    engine.AddKeyword(result.name, false);
    engine.RefreshChannel(result.name);
    engine.WaitForStoreThreads();
    const auto progress = engine.Progress();
    const auto it = progress.find(result.name);
    const KeywordProgress counts = it == progress.end() ? KeywordProgress() : it->second;
    std::printf("%s\t%s\t%s\t%d new items\t%d failed\n", result.name.c_str(), address.c_str(),
                probe.format.c_str(), counts.itemsStored, counts.feedsFailed);
    theStore.Shutdown();
    return counts.feedsFailed > 0 ? 1 : 0;
}
