#include "model/account_sync.h"

#include <set>

#include "base/http_fetch.h"
#include "base/utc_time.h"
#include "feeds/feed_store.h"
#include "feeds/search_url.h"
#include "model/tree_file_subscription.h"
#include "store/ado_transaction.h"
#include "store/secret_store.h"
#include "store/source_status.h"
#include "store/sync_rows.h"
#include "store/sync_settings.h"
#include "store/sys_data.h"

namespace {

// The server's feeds as the last sync left them; none when they cannot be read.
std::map<std::int64_t, SyncFeedRow> StoredSyncFeeds(CAdoConnection& store) {
    CAdoTransaction transaction(store);
    std::string error;
    if (!transaction.Begin(&error)) {
        return {};
    }
    std::optional<std::map<std::int64_t, SyncFeedRow>> feeds = LoadSyncFeeds(transaction.Handle());
    return feeds ? std::move(*feeds) : std::map<std::int64_t, SyncFeedRow>{};
}

SourceOutcome OutcomeOf(const SyncSummary& summary) {
    switch (summary.failure) {
        case TtRssFailure::kNone:
            return SourceOutcome::kOk;
        case TtRssFailure::kNoConnection:
        case TtRssFailure::kTls:
        case TtRssFailure::kAbandoned:
            return SourceOutcome::kNetworkError;
        case TtRssFailure::kNoPassword:
            return SourceOutcome::kHttpError;
        case TtRssFailure::kNotTtRss:
        case TtRssFailure::kBadAnswer:
        case TtRssFailure::kTooLarge:
            return SourceOutcome::kNotAFeed;
        default:
            return SourceOutcome::kHttpError;
    }
}

// The account as a source of `quillon-cli status`: its host as the channel, its address.
void RecordStatus(CFeedStore& store, const std::string& server, const SyncSummary& summary) {
    const std::string folder = ServerFolderName(server);
    SourceStatus status;
    if (const auto earlier = LoadSourceStatus(store, folder, server)) {
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
    SaveSourceStatus(store, status);
}

// The search addresses the server watches now, as the last sync left them.
std::vector<WatchedKeyword> KeywordsWatchedNow(CFeedStore& store) {
    std::vector<WatchedKeyword> watched;
    for (const auto& [id, row] : StoredSyncFeeds(store)) {
        if (row.watched) {
            watched.push_back({row.channel, row.address});
        }
    }
    return watched;
}

// The keyword channels of the tree with their first search page's address, when the server is
// to watch them ("由服务器代为监视关键词"). A tree file that cannot be read lists no channel:
// then the watches stay as they are, rather than every keyword being unsubscribed there.
std::vector<WatchedKeyword> KeywordsToWatch(CFeedStore& store, const std::string& treePath) {
    std::vector<WatchedKeyword> watched;
    if (store.MoreSettings().Get(kSyncWatchKeywordsKey) == 0) {
        return watched;
    }
    std::optional<TreeFileDamage> damage;
    const std::vector<ChannelKeyword> channels = ReadTreeChannels(treePath, &damage);
    if (damage) {
        return KeywordsWatchedNow(store);
    }
    const CSysData& settings = store.Settings();
    const int engine =
        settings.SearchEngine() >= 0 && settings.SearchEngine() < CSysData::kEngineCount
            ? settings.SearchEngine()
            : kEngineBaidu;
    std::set<std::string, LessIgnoreAsciiCase> seen;
    for (const ChannelKeyword& channel : channels) {
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

std::optional<SyncSummary> SyncWithAccount(CFeedStore& store, SubscriptionTree& tree,
                                           const std::function<bool(int nodeId)>& removeNode,
                                           const std::atomic<bool>* stop,
                                           const SyncProgressFn& progress) {
    const std::string server = store.MoreSettings().Get(kSyncServerKey);
    if (server.empty()) {
        return std::nullopt;
    }
    SyncSummary summary;
    const SecretResult password = CSecretStore(store.DataPath("")).Lookup(kSyncSecretName);
    if (!password.ok) {
        // Not the server's refusal: nothing was sent. The user is to enter it again.
        summary.failure = TtRssFailure::kNoPassword;
        summary.detail = password.failure;
        RecordStatus(store, server, summary);
        return summary;
    }
    CTtRssClient client(server, store.MoreSettings().Get(kSyncUserKey), password.secret);
    const std::vector<WatchedKeyword> watched =
        KeywordsToWatch(store, store.DataPath("document/keywordlist.xml"));
    summary = RunTtRssSync(client, store, tree, removeNode, watched, stop, progress);
    RecordStatus(store, server, summary);
    return summary;
}

std::optional<SyncSummary> SyncWithAccount(
    CFeedStore& store,
    const std::function<void(const std::string& path, const TreeFileDamage& damage)>& onDamage,
    const std::atomic<bool>* stop, const SyncProgressFn& progress) {
    if (store.MoreSettings().Get(kSyncServerKey).empty()) {
        return std::nullopt;
    }
    const std::string treePath = store.DataPath("document/keywordlist.xml");
    CKeywordTreeFile file(treePath);
    if (file.Damage()) {
        if (onDamage) {
            onDamage(treePath, *file.Damage());
        }
        SyncSummary summary;
        summary.failure = TtRssFailure::kApiError;
        summary.detail = "the tree file cannot be read";
        return summary;
    }
    TreeFileSubscription tree(file);
    return SyncWithAccount(
        store, tree, [&file](int nodeId) { return file.RemoveNode(nodeId); }, stop, progress);
}

bool QueueDeletedChannels(CFeedStore& store, const std::vector<std::string>& names,
                          const std::string& topFolder) {
    const std::string server = store.MoreSettings().Get(kSyncServerKey);
    if (server.empty() || names.empty() ||
        !EqualsIgnoreAsciiCase(topFolder, ServerFolderName(server))) {
        return true;
    }
    CAdoTransaction transaction(store);
    std::string error;
    return transaction.Begin(&error) && QueueUnsubscribes(transaction.Handle(), names) &&
           transaction.Commit(&error);
}

std::map<std::string, bool, LessIgnoreAsciiCase> ServerFetchedChannels(CAdoConnection& store) {
    std::map<std::string, bool, LessIgnoreAsciiCase> channels;
    for (const auto& [id, row] : StoredSyncFeeds(store)) {
        channels[row.channel] = channels[row.channel] || !row.watched;
    }
    return channels;
}

std::vector<ChannelKeyword> ChannelsLeftToFetch(
    const std::vector<ChannelKeyword>& channels,
    const std::map<std::string, bool, LessIgnoreAsciiCase>& serverFetched) {
    std::vector<ChannelKeyword> left;
    for (const ChannelKeyword& channel : channels) {
        const auto fetched = serverFetched.find(channel.name);
        if (fetched != serverFetched.end() && fetched->second) {
            continue;
        }
        left.push_back({channel.name, channel.searchName && fetched == serverFetched.end()});
    }
    return left;
}
