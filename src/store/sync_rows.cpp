#include "store/sync_rows.h"

#include "store/sql_text.h"
#include "store/sqlite_handle.h"
#include "store/statements.h"

namespace {

SqliteStatement Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
    return SqliteStatement(raw);
}

// Calls `onRow` for each row of `sql`; false when it fails.
template <typename OnRow>
bool ForEachRow(sqlite3* db, const std::string& sql, OnRow onRow) {
    const SqliteStatement statement = Prepare(db, sql);
    if (!statement) {
        return false;
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        onRow(statement.get());
    }
    return step == SQLITE_DONE;
}

std::string Text(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

std::string Quoted(const std::string& text) {
    return "'" + SqlEscape(text) + "'";
}

const char* FieldName(bool starredField) {
    return starredField ? "'starred'" : "'unread'";
}

}  // namespace

bool SyncExec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<std::int64_t> SyncQueryInteger(sqlite3* db, const std::string& sql) {
    return QuerySingleInteger(db, sql.c_str());
}

std::optional<std::map<std::int64_t, SyncFeedRow>> LoadSyncFeeds(sqlite3* db) {
    std::map<std::int64_t, SyncFeedRow> feeds;
    if (!ForEachRow(db, "SELECT feed_id, channel, address, watched, title, cat_id FROM sync_feed",
                    [&](sqlite3_stmt* s) {
                        SyncFeedRow& row = feeds[sqlite3_column_int64(s, 0)];
                        row = {Text(s, 1), Text(s, 2), sqlite3_column_int(s, 3) != 0};
                        if (sqlite3_column_type(s, 4) != SQLITE_NULL) {
                            row.title = Text(s, 4);
                            row.categoryId = sqlite3_column_int64(s, 5);
                        }
                    })) {
        return std::nullopt;
    }
    return feeds;
}

bool AddSyncFeed(sqlite3* db, std::int64_t feedId, const SyncFeedRow& row) {
    return SyncExec(db,
                    "INSERT OR REPLACE INTO sync_feed (feed_id, channel, address, watched, title, "
                    "cat_id) VALUES (" +
                        std::to_string(feedId) + ", " + Quoted(row.channel) + ", " +
                        Quoted(row.address) + ", " + (row.watched ? "1" : "0") + ", " +
                        (row.title ? Quoted(*row.title) : "NULL") + ", " +
                        std::to_string(row.categoryId) + ")");
}

bool RemoveSyncFeed(sqlite3* db, std::int64_t feedId) {
    const std::string id = std::to_string(feedId);
    return SyncExec(db, "DELETE FROM sync_feed WHERE feed_id = " + id +
                            "; DELETE FROM sync_unsubscribe WHERE feed_id = " + id);
}

bool QueueUnsubscribes(sqlite3* db, const std::vector<std::string>& names) {
    if (names.empty()) {
        return true;
    }
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + Quoted(name);
    }
    return SyncExec(db,
                    "INSERT OR IGNORE INTO sync_unsubscribe (feed_id) SELECT feed_id FROM "
                    "sync_feed WHERE watched = 0 AND channel IN (" +
                        list + ")");
}

std::optional<std::set<std::int64_t>> LoadUnsubscribes(sqlite3* db) {
    std::set<std::int64_t> feeds;
    if (!ForEachRow(db, "SELECT feed_id FROM sync_unsubscribe",
                    [&](sqlite3_stmt* s) { feeds.insert(sqlite3_column_int64(s, 0)); })) {
        return std::nullopt;
    }
    return feeds;
}

std::optional<std::map<std::int64_t, std::string>> LoadSyncCategories(sqlite3* db) {
    std::map<std::int64_t, std::string> categories;
    if (!ForEachRow(db, "SELECT cat_id, title FROM sync_category", [&](sqlite3_stmt* s) {
            categories[sqlite3_column_int64(s, 0)] = Text(s, 1);
        })) {
        return std::nullopt;
    }
    return categories;
}

bool SaveSyncCategory(sqlite3* db, std::int64_t categoryId, const std::string& title) {
    return SyncExec(db, "INSERT OR REPLACE INTO sync_category (cat_id, title) VALUES (" +
                            std::to_string(categoryId) + ", " + Quoted(title) + ")");
}

std::optional<std::int64_t> LoadSyncState(sqlite3* db, const std::string& name) {
    return SyncQueryInteger(
        db, "SELECT ifnull((SELECT value FROM sync_state WHERE name = " + Quoted(name) + "), 0)");
}

bool SaveSyncState(sqlite3* db, const std::string& name, std::int64_t value) {
    return SyncExec(db, "INSERT OR REPLACE INTO sync_state (name, value) VALUES (" + Quoted(name) +
                            ", " + std::to_string(value) + ")");
}

bool SetSyncApplying(sqlite3* db, bool on) {
    return SyncExec(
        db, on ? "INSERT INTO sync_applying (flag) VALUES (1)" : "DELETE FROM sync_applying");
}

std::optional<SyncItemRow> LoadSyncItem(sqlite3* db, std::int64_t articleId) {
    std::optional<SyncItemRow> row;
    if (!ForEachRow(db,
                    "SELECT item_id, feed_id, unread, starred FROM sync_item WHERE article_id = " +
                        std::to_string(articleId),
                    [&](sqlite3_stmt* s) {
                        row = SyncItemRow{sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
                                          sqlite3_column_int(s, 2) != 0,
                                          sqlite3_column_int(s, 3) != 0};
                    })) {
        return std::nullopt;
    }
    return row;
}

std::optional<std::map<std::int64_t, SyncItemRow>> LoadSyncItems(sqlite3* db) {
    std::map<std::int64_t, SyncItemRow> rows;
    if (!ForEachRow(db, "SELECT article_id, item_id, feed_id, unread, starred FROM sync_item",
                    [&](sqlite3_stmt* s) {
                        rows[sqlite3_column_int64(s, 0)] = {
                            sqlite3_column_int64(s, 1), sqlite3_column_int64(s, 2),
                            sqlite3_column_int(s, 3) != 0, sqlite3_column_int(s, 4) != 0};
                    })) {
        return std::nullopt;
    }
    return rows;
}

bool AddSyncItem(sqlite3* db, std::int64_t articleId, const SyncItemRow& row) {
    return SyncExec(db,
                    "INSERT OR REPLACE INTO sync_item (article_id, item_id, feed_id, unread, "
                    "starred) VALUES (" +
                        std::to_string(articleId) + ", " + std::to_string(row.itemId) + ", " +
                        std::to_string(row.feedId) + ", " + (row.unread ? "1" : "0") + ", " +
                        (row.starred ? "1" : "0") + ")");
}

bool SetSyncItemState(sqlite3* db, std::int64_t articleId, bool starredField, bool value) {
    return SyncExec(db, std::string("UPDATE sync_item SET ") +
                            (starredField ? "starred" : "unread") + " = " + (value ? "1" : "0") +
                            " WHERE article_id = " + std::to_string(articleId));
}

std::optional<std::vector<QueuedChange>> LoadQueue(sqlite3* db) {
    std::vector<QueuedChange> changes;
    if (!ForEachRow(db, "SELECT article_id, field, value FROM sync_queue ORDER BY article_id",
                    [&](sqlite3_stmt* s) {
                        changes.push_back({sqlite3_column_int64(s, 0), Text(s, 1) == "starred",
                                           sqlite3_column_int(s, 2) != 0});
                    })) {
        return std::nullopt;
    }
    return changes;
}

bool DequeueChange(sqlite3* db, const QueuedChange& change) {
    return SyncExec(
        db, "DELETE FROM sync_queue WHERE article_id = " + std::to_string(change.articleId) +
                " AND field = " + FieldName(change.starredField) +
                " AND value = " + (change.value ? "1" : "0"));
}

bool ItemIsUnread(sqlite3* db, std::int64_t itemId) {
    return SyncQueryInteger(
               db, "SELECT count(*) FROM item_unread WHERE item_id = " + std::to_string(itemId))
               .value_or(0) > 0;
}

bool ItemIsStarred(sqlite3* db, std::int64_t itemId) {
    return SyncQueryInteger(
               db, "SELECT count(*) FROM item_star WHERE item_id = " + std::to_string(itemId))
               .value_or(0) > 0;
}

bool SetItemUnread(sqlite3* db, std::int64_t itemId, bool unread) {
    const std::string id = std::to_string(itemId);
    if (unread) {
        return SyncExec(
            db,
            "INSERT OR IGNORE INTO item_unread (item_id, channel_id, pub_date) SELECT "
            "ID, ifnull(rss_channelID, 0), ifnull(rss_pubDate, '') FROM item WHERE ID = " +
                id);
    }
    return SyncExec(db, "DELETE FROM item_unread WHERE item_id = " + id +
                            " AND channel_id = (SELECT ifnull(rss_channelID, 0) FROM item WHERE ID "
                            "= " +
                            id + ")");
}

bool SetItemStarred(sqlite3* db, std::int64_t itemId, bool starred) {
    const std::string id = std::to_string(itemId);
    return SyncExec(db, starred ? "INSERT OR IGNORE INTO item_star (item_id) SELECT ID FROM item "
                                  "WHERE ID = " +
                                      id
                                : "DELETE FROM item_star WHERE item_id = " + id);
}
