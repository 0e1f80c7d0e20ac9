#include "store/chinese_fold_step.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "store/search_terms.h"
#include "store/search_text.h"
#include "store/simplified_chinese.h"
#include "store/sqlite_handle.h"

namespace {

bool Fail(sqlite3* db, int* code, std::string* message) {
    *code = sqlite3_extended_errcode(db);
    *message = sqlite3_errmsg(db);
    return false;
}

std::string_view ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string_view(
                      text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string_view();
}

// Whether the index held the item's text with another term than it gives now. The raw
// description is read first, as most text stands in it as it is; only a description with
// numeric character references is read as the index reads it.
bool IndexedDifferently(std::string_view title, std::string_view description) {
    if (HoldsTraditionalChinese(title) || HoldsTraditionalChinese(description)) {
        return true;
    }
    return description.find("&#") != std::string_view::npos &&
           HoldsTraditionalChinese(SearchTextOfHtml(description));
}

bool Prepare(sqlite3* db, const char* sql, SqliteStatement* statement) {
    sqlite3_stmt* raw = nullptr;
    const int result = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    *statement = SqliteStatement(raw);
    return result == SQLITE_OK;
}

}  // namespace

bool RequeueTraditionalChineseItems(sqlite3* db, int* code, std::string* message) {
    SqliteStatement scan;
    if (!Prepare(db,
                 "SELECT ID, rss_title, rss_description FROM item "
                 "WHERE ID NOT IN (SELECT item_id FROM item_search_queue)",
                 &scan)) {
        return Fail(db, code, message);
    }
    std::vector<std::int64_t> ids;
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(scan.get())) == SQLITE_ROW) {
        if (IndexedDifferently(ColumnText(scan.get(), 1), ColumnText(scan.get(), 2))) {
            ids.push_back(sqlite3_column_int64(scan.get(), 0));
        }
    }
    if (result != SQLITE_DONE) {
        return Fail(db, code, message);
    }
    SqliteStatement remove;
    SqliteStatement queue;
    if (!Prepare(db,
                 "INSERT INTO item_search (item_search, rowid, title, description) "
                 "SELECT 'delete', quillon_search_key(rss_pubDate, ID), rss_title, "
                 "quillon_search_text(rss_description) FROM item WHERE ID = ?1",
                 &remove) ||
        !Prepare(db, "INSERT OR IGNORE INTO item_search_queue (item_id) VALUES (?1)", &queue)) {
        return Fail(db, code, message);
    }
    // A contentless index forgets an item only when given the very terms it was given.
    const CUnfoldedChineseTerms unfolded;
    for (const std::int64_t id : ids) {
        for (sqlite3_stmt* statement : {remove.get(), queue.get()}) {
            sqlite3_bind_int64(statement, 1, id);
            const int stepped = sqlite3_step(statement);
            sqlite3_reset(statement);
            if (stepped != SQLITE_DONE) {
                return Fail(db, code, message);
            }
        }
    }
    return true;
}
