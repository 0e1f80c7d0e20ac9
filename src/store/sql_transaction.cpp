#include "store/sql_transaction.h"

#include <sqlite3.h>

#include "store/ado_connection.h"
#include "store/sql_text.h"
#include "store/sqlite_pool.h"

namespace {

bool Exec(sqlite3* db, const std::string& sql, std::string* error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    *error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

}  // namespace

bool ExecuteInTransaction(const CAdoConnection& connection,
                          const std::vector<std::string>& statements, std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    std::shared_ptr<SqlitePool> pool = connection.IsOpen() ? connection.GetConnection() : nullptr;
    int code = SQLITE_OK;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, &why) : std::nullopt;
    if (!lease) {
        if (why.empty()) {
            why = "the connection is closed";
        }
        return false;
    }
    if (!Exec(lease->get(), "BEGIN IMMEDIATE", &why)) {
        return false;
    }
    for (const std::string& statement : statements) {
        std::string sql;
        if (!TranslateAccessSql(statement, &sql, &why) || !Exec(lease->get(), sql, &why)) {
            std::string rollbackError;
            Exec(lease->get(), "ROLLBACK", &rollbackError);
            return false;
        }
    }
    if (!Exec(lease->get(), "COMMIT", &why)) {
        std::string rollbackError;
        Exec(lease->get(), "ROLLBACK", &rollbackError);
        return false;
    }
    return true;
}
