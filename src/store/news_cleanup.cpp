#include "store/news_cleanup.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include "store/ado_connection.h"
#include "store/sqlite_pool.h"

namespace {

// Items per transaction: small enough that an update storing news waits a moment at most.
constexpr int kBatchSize = 2'000;
// A removed item's share of index entries (titles, dates, read state, search terms) beside its
// own text, in bytes: a rough figure, as the plan's size is.
constexpr int kRowOverhead = 160;

std::string DayText(const AccessDate& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
    return text;
}

// The items the rule removes, as a condition on the item table.
std::string OldItemCondition(const CleanRule& rule) {
    std::string condition = "item.rss_pubDate < '" + DayText(rule.before) +
                            "' AND item.ID NOT IN (SELECT item_id FROM item_star)";
    if (rule.keepUnread) {
        condition +=
            " AND NOT EXISTS (SELECT 1 FROM item_unread WHERE channel_id = "
            "ifnull(item.rss_channelID, 0) AND pub_date = ifnull(item.rss_pubDate, '') AND "
            "item_id = item.ID)";
    }
    return condition;
}

bool Exec(sqlite3* db, const std::string& sql, std::string* failure) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    *failure = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

std::optional<std::int64_t> Integer(sqlite3* db, const std::string& sql, std::string* failure) {
    const std::optional<std::int64_t> value = QuerySingleInteger(db, sql.c_str());
    if (!value) {
        *failure = sqlite3_errmsg(db);
    }
    return value;
}

std::optional<SqlitePool::Lease> Borrow(const CAdoConnection& connection, std::string* failure) {
    std::shared_ptr<SqlitePool> pool = connection.IsOpen() ? connection.GetConnection() : nullptr;
    int code = SQLITE_OK;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, failure) : std::nullopt;
    if (!lease && failure->empty()) {
        *failure = "the connection is closed";
    }
    return lease;
}

// Runs `statements` in one transaction; rolled back when one fails.
bool InTransaction(sqlite3* db, const std::string& statements, std::string* failure) {
    if (!Exec(db, "BEGIN IMMEDIATE", failure)) {
        return false;
    }
    if (!Exec(db, statements, failure) || !Exec(db, "COMMIT", failure)) {
        std::string ignored;
        Exec(db, "ROLLBACK", &ignored);
        return false;
    }
    return true;
}

}  // namespace

std::int64_t DatabaseFileSize(const std::string& path) {
    std::int64_t size = 0;
    for (const std::string& file : {path, path + "-wal"}) {
        std::error_code error;
        const std::uintmax_t bytes = std::filesystem::file_size(file, error);
        size += error ? 0 : static_cast<std::int64_t>(bytes);
    }
    return size;
}

bool CountOldNews(const CAdoConnection& connection, const CleanRule& rule, CleanPlan* plan,
                  std::string* failure) {
    *plan = CleanPlan();
    std::optional<SqlitePool::Lease> lease = Borrow(connection, failure);
    if (!lease) {
        return false;
    }
    // Both figures from one read, so that they describe the same rows.
    const std::string text =
        "length(CAST(ifnull(rss_title, '') AS BLOB)) + length(CAST(ifnull(rss_link, '') AS "
        "BLOB)) + length(CAST(ifnull(rss_description, '') AS BLOB)) + length(CAST(ifnull("
        "rss_guid, '') AS BLOB)) + length(CAST(ifnull(rss_author, '') AS BLOB)) + length(CAST("
        "ifnull(rss_enclosure, '') AS BLOB)) + length(CAST(ifnull(rss_comments, '') AS BLOB)) + "
        "length(CAST(ifnull(rss_source, '') AS BLOB)) + length(CAST(ifnull(rss_category, '') AS "
        "BLOB))";
    sqlite3_stmt* raw = nullptr;
    const std::string sql =
        "SELECT count(*), ifnull(sum(" + text + "), 0) FROM item WHERE " + OldItemCondition(rule);
    sqlite3_prepare_v2(lease->get(), sql.c_str(), -1, &raw, nullptr);
    const SqliteStatement statement(raw);
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) {
        *failure = sqlite3_errmsg(lease->get());
        return false;
    }
    plan->items = sqlite3_column_int64(statement.get(), 0);
    const std::optional<std::int64_t> freePages =
        Integer(lease->get(), "PRAGMA freelist_count", failure);
    const std::optional<std::int64_t> pageSize = Integer(lease->get(), "PRAGMA page_size", failure);
    if (!freePages || !pageSize) {
        return false;
    }
    plan->bytes = sqlite3_column_int64(statement.get(), 1) + plan->items * kRowOverhead +
                  *freePages * *pageSize;
    return true;
}

bool CleanOldNews(const CAdoConnection& connection, const CleanRule& rule, CleanResult* result,
                  std::string* failure) {
    *result = CleanResult();
    const std::string path = connection.ConnectionString();
    result->sizeBefore = DatabaseFileSize(path);
    std::optional<SqlitePool::Lease> lease = Borrow(connection, failure);
    if (!lease) {
        return false;
    }
    sqlite3* db = lease->get();
    const std::string condition = OldItemCondition(rule);
    const std::string day = DayText(rule.before);
    // First the record, so that news removed is never stored again, even when a batch below
    // fails; a later day replaces an earlier one, never the other way.
    if (!InTransaction(db,
                       "INSERT INTO channel_cleaned (channel_id, before_day) SELECT DISTINCT "
                       "rss_channelID, '" +
                           day +
                           "' FROM item WHERE rss_channelID IS NOT NULL "
                           "AND " +
                           condition +
                           " ON CONFLICT (channel_id) DO UPDATE SET before_day "
                           "= max(before_day, excluded.before_day)",
                       failure)) {
        return false;
    }
    // Batches walk up the IDs, so that items kept are read once, not once per batch.
    std::int64_t after = -1;
    for (;;) {
        const std::optional<std::int64_t> last =
            Integer(db,
                    "SELECT ifnull(max(ID), -1) FROM (SELECT ID FROM item WHERE ID > " +
                        std::to_string(after) + " AND " + condition + " ORDER BY ID LIMIT " +
                        std::to_string(kBatchSize) + ")",
                    failure);
        if (!last) {
            return false;
        }
        if (*last < 0) {
            break;
        }
        if (!InTransaction(db,
                           "DELETE FROM item WHERE ID > " + std::to_string(after) +
                               " AND ID <= " + std::to_string(*last) + " AND " + condition,
                           failure)) {
            return false;
        }
        result->itemsRemoved += sqlite3_changes(db);
        after = *last;
    }
    // VACUUM rewrites the file through the WAL; the checkpoint then gives the space back.
    std::string ignored;
    result->compacted =
        result->itemsRemoved == 0 ||
        (Exec(db, "VACUUM", &ignored) && Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", &ignored));
    result->sizeAfter = DatabaseFileSize(path);
    return true;
}
