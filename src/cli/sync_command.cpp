// quillon-cli sync [--json]: one sync with the account's server.

#include <cstdio>
#include <cstring>
#include <set>

#include "base/http_fetch.h"
#include "base/utc_time.h"
#include "cli/cli_commands.h"
#include "feeds/search_url.h"
#include "feeds/services_config.h"
#include "model/sync_texts.h"
#include "model/tree_file_subscription.h"
#include "model/ttrss_sync.h"
#include "store/ado_error.h"
#include "store/ado_transaction.h"
#include "store/keyword_tree_file.h"
#include "store/secret_store.h"
#include "store/source_status.h"
#include "store/sync_rows.h"
#include "store/sync_settings.h"
#include "store/sys_data.h"

namespace {

SourceOutcome OutcomeOf(const SyncSummary& summary) {
    switch (summary.failure) {
        case TtRssFailure::kNone:
            return SourceOutcome::kOk;
        case TtRssFailure::kNoConnection:
        case TtRssFailure::kTls:
        case TtRssFailure::kAbandoned:
            return SourceOutcome::kNetworkError;
        case TtRssFailure::kNotTtRss:
        case TtRssFailure::kBadAnswer:
        case TtRssFailure::kTooLarge:
            return SourceOutcome::kNotAFeed;
        default:
            return SourceOutcome::kHttpError;
    }
}

// The account as a source of `quillon-cli status`: its host as the channel, its address.
void RecordStatus(const std::string& server, const SyncSummary& summary) {
    const std::string folder = ServerFolderName(server);
    SourceStatus status;
    if (const auto earlier = LoadSourceStatus(theStore, folder, server)) {
        status = *earlier;
    }
    status.channel = folder;
    status.address = server;
    status.service = "sync";
    status.outcome = OutcomeOf(summary);
    status.httpStatus = 0;
    status.newItems = summary.itemsStored;
    status.lastAttempt = UtcTimeText(std::chrono::system_clock::now());
    status.passTime = status.lastAttempt;
    if (summary.ok()) {
        status.lastSuccess = status.lastAttempt;
        status.failures = 0;
    } else {
        ++status.failures;
    }
    SaveSourceStatus(theStore, status);
}

// The keyword channels of the tree with their first search page's address, when the server is
// to watch them ("由服务器代为监视关键词").
std::vector<WatchedKeyword> KeywordsToWatch(const std::string& treePath) {
    std::vector<WatchedKeyword> watched;
    if (theStore.MoreSettings().Get(kSyncWatchKeywordsKey) == 0) {
        return watched;
    }
    std::optional<TreeFileDamage> damage;
    const CSysData& settings = theStore.Settings();
    const int engine =
        settings.SearchEngine() >= 0 && settings.SearchEngine() < CSysData::kEngineCount
            ? settings.SearchEngine()
            : kEngineBaidu;
    std::set<std::string, LessIgnoreAsciiCase> seen;
    for (const ChannelKeyword& channel : ReadTreeChannels(treePath, &damage)) {
        if (!channel.searchName || !seen.insert(channel.name).second) {
            continue;
        }
        const std::string address =
            BuildSearchUrl(0, settings.ItemsPerPage(), engine, channel.name);
        watched.push_back({channel.name, ToWireUrl(address, ExpectsGbkQuery(address))});
    }
    return watched;
}

}  // namespace

std::optional<SyncSummary> SyncWithAccount() {
    const std::string server = theStore.MoreSettings().Get(kSyncServerKey);
    if (server.empty()) {
        return std::nullopt;
    }
    SyncSummary summary;
    const SecretResult password = CSecretStore(theStore.DataPath("")).Lookup(kSyncSecretName);
    if (!password.ok) {
        summary.failure = TtRssFailure::kLoginError;
        summary.detail = "the password cannot be read" +
                         (password.failure.empty() ? std::string() : ": " + password.failure);
        return summary;
    }
    const std::string treePath = theStore.DataPath("document/keywordlist.xml");
    CKeywordTreeFile file(treePath);
    if (file.Damage()) {
        PrintTreeFileDamage(treePath, *file.Damage());
        summary.failure = TtRssFailure::kApiError;
        summary.detail = "the tree file cannot be read";
        return summary;
    }
    TreeFileSubscription tree(file);
    CTtRssClient client(server, theStore.MoreSettings().Get(kSyncUserKey), password.secret);
    const std::vector<WatchedKeyword> watched = KeywordsToWatch(treePath);
    summary = RunTtRssSync(
        client, theStore, tree, [&file](int nodeId) { return file.RemoveNode(nodeId); }, watched);
    RecordStatus(server, summary);
    return summary;
}

std::map<std::string, bool, LessIgnoreAsciiCase> ServerFetchedChannels() {
    std::map<std::string, bool, LessIgnoreAsciiCase> channels;
    CAdoTransaction transaction(theStore);
    std::string error;
    if (!transaction.Begin(&error)) {
        return channels;
    }
    if (const auto feeds = LoadSyncFeeds(transaction.Handle())) {
        for (const auto& [id, row] : *feeds) {
            channels[row.channel] = channels[row.channel] || !row.watched;
        }
    }
    return channels;
}

void PrintSyncSummary(const SyncSummary& summary, bool json) {
    if (json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::object();
        out["ok"] = summary.ok();
        out["failure"] = summary.ok() ? nlohmann::ordered_json(nullptr)
                                      : nlohmann::ordered_json(TtRssFailureName(summary.failure));
        out["feedsAdded"] = summary.feedsAdded;
        out["feedsRemoved"] = summary.feedsRemoved;
        out["newItems"] = summary.itemsStored;
        out["markedRead"] = summary.markedRead;
        out["markedUnread"] = summary.markedUnread;
        out["starsChanged"] = summary.starsChanged;
        out["changesSent"] = summary.changesSent;
        out["keywordsWatched"] = summary.keywordsWatched;
        out["keywordsUnwatched"] = summary.keywordsUnwatched;
        out["keywordsRefused"] = summary.keywordsRefused;
        out["requests"] = summary.requests;
        std::printf("%s\n", out.dump(2).c_str());
    } else if (summary.ok()) {
        std::printf(
            "synced: %d new items, %d marked read, %d marked unread, %d stars changed, %d "
            "changes sent, %d feeds added, %d feeds removed\n",
            summary.itemsStored, summary.markedRead, summary.markedUnread, summary.starsChanged,
            summary.changesSent, summary.feedsAdded, summary.feedsRemoved);
        // The same in the words of the program's own texts.
        std::printf("%s\n", SyncSummaryText(summary).c_str());
    }
    if (summary.keywordsRefused > 0) {
        std::fprintf(stderr,
                     "quillon-cli: the server could not subscribe the search address of %d "
                     "keyword channel(s); they are tried again at the next sync\n",
                     summary.keywordsRefused);
    }
    if (!summary.ok()) {
        TtRssAnswer answer;
        answer.failure = summary.failure;
        answer.detail = summary.detail;
        std::fprintf(stderr, "quillon-cli: the sync failed: %s\n",
                     AccountFailureEnglish(answer).c_str());
    }
}

int RunSyncCommand(const std::vector<std::string>& args) {
    const bool json = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !json) {
        std::fputs("usage: quillon-cli sync [--json]\n", stderr);
        return 2;
    }
    theStore.LoadSettings();
    Services().LoadFile(theStore.DataPath("data/services.conf"));
    if (!theStore.Open()) {
        std::fprintf(stderr, "quillon-cli: cannot open the database: %s\n",
                     ParseAdoError(theStore.LastError()).description.c_str());
        return 1;
    }
    const std::optional<SyncSummary> summary = SyncWithAccount();
    if (!summary) {
        std::fprintf(stderr, "quillon-cli: no account is set (quillon-cli account URL USER)\n");
        return 1;
    }
    PrintSyncSummary(*summary, json);
    return summary->ok() ? 0 : 1;
}
