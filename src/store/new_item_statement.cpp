#include "store/new_item_statement.h"

#include <algorithm>

#include "store/sql_text.h"

namespace {

// The look-up of SqlInsertNewItem's `where not exists` for each kind of key; ?3 is the key,
// its apostrophes removed where the column's are.
constexpr const char* kSameItem[] = {
    "replace(rss_title, '''', '') = ?3 collate nocase",
    "replace(rss_title, '''', '') = '' collate nocase and rss_guid = ?3",
    "replace(rss_title, '''', '') = '' collate nocase and rss_link = ?3",
    "replace(rss_title, '''', '') = '' collate nocase and "
    "replace(rss_description, '''', '') = ?3",
};

constexpr const char* kInsertItem =
    "insert into item (rss_channelID, rss_title, rss_link, rss_description, rss_author, "
    "rss_category, rss_comments, rss_enclosure, rss_guid, rss_pubDate, rss_source, rss_pubTime) "
    "values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)";

std::string WithoutApostrophes(std::string_view text) {
    std::string out(text);
    std::erase(out, '\'');
    return out;
}

// Text, never NULL: an empty view may carry a null pointer, which SQLite would bind as NULL,
// where the statement text always wrote ''.
void BindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.empty() ? "" : text.data(),
                      static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

sqlite3_stmt* CNewItemStatement::Prepare(const std::string& sql, int* code, std::string* error) {
    sqlite3_stmt* statement = m_cache->Get(m_db, sql);
    if (statement == nullptr) {
        *code = sqlite3_extended_errcode(m_db);
        *error = sqlite3_errmsg(m_db);
    }
    return statement;
}

bool CNewItemStatement::Step(sqlite3_stmt* statement, int expected, int* code, std::string* error) {
    const bool ok = sqlite3_step(statement) == expected;
    if (!ok) {
        *code = sqlite3_extended_errcode(m_db);
        *error = sqlite3_errmsg(m_db);
    }
    return ok;
}

int CNewItemStatement::Insert(const ItemValues& item, int* code, std::string* error) {
    // The day as the Access literal would give it: an impossible date fails the same way.
    std::string day;
    if (!TranslateAccessSql(AccessDateLiteral(item.pubDate), &day, error)) {
        *code = SQLITE_ERROR;
        return -1;
    }
    day = day.substr(1, day.size() - 2);
    Key kind = kByTitle;
    std::string key;
    if (!IsUntitled(item.title)) {
        key = WithoutApostrophes(item.title);
    } else if (!item.guid.empty()) {
        kind = kByGuid;
        key = item.guid;
    } else if (!item.link.empty()) {
        kind = kByLink;
        key = item.link;
    } else {
        kind = kByDescription;
        key = WithoutApostrophes(item.description);
    }
    // The look-up is a query of its own, not the insert's `where not exists`: an insert that
    // selects from its own table makes SQLite copy the row through a temporary table, which
    // cost more than the look-up itself for an item the channel holds already.
    sqlite3_stmt*& lookUp = m_lookUps[kind];
    if (lookUp == nullptr) {
        lookUp =
            Prepare(std::string("select exists (select 1 from item where rss_channelID = ?1 and ") +
                        kSameItem[kind] +
                        // An item dated before the channel's last clean-up was removed by it, or
                        // would have been: it is not stored again as new.
                        ") or exists (select 1 from channel_cleaned where channel_id = ?1 and "
                        "before_day > ?2)",
                    code, error);
        if (lookUp == nullptr) {
            return -1;
        }
    }
    sqlite3_bind_int(lookUp, 1, item.channelId);
    BindText(lookUp, 2, day);
    BindText(lookUp, 3, key);
    const bool found = Step(lookUp, SQLITE_ROW, code, error);
    const bool held = found && sqlite3_column_int(lookUp, 0) != 0;
    sqlite3_reset(lookUp);
    if (!found) {
        return -1;
    }
    *code = SQLITE_OK;
    if (held) {
        return 0;
    }
    if (m_insert == nullptr && (m_insert = Prepare(kInsertItem, code, error)) == nullptr) {
        return -1;
    }
    sqlite3_stmt* s = m_insert;
    sqlite3_bind_int(s, 1, item.channelId);
    const std::string_view texts[] = {item.title,    item.link,     item.description, item.author,
                                      item.category, item.comments, item.enclosure,   item.guid};
    for (int i = 0; i < 8; ++i) {
        BindText(s, i + 2, texts[i]);
    }
    BindText(s, 10, day);
    BindText(s, 11, item.source);
    if (item.pubTime.empty()) {
        sqlite3_bind_null(s, 12);
    } else {
        BindText(s, 12, item.pubTime);
    }
    const bool done = Step(s, SQLITE_DONE, code, error);
    sqlite3_reset(s);
    return done ? 1 : -1;
}
