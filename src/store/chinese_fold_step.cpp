#include "store/chinese_fold_step.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/text_util.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/simplified_chinese.h"
#include "store/sqlite_handle.h"

namespace {

bool Fail(sqlite3* db, int* code, std::string* message) {
    *code = sqlite3_extended_errcode(db);
    *message = sqlite3_errmsg(db);
    return false;
}

bool Prepare(sqlite3* db, const char* sql, SqliteStatement* statement) {
    sqlite3_stmt* raw = nullptr;
    const int result = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    *statement = SqliteStatement(raw);
    return result == SQLITE_OK;
}

// Runs `statement` with `id` bound to its one parameter.
bool StepWith(sqlite3_stmt* statement, std::int64_t id) {
    sqlite3_bind_int64(statement, 1, id);
    const int stepped = sqlite3_step(statement);
    sqlite3_reset(statement);
    return stepped == SQLITE_DONE;
}

}  // namespace

bool RequeueTraditionalChineseItems(sqlite3* db, int* code, std::string* message) {
    // The old index holds Traditional characters as they were written, and the step both
    // looks them up and takes items out with their old terms: a contentless index forgets an
    // item only when given the very terms it was given.
    const CUnfoldedChineseTerms unfolded;
    SqliteStatement find;
    if (!Prepare(db, "SELECT rowid FROM item_search WHERE item_search MATCH ?1", &find)) {
        return Fail(db, code, message);
    }
    std::vector<std::int64_t> ids;
    for (const char32_t c : TraditionalChineseCharacters()) {
        std::string phrase = "\"";
        AppendUtf8(phrase, c);
        phrase += '"';
        sqlite3_bind_text(find.get(), 1, phrase.data(), static_cast<int>(phrase.size()),
                          SQLITE_TRANSIENT);
        int result = SQLITE_ROW;
        while ((result = sqlite3_step(find.get())) == SQLITE_ROW) {
            ids.push_back(ItemIdOfSearchKey(sqlite3_column_int64(find.get(), 0)));
        }
        sqlite3_reset(find.get());
        if (result != SQLITE_DONE) {
            return Fail(db, code, message);
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());

    SqliteStatement remove;
    SqliteStatement queue;
    if (!Prepare(db,
                 "INSERT INTO item_search (item_search, rowid, title, description) "
                 "SELECT 'delete', quillon_search_key(rss_pubDate, ID), rss_title, "
                 "quillon_search_text(rss_description) FROM item WHERE ID = ?1",
                 &remove) ||
        !Prepare(
            db,
            "INSERT OR IGNORE INTO item_search_queue (item_id) SELECT ID FROM item WHERE ID = ?1",
            &queue)) {
        return Fail(db, code, message);
    }
    for (const std::int64_t id : ids) {
        if (!StepWith(remove.get(), id) || !StepWith(queue.get(), id)) {
            return Fail(db, code, message);
        }
    }
    return true;
}
