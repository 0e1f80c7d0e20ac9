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
// or a description, one look-up for each).
//
// The look-up and the insert are two statements, so Insert is called inside a transaction
// that holds the write lock (BEGIN IMMEDIATE): no other writer can store the item between them.
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

    // The cache's statement for `sql`, or null with the code and message of the failure.
    sqlite3_stmt* Prepare(const std::string& sql, int* code, std::string* error);
    // Steps once; false, with the code and message, unless the step gave `expected`.
    bool Step(sqlite3_stmt* statement, int expected, int* code, std::string* error);

    sqlite3* m_db;
    SqliteStatementCache m_own;
    SqliteStatementCache* m_cache;
    // Each key's look-up and the insert, once taken from the cache this transaction.
    std::array<sqlite3_stmt*, kKeys> m_lookUps{};
    sqlite3_stmt* m_insert = nullptr;
};
