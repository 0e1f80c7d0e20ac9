#include "support/sqlite_rows.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/search_index.h"

namespace {

struct Db {
    explicit Db(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open " << path;
        }
        sqlite3_busy_timeout(db, 10000);
        // Items written here keep the search index in step through its triggers.
        std::string failure;
        if (!InstallSearchIndex(db, &failure)) {
            ADD_FAILURE() << failure;
        }
    }
    ~Db() { sqlite3_close(db); }
    sqlite3* db = nullptr;
};

}  // namespace

Rows QueryRows(const std::string& path, const std::string& sql) {
    Db db(path);
    Rows rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db.db) << " in " << sql;
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
            row.emplace_back(text ? text : "NULL");
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    return rows;
}

void ExecSql(const std::string& path, const std::string& sql) {
    Db db(path);
    char* error = nullptr;
    if (sqlite3_exec(db.db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        ADD_FAILURE() << (error ? error : "?") << " in " << sql;
    }
    sqlite3_free(error);
}
