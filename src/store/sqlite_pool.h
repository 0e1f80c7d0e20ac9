#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "store/schema.h"
#include "store/sqlite_handle.h"

// The live connection behind CAdoConnection: SQLite handles on one database file, one per
// concurrent user. Every statement borrows a handle for as long as it runs (a recordset for
// as long as it is open), so threads never share a handle and SQLite's WAL lets readers
// and the one writer at a time proceed side by side.
class SqlitePool : public std::enable_shared_from_this<SqlitePool> {
public:
    // A borrowed handle; goes back to the pool (or is closed, if the pool was closed
    // meanwhile) when the lease dies.
    class Lease {
    public:
        Lease(std::shared_ptr<SqlitePool> pool, SqliteDb db)
            : m_pool(std::move(pool)), m_db(std::move(db)) {}
        ~Lease();
        Lease(Lease&&) noexcept = default;
        Lease& operator=(Lease&&) noexcept = default;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        sqlite3* get() const { return m_db.get(); }
        // The statements kept on the handle (SqliteStatementCache); the lease's holder alone
        // uses them while it holds the lease.
        SqliteStatementCache& Statements() { return m_db.Statements(); }

    private:
        std::shared_ptr<SqlitePool> m_pool;
        SqliteDb m_db;
    };

    struct Options {
        // How long a statement waits for a database another connection has locked.
        int busyTimeoutMs = 30'000;
        // How long opening waits for it: a lock held longer is reported as the database
        // being busy.
        int openBusyTimeoutMs = 5'000;
        // A file that cannot be written (it, or its folder, is write-protected) is opened for
        // reading only, as it is, instead of being refused.
        bool readOnlyFallback = false;
    };

    // Opens the existing database file at `path` (never creates one) and readies it with
    // PrepareDatabase: refused unless it holds the program's tables and can be written,
    // brought up to date when it is of an earlier schema (`progress` hears how a long step
    // goes), switched to WAL; `upgrade` says what bringing it up to date did. With
    // readOnlyFallback a file that cannot be written is opened for reading as it is (see
    // OpenDatabaseForReading). On failure returns null and sets the SQLite result code and
    // message. Every handle carries the search index's tokenizer and functions.
    static std::shared_ptr<SqlitePool> Open(const std::string& path, const Options& options,
                                            int* errorCode, std::string* errorMessage,
                                            SchemaUpgrade* upgrade = nullptr,
                                            const SchemaProgress& progress = {});

    // A handle for the calling thread's statement, or nothing when the pool is closed or a
    // new handle cannot be opened (then `errorCode`/`errorMessage` say why).
    std::optional<Lease> Acquire(int* errorCode, std::string* errorMessage);

    // Refuses further leases and closes idle handles; leased ones close on return.
    void Close();
    bool IsOpen() const;
    // Whether the file was opened for reading only (Options::readOnlyFallback).
    bool IsReadOnly() const { return !m_readOnlyUri.empty(); }

private:
    SqlitePool(std::string path, int busyTimeoutMs)
        : m_path(std::move(path)), m_busyMs(busyTimeoutMs) {}
    SqliteDb OpenHandle(int busyMs, int* errorCode, std::string* errorMessage) const;
    void Return(SqliteDb db);

    const std::string m_path;
    const int m_busyMs;
    // The address read-only handles are opened by; empty for a file opened for writing. Set
    // by Open before the pool is shared.
    std::string m_readOnlyUri;

    // Idle handles and the open state; guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::vector<SqliteDb> m_idle;
    bool m_open = true;
};
