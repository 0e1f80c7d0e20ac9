#include "store/ado_connection.h"

#include "store/ado_error.h"
#include "store/sql_text.h"
#include "store/sqlite_pool.h"

#include <cctype>

namespace {

bool OnlyBlanks(const char* text) {
    for (; text && *text; ++text) {
        if (!std::isspace(static_cast<unsigned char>(*text))) {
            return false;
        }
    }
    return true;
}

// A handle of `connection` while it is open, or nothing with the code and reason.
std::optional<SqlitePool::Lease> LeaseHandle(const CAdoConnection& connection, int* code,
                                             std::string* error) {
    std::shared_ptr<SqlitePool> pool = connection.IsOpen() ? connection.GetConnection() : nullptr;
    if (!pool) {
        *code = SQLITE_MISUSE;
        *error = "the connection is closed";
        return std::nullopt;
    }
    return pool->Acquire(code, error);
}

}  // namespace

CAdoConnection::CAdoConnection() = default;

CAdoConnection::~CAdoConnection() {
    Close();
}

bool CAdoConnection::Open(const std::string& connectionString) {
    SetConnectionString(connectionString);
    return Open();
}

bool CAdoConnection::Open() {
    return OpenWith(false);
}

bool CAdoConnection::OpenForReading() {
    return OpenWith(true);
}

bool CAdoConnection::OpenWith(bool readOnlyFallback) {
    Close();
    int code = SQLITE_OK;
    std::string message;
    SqlitePool::Options options;
    SchemaProgress progress;
    options.busyTimeoutMs = kConnectionTimeoutSeconds * 1000;
    options.readOnlyFallback = readOnlyFallback;
    {
        std::lock_guard lock(m_mutex);
        options.openBusyTimeoutMs = m_openBusyTimeoutMs;
        progress = m_schemaProgress;
    }
    SchemaUpgrade upgrade;
    auto pool = SqlitePool::Open(ConnectionString(), options, &code, &message, &upgrade, progress);
    {
        std::lock_guard lock(m_mutex);
        m_openFailureCode = pool ? SQLITE_OK : code;
        m_lastUpgrade = upgrade;
    }
    if (!pool) {
        SetLastError(FormatAdoError(code, message));
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_connection = std::move(pool);
        m_version = std::string("SQLite ") + sqlite3_libversion();
    }
    m_open.store(true, std::memory_order_release);
    return true;
}

bool CAdoConnection::IsReadOnly() const {
    std::lock_guard lock(m_mutex);
    return m_connection && m_connection->IsReadOnly();
}

int CAdoConnection::OpenFailureCode() const {
    std::lock_guard lock(m_mutex);
    return m_openFailureCode;
}

SchemaUpgrade CAdoConnection::LastUpgrade() const {
    std::lock_guard lock(m_mutex);
    return m_lastUpgrade;
}

void CAdoConnection::SetOpenBusyTimeout(int milliseconds) {
    std::lock_guard lock(m_mutex);
    m_openBusyTimeoutMs = milliseconds;
}

bool CAdoConnection::Close() {
    std::shared_ptr<SqlitePool> closing;
    {
        std::lock_guard lock(m_mutex);
        closing.swap(m_connection);
    }
    m_open.store(false, std::memory_order_release);
    if (closing) {
        closing->Close();
    }
    return true;
}

std::shared_ptr<SqlitePool> CAdoConnection::GetConnection() const {
    std::lock_guard lock(m_mutex);
    return m_connection;
}

int CAdoConnection::Execute(std::string_view sql, int* code, std::string* error) {
    int rc = SQLITE_OK;
    std::string text;
    const int changed = Run(sql, &rc, &text);
    return Outcome(changed, rc, std::move(text), code, error);
}

int CAdoConnection::ExecuteBound(const std::string& sql,
                                 std::initializer_list<std::string_view> parameters, int* code,
                                 std::string* error) {
    int rc = SQLITE_OK;
    std::string text;
    const int changed = RunBound(sql, parameters, &rc, &text);
    return Outcome(changed, rc, std::move(text), code, error);
}

int CAdoConnection::Outcome(int changed, int rc, std::string text, int* code, std::string* error) {
    if (code) {
        *code = rc;
    }
    if (rc != SQLITE_OK) {
        text = FormatAdoError(rc, text);
        if (error) {
            *error = text;
        }
        // On a closed connection the last error keeps saying why it could not be opened.
        if (rc != SQLITE_MISUSE) {
            SetLastError(std::move(text));
        }
    } else if (error) {
        error->clear();
    }
    return rc == SQLITE_OK ? changed : -1;
}

int CAdoConnection::Run(std::string_view sql, int* code, std::string* error) {
    auto lease = LeaseHandle(*this, code, error);
    return lease ? RunOn(lease->get(), sql, code, error) : -1;
}

int CAdoConnection::RunBound(const std::string& sql,
                             std::initializer_list<std::string_view> parameters, int* code,
                             std::string* error) {
    auto lease = LeaseHandle(*this, code, error);
    if (!lease) {
        return -1;
    }
    sqlite3* db = lease->get();
    sqlite3_stmt* statement = lease->Statements().Get(db, sql);
    if (statement == nullptr) {
        *code = sqlite3_extended_errcode(db);
        *error = sqlite3_errmsg(db);
        return -1;
    }
    int index = 1;
    for (std::string_view text : parameters) {
        sqlite3_bind_text(statement, index++, text.empty() ? "" : text.data(),
                          static_cast<int>(text.size()), SQLITE_STATIC);
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        *code = sqlite3_extended_errcode(db);
        *error = sqlite3_errmsg(db);
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE) {
        return -1;
    }
    *code = SQLITE_OK;
    return sqlite3_changes(db);
}

int CAdoConnection::RunOn(sqlite3* db, std::string_view sql, int* code, std::string* error) {
    std::string translated;
    if (!TranslateAccessSql(sql, &translated, error)) {
        *code = SQLITE_ERROR;
        return -1;
    }
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, translated.c_str(), static_cast<int>(translated.size()), &raw,
                                &tail);
    SqliteStatement statement(raw);
    if (rc == SQLITE_OK && !OnlyBlanks(tail)) {
        // One statement per call: a second one could only come from unescaped input.
        *code = SQLITE_ERROR;
        *error = "more than one statement";
        return -1;
    }
    if (rc == SQLITE_OK && statement) {
        while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        }
    }
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        *code = sqlite3_extended_errcode(db);
        *error = sqlite3_errmsg(db);
        return -1;
    }
    *code = SQLITE_OK;
    return sqlite3_changes(db);
}

void CAdoConnection::SetSchemaProgress(SchemaProgress progress) {
    std::lock_guard lock(m_mutex);
    m_schemaProgress = std::move(progress);
}

void CAdoConnection::SetConnectionString(std::string connectionString) {
    std::lock_guard lock(m_mutex);
    m_connectionString = std::move(connectionString);
}

std::string CAdoConnection::ConnectionString() const {
    std::lock_guard lock(m_mutex);
    return m_connectionString;
}

std::string CAdoConnection::Version() const {
    std::lock_guard lock(m_mutex);
    return m_version;
}

std::string CAdoConnection::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void CAdoConnection::SetLastError(std::string text) {
    std::lock_guard lock(m_mutex);
    m_lastError = std::move(text);
}
