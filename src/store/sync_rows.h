#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The rows of the sync tables (see data/schema.sql: sync_feed, sync_item, sync_queue,
// sync_state, sync_applying), read and written on a handle the caller holds, inside its
// transaction. Every function returns false (or nothing) when its statement fails, SQLite's
// reason then being the handle's error.
//
// Thread rule: the caller's, as for the handle.

struct SyncFeedRow {
    std::string channel;
    std::string address;
    bool watched = false;  // a keyword channel's search address, subscribed by the sync
    // The feed's title and category on the server when last seen; none before it was seen
    // (a row of an older version), when nothing is to be followed yet.
    std::optional<std::string> title = std::nullopt;
    std::int64_t categoryId = 0;
};

struct SyncItemRow {
    std::int64_t itemId = 0;
    std::int64_t feedId = 0;
    bool unread = false;
    bool starred = false;
};

struct QueuedChange {
    std::int64_t articleId = 0;
    bool starredField = false;  // the starred state; the read state otherwise
    bool value = false;         // unread (starred) when true
};

// Runs `sql` (no result rows); false when it fails.
bool SyncExec(sqlite3* db, const std::string& sql);

std::optional<std::map<std::int64_t, SyncFeedRow>> LoadSyncFeeds(sqlite3* db);
bool AddSyncFeed(sqlite3* db, std::int64_t feedId, const SyncFeedRow& row);
// Takes the feed's row off, and off the feeds to unsubscribe.
bool RemoveSyncFeed(sqlite3* db, std::int64_t feedId);

// Queues the server feeds of the channels `names` (not the watched keyword ones) to be
// unsubscribed on the server: their channels were deleted here.
bool QueueUnsubscribes(sqlite3* db, const std::vector<std::string>& names);
std::optional<std::set<std::int64_t>> LoadUnsubscribes(sqlite3* db);

// The title of each server category when last seen, by its id; and keeping one.
std::optional<std::map<std::int64_t, std::string>> LoadSyncCategories(sqlite3* db);
bool SaveSyncCategory(sqlite3* db, std::int64_t categoryId, const std::string& title);

// The value of `name` in sync_state, 0 when there is none.
std::optional<std::int64_t> LoadSyncState(sqlite3* db, const std::string& name);
bool SaveSyncState(sqlite3* db, const std::string& name, std::int64_t value);

// While on, changes of read and starred state are the server's and are not queued.
bool SetSyncApplying(sqlite3* db, bool on);

std::optional<SyncItemRow> LoadSyncItem(sqlite3* db, std::int64_t articleId);
// Every synced article, by article ID.
std::optional<std::map<std::int64_t, SyncItemRow>> LoadSyncItems(sqlite3* db);
bool AddSyncItem(sqlite3* db, std::int64_t articleId, const SyncItemRow& row);
// Records the server's state of an article as `unread` / `starred`.
bool SetSyncItemState(sqlite3* db, std::int64_t articleId, bool starredField, bool value);

// Every queued change, by article.
std::optional<std::vector<QueuedChange>> LoadQueue(sqlite3* db);
// Takes a change off the queue once sent, unless it was changed again meanwhile.
bool DequeueChange(sqlite3* db, const QueuedChange& change);

// The local state of an item: whether it is unread, whether starred. Marking changes it as the
// window and the tool do (the item_unread and item_star rows).
bool ItemIsUnread(sqlite3* db, std::int64_t itemId);
bool ItemIsStarred(sqlite3* db, std::int64_t itemId);
bool SetItemUnread(sqlite3* db, std::int64_t itemId, bool unread);
bool SetItemStarred(sqlite3* db, std::int64_t itemId, bool starred);

// The first column of the first row of `sql`, an integer; nothing when it gives no row or
// fails.
std::optional<std::int64_t> SyncQueryInteger(sqlite3* db, const std::string& sql);
