// The steps of a sync that follow the server's subscriptions once a feed is a channel here:
// the feeds whose channels were deleted here are unsubscribed there, and feeds and categories
// renamed or moved there are renamed or moved here. A channel is the server's feed by the
// feed's id (sync_feed), never by its name.

#include <algorithm>
#include <tuple>

#include "base/ascii.h"
#include "model/subscription.h"
#include "model/sync_run.h"
#include "store/sql_text.h"
#include "store/statements.h"

namespace sync_detail {

bool SyncRun::Unsubscribe(std::set<std::int64_t>* onServer,
                          std::map<std::int64_t, SyncFeedRow>* known) {
    std::optional<std::set<std::int64_t>> queued;
    if (!InTransaction([&](sqlite3* db) { return (queued = LoadUnsubscribes(db)).has_value(); })) {
        return false;
    }
    for (const std::int64_t feedId : *queued) {
        if (onServer->count(feedId)) {
            if (Stopped()) {
                return Fail(TtRssFailure::kAbandoned, "stopped");
            }
            const TtRssAnswer answer = m_client.Call("unsubscribeFeed", {{"feed_id", feedId}});
            if (!answer.ok() && answer.detail != "FEED_NOT_FOUND") {
                return FailAnswer(answer);
            }
            ++m_summary.feedsUnsubscribed;
        }
        // The channel left the tree with its deletion; its feed row goes now, its news stay.
        const auto row = known->find(feedId);
        if (!InTransaction([&](sqlite3* db) {
                return (row == known->end() ||
                        SyncExec(db, SqlDeleteOpml(row->second.channel, row->second.address))) &&
                       RemoveSyncFeed(db, feedId);
            })) {
            return false;
        }
        if (row != known->end()) {
            known->erase(row);
        }
        onServer->erase(feedId);
        m_unwatched.insert(feedId);
    }
    return true;
}

bool SyncRun::FollowCategories(const std::map<std::int64_t, std::string>& categories) {
    std::optional<std::map<std::int64_t, std::string>> seen;
    if (!InTransaction([&](sqlite3* db) { return (seen = LoadSyncCategories(db)).has_value(); })) {
        return false;
    }
    for (const auto& [id, title] : categories) {
        const auto before = seen->find(id);
        if (before != seen->end() && before->second == title) {
            continue;
        }
        if (before != seen->end() && !title.empty()) {
            // Renamed there: its folder here follows, unless a folder of the new name is there
            // already (its feeds' channels then move into that one, see FollowFeed).
            int folder = -1;
            bool taken = false;
            for (const SubscriptionTree::Node& child : m_tree.Children(m_hostFolder)) {
                if (child.type == NODE_FOLDER &&
                    EqualsIgnoreAsciiCase(child.name, before->second)) {
                    folder = child.id;
                }
                taken = taken ||
                        (child.type == NODE_FOLDER && EqualsIgnoreAsciiCase(child.name, title));
            }
            if (folder >= 0 && !taken && m_tree.Rename(folder, title)) {
                ++m_summary.foldersRenamed;
            }
        }
        m_renamedCategories.insert(id);
        if (!InTransaction([&](sqlite3* db) { return SaveSyncCategory(db, id, title); })) {
            return false;
        }
    }
    return true;
}

std::optional<std::pair<int, int>> SyncRun::FindChannel(int folderId, const std::string& name) {
    for (const SubscriptionTree::Node& node : m_tree.Children(folderId)) {
        if (node.type == NODE_KEY && EqualsIgnoreAsciiCase(node.name, name)) {
            return std::pair<int, int>{node.id, folderId};
        }
        if (node.type == NODE_FOLDER) {
            if (auto found = FindChannel(node.id, name)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

std::string SyncRun::FreeChannelName(const std::string& wanted, const std::string& current) {
    const std::vector<std::string> channels = m_tree.ChannelNames();
    for (int n = 1;; ++n) {
        const std::string name = n == 1 ? wanted : NumberedName(wanted, n);
        if (EqualsIgnoreAsciiCase(name, current)) {
            return current;
        }
        const bool inTree = std::any_of(channels.begin(), channels.end(), [&](const auto& other) {
            return EqualsIgnoreAsciiCase(other, name);
        });
        // A channel row of that name holds another channel's news (one deleted from the tree
        // keeps them), and an opml row another's feeds: neither is joined.
        std::optional<std::int64_t> rows;
        const bool counted = InTransaction([&](sqlite3* db) {
            rows = SyncQueryInteger(db, "SELECT (SELECT count(*) FROM channel WHERE rss_title = " +
                                            ("'" + SqlEscape(name) + "'") +
                                            ") + (SELECT count(*) FROM opml WHERE opml_key = " +
                                            ("'" + SqlEscape(name) + "'") + ")");
            return rows.has_value();
        });
        if (!counted) {
            return {};
        }
        if (!inTree && *rows == 0) {
            return name;
        }
    }
}

bool SyncRun::FollowFeed(std::int64_t feedId, const ServerFeed& feed, SyncFeedRow row,
                         const std::map<std::int64_t, std::string>& categories) {
    const bool moved = row.title && (row.categoryId != feed.categoryId ||
                                     m_renamedCategories.count(feed.categoryId));
    const bool renamed = row.title && *row.title != feed.title && !feed.title.empty();
    if (row.title && !moved && !renamed) {
        return true;
    }
    int nodeId = -1;
    int parentId = -1;
    if (moved || renamed) {
        if (const auto found = FindChannel(m_hostFolder, row.channel)) {
            std::tie(nodeId, parentId) = *found;
        }
    }
    if (nodeId >= 0 && moved) {
        const auto category = categories.find(feed.categoryId);
        const int folder =
            feed.categoryId > 0 && category != categories.end() && !category->second.empty()
                ? FolderAtPath(m_tree, m_hostFolder, {category->second})
                : m_hostFolder;
        if (folder >= 0 && folder != parentId && m_tree.Move(nodeId, folder)) {
            ++m_summary.feedsMoved;
        }
    }
    std::string name = row.channel;
    if (nodeId >= 0 && renamed) {
        const std::string wanted = FreeChannelName(feed.title, row.channel);
        if (!wanted.empty() && wanted != row.channel && m_tree.Rename(nodeId, wanted)) {
            name = wanted;
            ++m_summary.feedsRenamed;
        }
    }
    // The channel's news, feeds and state go with its name; its items stay where they are.
    const std::string before = row.channel;
    row.channel = name;
    row.title = feed.title;
    row.categoryId = feed.categoryId;
    return InTransaction([&](sqlite3* db) {
        if (name != before) {
            for (const std::string& sql : SqlRenameChannel(before, name)) {
                if (!SyncExec(db, sql)) {
                    return false;
                }
            }
        }
        return AddSyncFeed(db, feedId, row);
    });
}

}  // namespace sync_detail
