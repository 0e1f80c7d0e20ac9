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
bool RemoveSyncFeed(sqlite3* db, std::int64_t feedId);

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
