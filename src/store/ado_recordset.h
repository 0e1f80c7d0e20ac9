#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/sqlite_handle.h"
#include "store/sqlite_pool.h"

class CAdoConnection;

// Kinds of a column binding.
enum BindKind : int {
    kBindText = 0,    // zero-terminated UTF-8, cut at a character boundary to size - 1
    kBindNumber = 1,  // the value as a 32-bit integer, first min(size, 4) bytes
    kBindDate = 2,    // a CAdoDateValue: automation date and status, 12 bytes
};

// Field type codes, as the kinds check them.
enum AdoFieldType : int {
    kAdoInteger = 3,
    kAdoDouble = 5,
    kAdoDate = 7,
    kAdoVariant = 12,
    kAdoBigInt = 20,
    kAdoVarWChar = 202,
    kAdoLongVarWChar = 203,
    kAdoLongVarBinary = 205,
};

// One query on the shared connection, read row by row into bound buffers. It belongs to
// the thread that made it. Open runs the statement; the rows are stepped through as the
// caller moves, so the first rows are there before the last ones are read. The record
// count is exact and consistent with the rows the recordset delivers.
//
// Every operation gives false, 0 or nothing when the recordset is not open; failures are
// kept in LastError in the connection's format.
class CAdoRecordset {
public:
    CAdoRecordset() = default;
    // Takes the connection of `connection` (which may be closed).
    explicit CAdoRecordset(const CAdoConnection& connection);
    virtual ~CAdoRecordset();
    CAdoRecordset(const CAdoRecordset&) = delete;
    CAdoRecordset& operator=(const CAdoRecordset&) = delete;

    void SetConnection(std::shared_ptr<SqlitePool> connection);
    // A check for the queries opened after it: while a statement runs, SQLite asks it every
    // few thousand steps, and the statement ends as interrupted once it says stop. Lets a
    // search the user has left behind end at once instead of running to its end.
    void SetStopCheck(std::function<bool()> stop) { m_stop = std::move(stop); }

    // Runs a query. False when there is no open connection, the recordset is already open,
    // or the statement fails. Bindings of an earlier query stay.
    bool Open(std::string_view sql);
    // Runs a query of SQLite's own SQL (no Access translation) with `parameters` bound as text
    // to ?1, ?2 and so on. The statement is prepared once per pooled handle and kept there,
    // so a query run for every feed or item parses no SQL after its first time.
    bool OpenBound(const std::string& sql, std::initializer_list<std::string_view> parameters);
    // Closes the query and drops every binding. False (with everything kept) only when
    // closing fails.
    bool Close();
    bool IsOpen() const { return m_statement != nullptr; }

    int GetRecordCount();
    bool IsEOF() const;
    void MoveFirst();
    void MoveNext();

    // Appends a binding of the field at `position` (counted from 0). Refused when the
    // position is out of range, the destination is too small for the kind, or the field's
    // type does not suit the kind.
    virtual bool BindColumn(int position, void* destination, int size, int kind);
    // Like BindColumn for the first field whose name equals `name` ignoring ASCII case.
    virtual bool BindColumnByName(std::string_view name, void* destination, int size, int kind);
    // Copies the current row into every bound destination, in binding order. Bindings
    // accumulate until Close, so binding again for every row fills every set.
    bool Fetch();

    int FieldCount() const { return static_cast<int>(m_fieldTypes.size()); }
    int FieldType(int position) const;
    std::string LastError() const { return m_lastError; }
    // The SQLite extended result code of the last failure (SQLITE_MISUSE for a closed
    // connection); SQLITE_OK while nothing failed.
    int LastErrorCode() const { return m_lastErrorCode; }

private:
    struct Binding {
        std::int16_t position;
        void* destination;
        int size;
        int kind;
    };

    void SetError(int code, std::string_view description);
    void Step();
    void FetchOne(const Binding& binding);

    bool CanOpen();
    bool TakeLease();
    void BindParameters(sqlite3_stmt* statement) const;
    // Runs the statement Open or OpenBound prepared (null: the prepare failed).
    bool Start(sqlite3_stmt* statement);
    void DropStatement();
    void ReleaseLease();
    static int AskStop(void* recordset);

    std::shared_ptr<SqlitePool> m_connection;
    std::function<bool()> m_stop;
    std::optional<SqlitePool::Lease> m_lease;
    sqlite3_stmt* m_statement = nullptr;  // m_owned's, or the handle's cache's
    SqliteStatement m_owned;
    std::string m_sql;                      // the translated text, for the record count
    std::vector<std::string> m_parameters;  // OpenBound's, bound again for the record count
    std::vector<int> m_fieldTypes;
    std::vector<Binding> m_bindings;
    bool m_hasRow = false;
    long long m_rowIndex = 0;
    std::optional<int> m_recordCount;
    std::string m_lastError;
    int m_lastErrorCode = SQLITE_OK;
};
