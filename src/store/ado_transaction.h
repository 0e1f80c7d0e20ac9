#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "store/sqlite_pool.h"

class CAdoConnection;

// A write transaction on one handle of a connection, for a writer of many rows: a commit
// per row costs a WAL write each, and one per batch costs one. Statements are in the Access
// dialect, as CAdoConnection::Execute takes them; failures are worded as Execute words them
// (FormatAdoError). Whatever is not committed when the object dies is rolled back.
//
// Thread rule: one object is used by one thread; it holds its handle, so other threads'
// statements run on handles of their own and wait for the write lock while this one holds it.
class CAdoTransaction {
public:
    explicit CAdoTransaction(const CAdoConnection& connection);
    ~CAdoTransaction();
    CAdoTransaction(const CAdoTransaction&) = delete;
    CAdoTransaction& operator=(const CAdoTransaction&) = delete;

    // Takes the write lock (BEGIN IMMEDIATE), waiting as long as any statement would. False
    // with the reason when the connection is closed or the lock is not had.
    bool Begin(std::string* error);
    // As CAdoConnection::Execute: the rows changed, or -1 with `code` and `error` set.
    int Execute(std::string_view sql, int* code, std::string* error);
    // The first column of the first row `sql` gives (nothing when it gives no row); false with
    // the reason when it fails.
    bool QueryInteger(std::string_view sql, std::optional<std::int64_t>* value, std::string* error);
    // The same for SQLite's own `sql` with `text` bound to ?1, on a statement kept on the
    // handle: a query made for every feed parses no SQL after its first time.
    bool QueryBoundInteger(const std::string& sql, std::string_view text,
                           std::optional<std::int64_t>* value, std::string* error);
    // Whether the transaction is still open: SQLite rolls all of it back by itself after some
    // failures (a full disk, an I/O error), and then nothing stored in it is kept.
    bool Active() const;
    // The handle, for statements the caller prepares itself; valid while begun.
    sqlite3* Handle() const { return m_lease->get(); }
    // The statements kept on the handle, for a writer that comes back to it.
    SqliteStatementCache& Statements() { return m_lease->Statements(); }
    // False with the reason when the commit fails; everything is rolled back then.
    bool Commit(std::string* error);

private:
    // Steps `statement` (null: its prepare failed) for QueryInteger's answer.
    bool FirstInteger(sqlite3_stmt* statement, std::optional<std::int64_t>* value,
                      std::string* error);
    void Rollback();

    std::shared_ptr<SqlitePool> m_pool;
    std::optional<SqlitePool::Lease> m_lease;
    bool m_begun = false;
};
