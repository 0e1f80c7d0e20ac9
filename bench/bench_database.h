#pragma once

#include <string>

struct sqlite3;

// A database file in the benchmark's own folder, prefilled with `items` items spread over
// 1000 channels (the benchmark channel "bench" among them, with 5000 items of the last 30
// days once there are enough), made with the schema at `schemaPath`. Filled files are cached
// by schema and size under the folder, so that a second run does not fill a million rows
// again; every call gets its own copy.
std::string PrefilledDatabase(const std::string& folder, int items,
                              const std::string& schemaPath = QUILLON_SCHEMA_PATH);

// Creates `folder`/data and `folder`/document as a data folder needs them.
void MakeDataFolder(const std::string& folder);

// Throws, naming `what` and SQLite's message, when `rc` is an error code.
void CheckSqlite(int rc, sqlite3* db, const char* what);

// Opens a new database file at `path`, with the search index's tokenizer and functions, and
// runs the schema at `schemaPath` in it.
sqlite3* CreateDatabase(const std::string& path, const std::string& schemaPath);
