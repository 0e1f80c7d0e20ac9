#include "store/ado_transaction.h"

#include "store/ado_connection.h"
#include "store/ado_error.h"
#include "store/sql_text.h"

CAdoTransaction::CAdoTransaction(const CAdoConnection& connection)
    : m_pool(connection.IsOpen() ? connection.GetConnection() : nullptr) {}

CAdoTransaction::~CAdoTransaction() {
    Rollback();
}

bool CAdoTransaction::Begin(std::string* error) {
    int code = SQLITE_MISUSE;
    std::string message = "the connection is closed";
    if (m_pool) {
        m_lease = m_pool->Acquire(&code, &message);
    }
    if (m_lease) {
        code = sqlite3_exec(m_lease->get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (code == SQLITE_OK) {
            m_begun = true;
            return true;
        }
        code = sqlite3_extended_errcode(m_lease->get());
        message = sqlite3_errmsg(m_lease->get());
    }
    *error = FormatAdoError(code, message);
    return false;
}

int CAdoTransaction::Execute(std::string_view sql, int* code, std::string* error) {
    const int changed = CAdoConnection::RunOn(m_lease->get(), sql, code, error);
    if (changed < 0) {
        *error = FormatAdoError(*code, *error);
    }
    return changed;
}

bool CAdoTransaction::QueryInteger(std::string_view sql, std::optional<std::int64_t>* value,
                                   std::string* error) {
    std::string translated;
    int code = SQLITE_ERROR;
    if (!TranslateAccessSql(sql, &translated, error)) {
        *error = FormatAdoError(code, *error);
        return false;
    }
    sqlite3* db = m_lease->get();
    sqlite3_stmt* raw = nullptr;
    code = sqlite3_prepare_v2(db, translated.c_str(), static_cast<int>(translated.size()), &raw,
                              nullptr);
    const SqliteStatement statement(raw);
    return code == SQLITE_OK ? FirstInteger(statement.get(), value, error)
                             : FirstInteger(nullptr, value, error);
}

bool CAdoTransaction::QueryBoundInteger(const std::string& sql, std::string_view text,
                                        std::optional<std::int64_t>* value, std::string* error) {
    sqlite3_stmt* statement = Statements().Get(m_lease->get(), sql);
    if (statement != nullptr) {
        sqlite3_bind_text(statement, 1, text.empty() ? "" : text.data(),
                          static_cast<int>(text.size()), SQLITE_STATIC);
    }
    const bool ok = FirstInteger(statement, value, error);
    if (statement != nullptr) {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
    return ok;
}

bool CAdoTransaction::FirstInteger(sqlite3_stmt* statement, std::optional<std::int64_t>* value,
                                   std::string* error) {
    sqlite3* db = m_lease->get();
    const int code = statement == nullptr ? SQLITE_ERROR : sqlite3_step(statement);
    if (code == SQLITE_ROW) {
        *value = sqlite3_column_int64(statement, 0);
        return true;
    }
    if (code == SQLITE_DONE) {
        value->reset();
        return true;
    }
    *error = FormatAdoError(sqlite3_extended_errcode(db), sqlite3_errmsg(db));
    return false;
}

bool CAdoTransaction::Active() const {
    return m_begun && sqlite3_get_autocommit(m_lease->get()) == 0;
}

bool CAdoTransaction::Commit(std::string* error) {
    if (!Active()) {
        *error = FormatAdoError(SQLITE_ABORT, "the transaction was rolled back");
        return false;
    }
    if (sqlite3_exec(m_lease->get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = FormatAdoError(sqlite3_extended_errcode(m_lease->get()),
                                sqlite3_errmsg(m_lease->get()));
        Rollback();
        return false;
    }
    m_begun = false;
    return true;
}

void CAdoTransaction::Rollback() {
    if (Active()) {
        sqlite3_exec(m_lease->get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    m_begun = false;
}
