#pragma once

#include <sqlite3.h>

#include <array>
#include <string>

#include "store/sqlite_handle.h"
#include "store/statements.h"

// SqlInsertNewItem as statements prepared once and bound for each item: a writer of many
// items (a feed in one transaction) then parses no SQL per item, and SQLite does not code the
// item table's triggers again for each. The rule is SqlInsertNewItem's, value for value: the
// same columns stored, the same item looked for first (ItemKey: a title, else a guid, a link
// or a description, one statement for each).
//
// Thread rule: an object belongs to the thread that holds its handle, for as long as it does.
class CNewItemStatement {
public:
    // The statements are prepared in `kept` (the handle's, when given, so that the next
    // transaction on the handle finds them ready) or in a cache of this object's own.
    explicit CNewItemStatement(sqlite3* db, SqliteStatementCache* kept = nullptr)
        : m_db(db), m_cache(kept ? kept : &m_own) {}

    // 1 when the item was stored, 0 when its channel holds it already, -1 when the statement
    // failed (an impossible date, a full disk), with the SQLite extended result code in
    // `code` and SQLite's message in `error`, unformatted, as CAdoConnection::RunOn gives them.
    int Insert(const ItemValues& item, int* code, std::string* error);
    sqlite3* Handle() const { return m_db; }

private:
    enum Key { kByTitle, kByGuid, kByLink, kByDescription, kKeys };

    sqlite3* m_db;
    SqliteStatementCache m_own;
    SqliteStatementCache* m_cache;
    // Each key's statement once taken from the cache this transaction.
    std::array<sqlite3_stmt*, kKeys> m_statements{};
};
