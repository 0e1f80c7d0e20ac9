#pragma once

#include <atomic>
#include <initializer_list>
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
    // Opens the stored connection string as Open does, for a caller that only reads: a file
    // that cannot be written (it, or its folder, is write-protected) is then opened for
    // reading as it is, neither brought up to date nor switched to WAL.
    bool OpenForReading();
    // Closes the connection if open. Recordsets still open keep their handle until they
    // close. Always true.
    bool Close();
    bool IsOpen() const { return m_open.load(std::memory_order_acquire); }
    // Whether the open connection can only read (OpenForReading on a write-protected file).
    bool IsReadOnly() const;

    // The SQLite result code of the last failed open (SQLITE_OK after one that succeeded):
    // SQLITE_BUSY when another program held the file locked for longer than the open waits,
    // SQLITE_READONLY when it cannot be written, SQLITE_NOTFOUND when it lacks the tables.
    int OpenFailureCode() const;
    // What the last open did to bring the file up to date (see SchemaUpgrade).
    SchemaUpgrade LastUpgrade() const;
    // How long an open waits for a file another connection has locked (5 s unless set).
    void SetOpenBusyTimeout(int milliseconds);

    // The live connection for a recordset (a counted reference), or null when closed.
    std::shared_ptr<SqlitePool> GetConnection() const;

    // Runs one statement that returns no rows. -1 when the connection is closed or the
    // statement fails (the reason goes to LastError); otherwise the number of rows changed.
    // `code` and `error`, when given, receive this statement's own outcome, which another
    // thread's statement cannot overwrite: the SQLite extended result code (SQLITE_OK on
    // success) and the formatted error text ("" on success).
    int Execute(std::string_view sql, int* code = nullptr, std::string* error = nullptr);
    // Execute for SQLite's own `sql` (no Access translation) with `parameters` bound as text
    // to ?1, ?2 and so on, on a statement kept on the pooled handle: a statement run for
    // every fetched feed parses no SQL after its first time.
    int ExecuteBound(const std::string& sql, std::initializer_list<std::string_view> parameters,
                     int* code = nullptr, std::string* error = nullptr);

    // Execute's work on a handle the caller holds (as CAdoTransaction does): the rows changed,
    // or -1 with the SQLite extended result code and SQLite's message (not yet formatted).
    static int RunOn(sqlite3* db, std::string_view sql, int* code, std::string* error);

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
    bool OpenWith(bool readOnlyFallback);
    // Execute's work: the rows changed, or -1 with the result code and SQLite's message.
    int Run(std::string_view sql, int* code, std::string* error);
    int RunBound(const std::string& sql, std::initializer_list<std::string_view> parameters,
                 int* code, std::string* error);
    // Gives Run's outcome to Execute's caller, keeping a failure as the last error.
    int Outcome(int changed, int rc, std::string text, int* code, std::string* error);

    // Seconds a statement waits for a busy database before it fails.
    static constexpr int kConnectionTimeoutSeconds = 30;
    // Milliseconds an open waits for a locked file before it reports it busy.
    static constexpr int kOpenBusyTimeoutMs = 5'000;

    std::atomic<bool> m_open{false};

    // The members below are guarded by m_mutex: Execute runs on any thread.
    mutable std::mutex m_mutex;
    std::shared_ptr<SqlitePool> m_connection;
    std::string m_connectionString;
    std::string m_version;
    std::string m_lastError;
    SchemaProgress m_schemaProgress;
    int m_openFailureCode = 0;
    SchemaUpgrade m_lastUpgrade;
    int m_openBusyTimeoutMs = kOpenBusyTimeoutMs;
};
