#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "store/schema.h"

class SqlitePool;

// The program's database connection. It is opened on an existing database file (the
// connection string is the file's path) and never creates one; while it is open any
// thread may run statements on it at the same time.
//
// Thread rule: Open and Close are called from one thread at a time (the window thread or
// start-up); Execute, IsOpen, GetConnection and LastError may be called from any thread.
class CAdoConnection {
public:
    CAdoConnection();
    virtual ~CAdoConnection();
    CAdoConnection(const CAdoConnection&) = delete;
    CAdoConnection& operator=(const CAdoConnection&) = delete;

    // Stores the connection string, then Open().
    virtual bool Open(const std::string& connectionString);
    // Opens the stored connection string; returns the open flag. An open connection is
    // replaced. A missing or damaged file leaves the connection closed.
    virtual bool Open();
    // Closes the connection if open. Recordsets still open keep their handle until they
    // close. Always true.
    bool Close();
    bool IsOpen() const { return m_open.load(std::memory_order_acquire); }

    // The live connection for a recordset (a counted reference), or null when closed.
    std::shared_ptr<SqlitePool> GetConnection() const;

    // Runs one statement that returns no rows. -1 when the connection is closed or the
    // statement fails (the reason goes to LastError); otherwise the number of rows changed.
    // `code` and `error`, when given, receive this statement's own outcome, which another
    // thread's statement cannot overwrite: the SQLite extended result code (SQLITE_OK on
    // success) and the formatted error text ("" on success).
    int Execute(std::string_view sql, int* code = nullptr, std::string* error = nullptr);

    // Heard by Open while it brings a file of an earlier schema up to date (on the thread
    // that opens); empty for none.
    void SetSchemaProgress(SchemaProgress progress);

    void SetConnectionString(std::string connectionString);
    std::string ConnectionString() const;
    std::string Version() const;
    std::string LastError() const;

protected:
    void SetLastError(std::string text);

private:
    // Execute's work: the rows changed, or -1 with the result code and SQLite's message.
    int Run(std::string_view sql, int* code, std::string* error);

    // Seconds a statement waits for a busy database before it fails.
    static constexpr int kConnectionTimeoutSeconds = 30;

    std::atomic<bool> m_open{false};

    // The members below are guarded by m_mutex: Execute runs on any thread.
    mutable std::mutex m_mutex;
    std::shared_ptr<SqlitePool> m_connection;
    std::string m_connectionString;
    std::string m_version;
    std::string m_lastError;
    SchemaProgress m_schemaProgress;
};
