#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <utility>

// Move-only owners of the two SQLite handles the store uses.

class SqliteDb {
public:
    SqliteDb() = default;
    explicit SqliteDb(sqlite3* db) : m_db(db) {}
    ~SqliteDb() { sqlite3_close_v2(m_db); }
    SqliteDb(SqliteDb&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}
    SqliteDb& operator=(SqliteDb&& other) noexcept {
        std::swap(m_db, other.m_db);
        return *this;
    }
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    sqlite3* get() const { return m_db; }
    explicit operator bool() const { return m_db != nullptr; }

private:
    sqlite3* m_db = nullptr;
};

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
