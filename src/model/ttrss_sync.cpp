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
#include "model/sync_run.h"
#include "store/ado_connection.h"
#include "store/ado_transaction.h"
#include "store/new_item_statement.h"
#include "store/sql_text.h"
#include "store/statements.h"
#include "store/sync_rows.h"

namespace sync_detail {

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
    std::set<std::int64_t> onServer;
    for (const ServerFeed& feed : feeds) {
        onServer.insert(feed.id);
    }
    if (!Unsubscribe(&onServer, &*known) || !WatchKeywords(onServer, &*known) ||
        !FollowCategories(categories)) {
        return false;
    }
    // The tree and the opml table are written through the store's own statements, each a
    // commit of its own; only the sync's rows are written here.
    for (const ServerFeed& feed : feeds) {
        if (m_unwatched.count(feed.id)) {
            continue;
        }
        if (const auto row = known->find(feed.id); row != known->end()) {
            if (!row->second.watched && !FollowFeed(feed.id, feed, row->second, categories)) {
                return false;
            }
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
                return AddSyncFeed(db, feed.id,
                                   {result.name, feed.address, false, feed.title, feed.categoryId});
            })) {
            return false;
        }
    }
    for (const auto& [id, row] : *known) {
        if (onServer.count(id) || row.watched) {
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

bool SyncRun::WatchKeywords(const std::set<std::int64_t>& onServer,
                            std::map<std::int64_t, SyncFeedRow>* known) {
    std::map<std::string, std::int64_t> watchedNow;  // "channel\naddress" -> feed
    for (const auto& [id, row] : *known) {
        if (row.watched) {
            watchedNow[row.channel + '\n' + row.address] = id;
        }
    }
    std::set<std::string> wanted;
    for (const WatchedKeyword& keyword : m_watched) {
        const std::string key = keyword.channel + '\n' + keyword.address;
        wanted.insert(key);
        const auto it = watchedNow.find(key);
        if (it != watchedNow.end() && onServer.count(it->second)) {
            continue;
        }
        if (Stopped()) {
            return Fail(TtRssFailure::kAbandoned, "stopped");
        }
        const TtRssAnswer answer =
            m_client.Call("subscribeToFeed", {{"feed_url", keyword.address}});
        if (!answer.ok()) {
            return FailAnswer(answer);
        }
        // 0: subscribed already, 1: subscribed now; any other code is a search address the
        // server could not fetch or read, tried again at the next sync.
        const json& status = answer.content.is_object() && answer.content.contains("status")
                                 ? answer.content["status"]
                                 : json();
        const std::int64_t code = status.is_object() ? IntOf(status, "code") : -1;
        const std::int64_t feedId = status.is_object() ? IntOf(status, "feed_id") : 0;
        if ((code != 0 && code != 1) || feedId <= 0) {
            ++m_summary.keywordsRefused;
            continue;
        }
        if (it != watchedNow.end() && it->second != feedId &&
            !InTransaction([&](sqlite3* db) { return RemoveSyncFeed(db, it->second); })) {
            return false;
        }
        const SyncFeedRow row{keyword.channel, keyword.address, true};
        if (!InTransaction([&](sqlite3* db) { return AddSyncFeed(db, feedId, row); })) {
            return false;
        }
        if (it != watchedNow.end()) {
            known->erase(it->second);
        }
        (*known)[feedId] = row;
        ++m_summary.keywordsWatched;
    }
    for (const auto& [key, feedId] : watchedNow) {
        if (wanted.count(key)) {
            continue;
        }
        // The channel went, was renamed or searches no more: the server stops fetching for it.
        if (onServer.count(feedId)) {
            const TtRssAnswer answer = m_client.Call("unsubscribeFeed", {{"feed_id", feedId}});
            if (!answer.ok() && answer.detail != "FEED_NOT_FOUND") {
                return FailAnswer(answer);
            }
        }
        const std::int64_t gone = feedId;
        if (!InTransaction([&](sqlite3* db) { return RemoveSyncFeed(db, gone); })) {
            return false;
        }
        known->erase(feedId);
        m_unwatched.insert(feedId);
        ++m_summary.keywordsUnwatched;
    }
    return true;
}

}  // namespace sync_detail

using sync_detail::SyncRun;

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
                         const std::vector<WatchedKeyword>& watched, const std::atomic<bool>* stop,
                         const SyncProgressFn& progress) {
    return SyncRun(client, store, tree, removeNode, watched, stop, progress).Run();
}
