#include <algorithm>
#include <chrono>

#include "base/clock.h"
#include "base/utc_time.h"
#include "feeds/feed_storer.h"
#include "feeds/item_day.h"
#include "feeds/rss_records.h"
#include "model/sync_run.h"
#include "store/new_item_statement.h"
#include "store/statements.h"

namespace sync_detail {

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
        Report(SyncProgress::kArticles, skip / kPageSize + 1);
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
    const std::int64_t mark = std::min(newest, m_firstUnknown - 1);
    if (!transaction.Begin(&error) || !SaveSyncState(transaction.Handle(), kSinceState, mark) ||
        !transaction.Commit(&error)) {
        return FailStore(error.empty() ? "the sync state cannot be kept" : error);
    }
    return true;
}

namespace {

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

}  // namespace

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
        const std::int64_t feedId = IntOf(article, "feed_id");
        const auto feed = feeds.find(feedId);
        if (feed == feeds.end() && feedId > 0) {
            // A feed added on the server since its feeds were asked for: the next sync asks
            // for its articles again, once it is a channel here.
            m_firstUnknown = std::min(m_firstUnknown, articleId);
        }
        if (feed == feeds.end() || LoadSyncItem(db, articleId).value_or(SyncItemRow()).itemId) {
            continue;  // of no channel here (an archived article), or stored by an earlier pass
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
        // Every server article of the item that the server holds otherwise is sent the item's
        // state: this one, and one stored earlier that this one made read or starred here.
        if (ok && itemId != 0) {
            const std::string item = std::to_string(itemId);
            const std::string unreadValue = unread ? "1" : "0";
            const std::string starredValue = starred ? "1" : "0";
            ok = SyncExec(db, "INSERT OR REPLACE INTO sync_queue SELECT article_id, 'unread', " +
                                  unreadValue + " FROM sync_item WHERE item_id = " + item +
                                  " AND unread != " + unreadValue) &&
                 SyncExec(db, "INSERT OR REPLACE INTO sync_queue SELECT article_id, 'starred', " +
                                  starredValue + " FROM sync_item WHERE item_id = " + item +
                                  " AND starred != " + starredValue);
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

}  // namespace sync_detail
