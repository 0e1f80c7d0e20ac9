#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

// Move-only owners of the two SQLite handles the store uses, and the statements kept on a
// database handle.

class SqliteStatement {
public:
    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~SqliteStatement() { sqlite3_finalize(m_stmt); }
    SqliteStatement(SqliteStatement&& other) noexcept
        : m_stmt(std::exchange(other.m_stmt, nullptr)) {}
    SqliteStatement& operator=(SqliteStatement&& other) noexcept {
        std::swap(m_stmt, other.m_stmt);
        return *this;
    }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }
    void reset() { *this = SqliteStatement(); }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Statements prepared once on a handle and kept while it lives, so that a writer that comes
// back to the handle (one transaction per feed) parses no SQL again.
//
// Thread rule: it belongs to its handle, which one user at a time holds (a pool's lease).
class SqliteStatementCache {
public:
    // The statement for `sql` on `db`, reset and ready to bind; null when it cannot be
    // prepared (SQLite's error on `db` says why). The caller resets it after each use.
    sqlite3_stmt* Get(sqlite3* db, const std::string& sql) {
        SqliteStatement& statement = m_statements[sql];
        if (!statement) {
            sqlite3_stmt* raw = nullptr;
            if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) !=
                SQLITE_OK) {
                m_statements.erase(sql);
                return nullptr;
            }
            statement = SqliteStatement(raw);
        }
        return statement.get();
    }

private:
    std::unordered_map<std::string, SqliteStatement> m_statements;
};

class SqliteDb {
public:
    SqliteDb() = default;
    explicit SqliteDb(sqlite3* db) : m_db(db) {}
    ~SqliteDb() {
        m_statements.reset();  // finalized first: the handle then closes at once
        sqlite3_close_v2(m_db);
    }
    SqliteDb(SqliteDb&& other) noexcept
        : m_db(std::exchange(other.m_db, nullptr)), m_statements(std::move(other.m_statements)) {}
    SqliteDb& operator=(SqliteDb&& other) noexcept {
        std::swap(m_db, other.m_db);
        std::swap(m_statements, other.m_statements);
        return *this;
    }
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    sqlite3* get() const { return m_db; }
    explicit operator bool() const { return m_db != nullptr; }

    // The statements kept on this handle, made on first use.
    SqliteStatementCache& Statements() {
        if (!m_statements) {
            m_statements = std::make_unique<SqliteStatementCache>();
        }
        return *m_statements;
    }

private:
    sqlite3* m_db = nullptr;
    std::unique_ptr<SqliteStatementCache> m_statements;
};

// The single integer `sql` gives on `db`; nothing when it fails, SQLite's reason then being
// the error of `db`.
inline std::optional<std::int64_t> QuerySingleInteger(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    const SqliteStatement statement(raw);
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) {
        return std::nullopt;
    }
    return sqlite3_column_int64(statement.get(), 0);
}
