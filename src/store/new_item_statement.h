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
    explicit CNewItemStatement(sqlite3* db) : m_db(db) {}

    // 1 when the item was stored, 0 when its channel holds it already, -1 when the statement
    // failed (an impossible date, a full disk), with the SQLite extended result code in
    // `code` and SQLite's message in `error`, unformatted, as CAdoConnection::RunOn gives them.
    int Insert(const ItemValues& item, int* code, std::string* error);
    sqlite3* Handle() const { return m_db; }

private:
    enum Key { kByTitle, kByGuid, kByLink, kByDescription, kKeys };

    sqlite3* m_db;
    std::array<SqliteStatement, kKeys> m_statements;
};
