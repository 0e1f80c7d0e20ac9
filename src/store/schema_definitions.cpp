#include "store/schema_definitions.h"

#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "store/schema.h"
#include "store/search_index.h"
#include "store/sqlite_handle.h"

namespace {

struct Column {
    std::string name;
    std::string definition;  // "name TYPE [NOT NULL] [DEFAULT value]"
};

// data/schema.sql run once in a database of its own, read back by name. Built on first use
// and never changed after, so any thread may read it.
class CurrentSchema {
public:
    static const CurrentSchema& Get() {
        static const CurrentSchema schema;
        return schema;
    }

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    // The CREATE statement of a table, index or trigger as SQLite keeps it; empty for none.
    std::string Definition(std::string_view name) const {
        const auto found = m_definitions.find(std::string(name));
        return found == m_definitions.end() ? std::string() : found->second;
    }
    const std::vector<Column>& Columns(std::string_view table) const {
        static const std::vector<Column> none;
        const auto found = m_columns.find(std::string(table));
        return found == m_columns.end() ? none : found->second;
    }

private:
    CurrentSchema() {
        sqlite3* raw = nullptr;
        sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        const SqliteDb db(raw);
        char* error = nullptr;
        if (!db || !InstallSearchIndex(db.get(), &m_error) ||
            sqlite3_exec(db.get(), kSchemaSql, nullptr, nullptr, &error) != SQLITE_OK) {
            m_error = "the built-in schema does not run: " + (error             ? std::string(error)
                                                              : m_error.empty() ? "out of memory"
                                                                                : m_error);
            sqlite3_free(error);
            return;
        }
        ForEachRow(db.get(), "SELECT name, sql FROM sqlite_master WHERE sql IS NOT NULL",
                   [this](sqlite3_stmt* row) { m_definitions[Text(row, 0)] = Text(row, 1); });
        ForEachRow(db.get(),
                   "SELECT m.name, c.name, c.type, c.\"notnull\", c.dflt_value "
                   "FROM sqlite_master m, pragma_table_info(m.name) c WHERE m.type = 'table' "
                   "ORDER BY m.name, c.cid",
                   [this](sqlite3_stmt* row) {
                       std::string definition = Text(row, 1) + " " + Text(row, 2);
                       if (sqlite3_column_int(row, 3) != 0) {
                           definition += " NOT NULL";
                       }
                       if (sqlite3_column_type(row, 4) != SQLITE_NULL) {
                           definition += " DEFAULT " + Text(row, 4);
                       }
                       m_columns[Text(row, 0)].push_back({Text(row, 1), definition});
                   });
    }

    static std::string Text(sqlite3_stmt* row, int column) {
        const unsigned char* text = sqlite3_column_text(row, column);
        return text ? reinterpret_cast<const char*>(text) : "";
    }

    template <typename Visit>
    void ForEachRow(sqlite3* db, const char* sql, Visit visit) {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
        const SqliteStatement statement(raw);
        while (statement && sqlite3_step(statement.get()) == SQLITE_ROW) {
            visit(statement.get());
        }
    }

    std::string m_error;
    std::map<std::string, std::string> m_definitions;
    std::map<std::string, std::vector<Column>> m_columns;
};

bool Fail(int failure, std::string text, int* code, std::string* message) {
    *code = failure;
    *message = std::move(text);
    return false;
}

bool Exec(sqlite3* db, const std::string& sql, int* code, std::string* message) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) {
        return true;
    }
    *code = sqlite3_extended_errcode(db);
    *message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    return false;
}

// Whether the file has a table, index or trigger of this name; nothing when it cannot tell.
std::optional<bool> Has(sqlite3* db, const char* name, int* code, std::string* message) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = ?1", -1, &raw, nullptr);
    const SqliteStatement statement(raw);
    if (!statement) {
        *code = sqlite3_extended_errcode(db);
        *message = sqlite3_errmsg(db);
        return std::nullopt;
    }
    sqlite3_bind_text(statement.get(), 1, name, -1, SQLITE_STATIC);
    const int stepped = sqlite3_step(statement.get());
    if (stepped != SQLITE_ROW && stepped != SQLITE_DONE) {
        *code = sqlite3_extended_errcode(db);
        *message = sqlite3_errmsg(db);
        return std::nullopt;
    }
    return stepped == SQLITE_ROW;
}

// The current schema's statement for `name`, or false with the reason.
bool DefinitionOf(const char* name, std::string* sql, int* code, std::string* message) {
    const CurrentSchema& schema = CurrentSchema::Get();
    if (!schema.Ok()) {
        return Fail(SQLITE_INTERNAL, schema.Error(), code, message);
    }
    *sql = schema.Definition(name);
    return !sql->empty() ||
           Fail(SQLITE_INTERNAL, std::string("the schema defines no ") + name, code, message);
}

}  // namespace

bool CreateMissing(sqlite3* db, std::initializer_list<const char*> names, int* code,
                   std::string* message) {
    for (const char* name : names) {
        std::string sql;
        const std::optional<bool> has = Has(db, name, code, message);
        if (!has || (!*has &&
                     (!DefinitionOf(name, &sql, code, message) || !Exec(db, sql, code, message)))) {
            return false;
        }
    }
    return true;
}

bool RecreateTrigger(sqlite3* db, const char* name, int* code, std::string* message) {
    std::string sql;
    return DefinitionOf(name, &sql, code, message) &&
           Exec(db, std::string("DROP TRIGGER IF EXISTS ") + name, code, message) &&
           Exec(db, sql, code, message);
}

bool AddMissingColumns(sqlite3* db, const char* table, int* code, std::string* message) {
    const CurrentSchema& schema = CurrentSchema::Get();
    if (!schema.Ok()) {
        return Fail(SQLITE_INTERNAL, schema.Error(), code, message);
    }
    for (const Column& column : schema.Columns(table)) {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(db, "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2", -1, &raw,
                           nullptr);
        const SqliteStatement statement(raw);
        if (!statement) {
            return Fail(sqlite3_extended_errcode(db), sqlite3_errmsg(db), code, message);
        }
        sqlite3_bind_text(statement.get(), 1, table, -1, SQLITE_STATIC);
        sqlite3_bind_text(statement.get(), 2, column.name.c_str(), -1, SQLITE_STATIC);
        const int stepped = sqlite3_step(statement.get());
        if (stepped == SQLITE_DONE) {
            if (!Exec(db, std::string("ALTER TABLE ") + table + " ADD COLUMN " + column.definition,
                      code, message)) {
                return false;
            }
        } else if (stepped != SQLITE_ROW) {
            return Fail(sqlite3_extended_errcode(db), sqlite3_errmsg(db), code, message);
        }
    }
    return true;
}
