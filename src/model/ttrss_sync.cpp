#include "model/ttrss_sync.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>

#include "base/clock.h"
#include "base/utc_time.h"
#include "feeds/feed_storer.h"
#include "feeds/item_day.h"
#include "feeds/rss_records.h"
#include "model/subscription.h"
#include "store/ado_connection.h"
#include "store/ado_transaction.h"
#include "store/new_item_statement.h"
#include "store/sql_text.h"
#include "store/statements.h"
#include "store/sync_rows.h"

namespace {

using nlohmann::json;

// The API's most articles in one answer.
constexpr int kPageSize = 200;
// Articles named in one request that marks them: a long list is still one small body.
constexpr std::size_t kIdsPerRequest = 1000;
constexpr char kSinceState[] = "since_id";

struct ServerFeed {
    std::int64_t id = 0;
    std::string title;
    std::string address;
    std::int64_t categoryId = 0;
};

std::int64_t IntOf(const json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) {
        return 0;
    }
    if (it->is_number_integer()) {
        return it->get<std::int64_t>();
    }
    if (it->is_string()) {
        return std::atoll(it->get<std::string>().c_str());
    }
    return 0;
}

std::string TextOf(const json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool BoolOf(const json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

class SyncRun {
public:
    SyncRun(CTtRssClient& client, CAdoConnection& store, SubscriptionTree& tree,
            const std::function<bool(int)>& removeNode, const std::atomic<bool>* stop)
        : m_client(client), m_store(store), m_tree(tree), m_removeNode(removeNode), m_stop(stop) {}

    SyncSummary Run() {
        const int before = m_client.RequestCount();
        (void)(Subscriptions() && NewArticles() && SendQueue() && TakeServerState());
        m_summary.requests = m_client.RequestCount() - before;
        return m_summary;
    }

private:
    bool Fail(TtRssFailure failure, std::string detail) {
        m_summary.failure = failure;
        m_summary.detail = std::move(detail);
        return false;
    }
    bool FailAnswer(const TtRssAnswer& answer) { return Fail(answer.failure, answer.detail); }
    bool FailStore(const std::string& what) {
        return Fail(TtRssFailure::kApiError, "the database: " + what);
    }
    bool Stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    // A call whose content must be an array.
    std::optional<json> CallForArray(std::string_view op, json params) {
        if (Stopped()) {
            Fail(TtRssFailure::kAbandoned, "stopped");
            return std::nullopt;
        }
        TtRssAnswer answer = m_client.Call(op, std::move(params));
        if (!answer.ok()) {
            FailAnswer(answer);
            return std::nullopt;
        }
        if (!answer.content.is_array()) {
            Fail(TtRssFailure::kBadAnswer, std::string(op) + " gave no list");
            return std::nullopt;
        }
        return std::move(answer.content);
    }

    // Runs `work` in a transaction of its own and commits it; false (the failure recorded)
    // when the work or the commit fails.
    template <typename Work>
    bool InTransaction(Work work) {
        CAdoTransaction transaction(m_store);
        std::string error;
        if (!transaction.Begin(&error)) {
            return FailStore(error);
        }
        if (!work(transaction.Handle())) {
            return FailStore(sqlite3_errmsg(transaction.Handle()));
        }
        return transaction.Commit(&error) || FailStore(error);
    }

    bool Subscriptions();
    bool NewArticles();
    bool StorePage(const json& page, const std::map<std::int64_t, SyncFeedRow>& feeds,
                   std::int64_t* newest);
    bool SendQueue();
    bool TakeServerState();
    bool CollectIds(json params, std::set<std::int64_t>* ids);
    int RemoveChannelNode(int folderId, const std::string& name);

    CTtRssClient& m_client;
    CAdoConnection& m_store;
    SubscriptionTree& m_tree;
    const std::function<bool(int)>& m_removeNode;
    const std::atomic<bool>* m_stop;
    SyncSummary m_summary;
    int m_hostFolder = -1;
};

int SyncRun::RemoveChannelNode(int folderId, const std::string& name) {
    for (const SubscriptionTree::Node& node : m_tree.Children(folderId)) {
        if (node.type == NODE_KEY && node.name == name) {
            return m_removeNode(node.id) ? 1 : 0;
        }
        if (node.type == NODE_FOLDER && RemoveChannelNode(node.id, name) > 0) {
            return 1;
        }
    }
    return 0;
}

bool SyncRun::Subscriptions() {
    const auto feedList = CallForArray("getFeeds", {{"cat_id", -3}});
    if (!feedList) {
        return false;
    }
    std::vector<ServerFeed> feeds;
    bool categorised = false;
    for (const json& feed : *feedList) {
        if (!feed.is_object() || IntOf(feed, "id") <= 0 || TextOf(feed, "feed_url").empty()) {
            return Fail(TtRssFailure::kBadAnswer, "a feed without id or address");
        }
        feeds.push_back({IntOf(feed, "id"), TextOf(feed, "title"), TextOf(feed, "feed_url"),
                         IntOf(feed, "cat_id")});
        categorised = categorised || feeds.back().categoryId > 0;
    }
    std::map<std::int64_t, std::string> categories;
    if (categorised) {
        const auto list = CallForArray("getCategories", {{"include_empty", true}});
        if (!list) {
            return false;
        }
        for (const json& category : *list) {
            if (category.is_object()) {
                categories[IntOf(category, "id")] = TextOf(category, "title");
            }
        }
    }
    m_hostFolder = FolderAtPath(m_tree, 0, {ServerFolderName(m_client.ApiUrl())});
    if (m_hostFolder < 0) {
        return FailStore("the server's folder cannot be made in the tree");
    }
    std::optional<std::map<std::int64_t, SyncFeedRow>> known;
    if (!InTransaction([&](sqlite3* db) { return (known = LoadSyncFeeds(db)).has_value(); })) {
        return false;
    }
    // The tree and the opml table are written through the store's own statements, each a
    // commit of its own; only the sync's rows are written here.
    std::set<std::int64_t> onServer;
    for (const ServerFeed& feed : feeds) {
        onServer.insert(feed.id);
        if (known->count(feed.id)) {
            continue;
        }
        int folder = m_hostFolder;
        const auto category = categories.find(feed.categoryId);
        if (feed.categoryId > 0 && category != categories.end() && !category->second.empty()) {
            folder = FolderAtPath(m_tree, m_hostFolder, {category->second});
        }
        const std::string name = feed.title.empty() ? feed.address : feed.title;
        const OneFeedResult result = SubscribeFeed(m_tree, m_store, folder, name, feed.address);
        if (result.outcome != OneFeedResult::kAdded &&
            result.outcome != OneFeedResult::kAlreadyThere) {
            return FailStore("the channel of " + feed.address + " cannot be added");
        }
        m_summary.feedsAdded += result.outcome == OneFeedResult::kAdded ? 1 : 0;
        if (!InTransaction([&](sqlite3* db) {
                return AddSyncFeed(db, feed.id, {result.name, feed.address});
            })) {
            return false;
        }
    }
    for (const auto& [id, row] : *known) {
        if (onServer.count(id)) {
            continue;
        }
        // The feed went from the server: its channel leaves the tree and stops fetching it;
        // the news it stored stay until the user deletes them.
        RemoveChannelNode(m_hostFolder, row.channel);
        const std::int64_t feedId = id;
        const SyncFeedRow gone = row;
        if (!InTransaction([&](sqlite3* db) {
                return SyncExec(db, "DELETE FROM opml WHERE opml_key = '" +
                                        SqlEscape(gone.channel) + "' AND opml_xml_url = '" +
                                        SqlEscape(gone.address) + "'") &&
                       RemoveSyncFeed(db, feedId);
            })) {
            return false;
        }
        ++m_summary.feedsRemoved;
    }
    return true;
}

bool SyncRun::NewArticles() {
    std::optional<std::int64_t> since;
    std::optional<std::map<std::int64_t, SyncFeedRow>> feeds;
    {
        CAdoTransaction transaction(m_store);
        std::string error;
        if (!transaction.Begin(&error)) {
            return FailStore(error);
        }
        since = LoadSyncState(transaction.Handle(), kSinceState);
        feeds = LoadSyncFeeds(transaction.Handle());
        if (!since || !feeds) {
            return FailStore(sqlite3_errmsg(transaction.Handle()));
        }
    }
    std::int64_t newest = *since;
    for (int skip = 0;; skip += kPageSize) {
        const auto page = CallForArray("getHeadlines", {{"feed_id", -4},
                                                        {"view_mode", "all_articles"},
                                                        {"since_id", *since},
                                                        {"skip", skip},
                                                        {"limit", kPageSize},
                                                        {"show_content", true},
                                                        {"sanitize", false}});
        if (!page) {
            return false;
        }
        if (!StorePage(*page, *feeds, &newest)) {
            return false;
        }
        if (static_cast<int>(page->size()) < kPageSize) {
            break;
        }
    }
    // Only a pass that read every page moves the mark: a pass cut short asks again.
    CAdoTransaction transaction(m_store);
    std::string error;
    if (!transaction.Begin(&error) || !SaveSyncState(transaction.Handle(), kSinceState, newest) ||
        !transaction.Commit(&error)) {
        return FailStore(error.empty() ? "the sync state cannot be kept" : error);
    }
    return true;
}

// Stores one article as an item of `channelId`; the ID of the item it is (stored now or found
// by the duplicate rule), 0 when the channel's clean-up keeps it out, -1 on failure.
std::int64_t StoreArticle(sqlite3* db, CNewItemStatement& statement, const json& article,
                          std::int64_t channelId, bool* stored, std::string* error) {
    CRssItem item;
    PutField(item.title, CleanTitle(TextOf(article, "title")));
    PutField(item.link, TextOf(article, "link"));
    PutDescription(item.description, TextOf(article, "content"));
    PutField(item.author, TextOf(article, "author"));
    const auto moment = std::chrono::system_clock::from_time_t(IntOf(article, "updated"));
    PutField(item.pubDate, IntOf(article, "updated") > 0 ? UtcTimeText(moment) : "");
    ItemValues values;
    values.channelId = static_cast<int>(channelId);
    values.title = IsUntitled(item.title) ? std::string_view() : std::string_view(item.title);
    values.link = item.link;
    values.description = item.description;
    values.author = item.author;
    values.pubDate = StoredItemDay(item.pubDate, "", LocalNow());
    int code = SQLITE_OK;
    const int changed = statement.Insert(values, &code, error);
    if (changed < 0) {
        return -1;
    }
    *stored = changed > 0;
    if (*stored) {
        return sqlite3_last_insert_rowid(db);
    }
    const ItemKey key{values.title, {}, values.link, values.description};
    return SyncQueryInteger(db, SqlSelectItem(key, values.channelId)).value_or(0);
}

bool SyncRun::StorePage(const json& page, const std::map<std::int64_t, SyncFeedRow>& feeds,
                        std::int64_t* newest) {
    CAdoTransaction transaction(m_store);
    std::string error;
    if (!transaction.Begin(&error)) {
        return FailStore(error);
    }
    sqlite3* db = transaction.Handle();
    if (!SetSyncApplying(db, true)) {
        return FailStore(sqlite3_errmsg(db));
    }
    CNewItemStatement statement(db);
    std::map<std::string, std::int64_t> channelIds;
    int stored = 0;
    for (const json& article : page) {
        const std::int64_t articleId = article.is_object() ? IntOf(article, "id") : 0;
        if (articleId <= 0) {
            return Fail(TtRssFailure::kBadAnswer, "an article without id");
        }
        *newest = std::max(*newest, articleId);
        const auto feed = feeds.find(IntOf(article, "feed_id"));
        if (feed == feeds.end() || LoadSyncItem(db, articleId).value_or(SyncItemRow()).itemId) {
            continue;  // of a feed that is not a channel here, or stored by an earlier pass
        }
        auto channel = channelIds.find(feed->second.channel);
        if (channel == channelIds.end()) {
            SyncExec(db, "INSERT OR IGNORE INTO channel (rss_title) VALUES ('" +
                             SqlEscape(feed->second.channel) + "')");
            const auto id = SyncQueryInteger(db, SqlSelectChannel(feed->second.channel));
            if (!id) {
                return FailStore("no channel row for " + feed->second.channel);
            }
            channel = channelIds.emplace(feed->second.channel, *id).first;
        }
        bool isNew = false;
        const std::int64_t itemId =
            StoreArticle(db, statement, article, channel->second, &isNew, &error);
        if (itemId < 0) {
            return FailStore(error);
        }
        stored += isNew ? 1 : 0;
        const bool serverUnread = BoolOf(article, "unread");
        const bool serverStarred = BoolOf(article, "marked");
        // An item this program had already: read on either side is read, starred on either
        // is starred; what the server lacks is sent to it.
        const bool unread = isNew ? serverUnread : serverUnread && ItemIsUnread(db, itemId);
        const bool starred = serverStarred || (!isNew && ItemIsStarred(db, itemId));
        bool ok = itemId == 0 ||
                  (SetItemUnread(db, itemId, unread) && SetItemStarred(db, itemId, starred));
        ok = ok && AddSyncItem(db, articleId, {itemId, feed->first, serverUnread, serverStarred});
        if (ok && itemId != 0 && unread != serverUnread) {
            ok = SyncExec(db, "INSERT OR REPLACE INTO sync_queue VALUES (" +
                                  std::to_string(articleId) + ", 'unread', 0)");
        }
        if (ok && itemId != 0 && starred != serverStarred) {
            ok = SyncExec(db, "INSERT OR REPLACE INTO sync_queue VALUES (" +
                                  std::to_string(articleId) + ", 'starred', 1)");
        }
        if (!ok) {
            return FailStore(sqlite3_errmsg(db));
        }
    }
    if (!SetSyncApplying(db, false) || !transaction.Commit(&error)) {
        return FailStore(error.empty() ? sqlite3_errmsg(db) : error);
    }
    m_summary.itemsStored += stored;
    return true;
}

bool SyncRun::SendQueue() {
    std::optional<std::vector<QueuedChange>> queue;
    {
        CAdoTransaction transaction(m_store);
        std::string error;
        if (!transaction.Begin(&error)) {
            return FailStore(error);
        }
        queue = LoadQueue(transaction.Handle());
        if (!queue) {
            return FailStore(sqlite3_errmsg(transaction.Handle()));
        }
    }
    // One request names many articles of one change: a folder of thousands marked read is a
    // few requests, not one per item.
    std::map<std::pair<bool, bool>, std::vector<QueuedChange>> groups;
    for (const QueuedChange& change : *queue) {
        groups[{change.starredField, change.value}].push_back(change);
    }
    for (const auto& [kind, changes] : groups) {
        const auto [starredField, value] = kind;
        for (std::size_t first = 0; first < changes.size(); first += kIdsPerRequest) {
            const std::size_t last = std::min(changes.size(), first + kIdsPerRequest);
            std::string ids;
            for (std::size_t i = first; i < last; ++i) {
                ids += (i == first ? "" : ",") + std::to_string(changes[i].articleId);
            }
            if (Stopped()) {
                return Fail(TtRssFailure::kAbandoned, "stopped");
            }
            const TtRssAnswer answer = m_client.Call(
                "updateArticle",
                {{"article_ids", ids}, {"mode", value ? 1 : 0}, {"field", starredField ? 0 : 2}});
            if (!answer.ok()) {
                return FailAnswer(answer);
            }
            CAdoTransaction transaction(m_store);
            std::string error;
            if (!transaction.Begin(&error)) {
                return FailStore(error);
            }
            for (std::size_t i = first; i < last; ++i) {
                if (!DequeueChange(transaction.Handle(), changes[i]) ||
                    !SetSyncItemState(transaction.Handle(), changes[i].articleId, starredField,
                                      value)) {
                    return FailStore(sqlite3_errmsg(transaction.Handle()));
                }
            }
            if (!transaction.Commit(&error)) {
                return FailStore(error);
            }
            m_summary.changesSent += static_cast<int>(last - first);
        }
    }
    return true;
}

bool SyncRun::CollectIds(json params, std::set<std::int64_t>* ids) {
    for (int skip = 0;; skip += kPageSize) {
        params["skip"] = skip;
        params["limit"] = kPageSize;
        const auto page = CallForArray("getHeadlines", params);
        if (!page) {
            return false;
        }
        for (const json& article : *page) {
            if (article.is_object()) {
                ids->insert(IntOf(article, "id"));
            }
        }
        if (static_cast<int>(page->size()) < kPageSize) {
            return true;
        }
    }
}

bool SyncRun::TakeServerState() {
    const auto counters = CallForArray("getCounters", nullptr);
    if (!counters) {
        return false;
    }
    // By feed: its unread and its starred articles.
    std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>> serverCounts;
    for (const json& counter : *counters) {
        if (counter.is_object() && !counter.contains("kind") && IntOf(counter, "id") > 0) {
            serverCounts[IntOf(counter, "id")] = {IntOf(counter, "counter"),
                                                  IntOf(counter, "markedcounter")};
        }
    }
    std::optional<std::map<std::int64_t, SyncItemRow>> items;
    {
        CAdoTransaction transaction(m_store);
        std::string error;
        if (!transaction.Begin(&error)) {
            return FailStore(error);
        }
        items = LoadSyncItems(transaction.Handle());
        if (!items) {
            return FailStore(sqlite3_errmsg(transaction.Handle()));
        }
    }
    // Only the feeds whose unread count on the server is not the one last seen are asked for
    // their unread articles, and the starred ones only when a starred count changed, so that
    // a sync with nothing new sends a handful of requests.
    std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>> expected;
    for (const auto& [article, row] : *items) {
        expected[row.feedId].first += row.unread ? 1 : 0;
        expected[row.feedId].second += row.starred ? 1 : 0;
    }
    std::set<std::int64_t> changedFeeds;
    bool starsChanged = false;
    for (const auto& [feed, counts] : expected) {
        const auto server = serverCounts[feed];
        if (server.first != counts.first) {
            changedFeeds.insert(feed);
        }
        starsChanged = starsChanged || server.second != counts.second;
    }
    std::set<std::int64_t> unread;
    for (const std::int64_t feed : changedFeeds) {
        if (!CollectIds({{"feed_id", feed}, {"view_mode", "unread"}}, &unread)) {
            return false;
        }
    }
    std::set<std::int64_t> starred;
    if (starsChanged && !CollectIds({{"feed_id", -1}, {"view_mode", "all_articles"}}, &starred)) {
        return false;
    }
    CAdoTransaction transaction(m_store);
    std::string error;
    if (!transaction.Begin(&error)) {
        return FailStore(error);
    }
    sqlite3* db = transaction.Handle();
    if (!SetSyncApplying(db, true)) {
        return FailStore(sqlite3_errmsg(db));
    }
    for (const auto& [article, row] : *items) {
        bool ok = true;
        if (changedFeeds.count(row.feedId) && unread.count(article) != (row.unread ? 1u : 0u)) {
            const bool nowUnread = !row.unread;
            ok = (row.itemId == 0 || SetItemUnread(db, row.itemId, nowUnread)) &&
                 SetSyncItemState(db, article, false, nowUnread);
            (nowUnread ? m_summary.markedUnread : m_summary.markedRead) += row.itemId ? 1 : 0;
        }
        if (ok && starsChanged && starred.count(article) != (row.starred ? 1u : 0u)) {
            ok = (row.itemId == 0 || SetItemStarred(db, row.itemId, !row.starred)) &&
                 SetSyncItemState(db, article, true, !row.starred);
            m_summary.starsChanged += row.itemId ? 1 : 0;
        }
        if (!ok) {
            return FailStore(sqlite3_errmsg(db));
        }
    }
    if (!SetSyncApplying(db, false) || !transaction.Commit(&error)) {
        return FailStore(error.empty() ? sqlite3_errmsg(db) : error);
    }
    return true;
}

}  // namespace

std::string ServerFolderName(std::string_view address) {
    std::size_t start = address.find("://");
    start = start == std::string_view::npos ? 0 : start + 3;
    std::string_view host = address.substr(start);
    host = host.substr(0, host.find_first_of("/?#"));
    const std::size_t at = host.rfind('@');
    if (at != std::string_view::npos) {
        host.remove_prefix(at + 1);
    }
    if (!host.empty() && host.front() == '[') {
        return std::string(host.substr(0, host.find(']') + 1));
    }
    return std::string(host.substr(0, host.find(':')));
}

SyncSummary RunTtRssSync(CTtRssClient& client, CAdoConnection& store, SubscriptionTree& tree,
                         const std::function<bool(int nodeId)>& removeNode,
                         const std::atomic<bool>* stop) {
    return SyncRun(client, store, tree, removeNode, stop).Run();
}
