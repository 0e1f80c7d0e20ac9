#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>

// The schema version data/schema.sql writes into a new database (PRAGMA user_version).
// Version 0, the files of the first builds, compared channel names and item titles exactly;
// version 1 had no feed_validator table; version 2 had no read state and no search index.
constexpr int kSchemaVersion = 3;

// Told how far a long step of an upgrade has come: `done` of `total` items (the search
// index is built over every stored item). Called on the thread that opens the file.
using SchemaProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// data/schema.sql, built into the program.
extern const char kSchemaSql[];

// Readies an opened database file for the program, or refuses it. Refused, without a byte
// written: a file that is no database, one without the channel and item tables (an empty
// file among them), and one SQLite can open only for reading. A file of an earlier schema is
// brought to the current one in one transaction, step by step. From version 0 its tables
// are rebuilt with names and titles that compare ignoring ASCII case, keeping every row that
// is no duplicate under that rule (of channels that differ only in case the first keeps the
// name and takes the others' items; of items of one channel that differ only in case the
// first is kept). From version 1 it gains the empty feed_validator table. From version 2 it
// gains the read state, every item it holds counting as read, and the search index over
// every item, built while `progress` hears how far it has come. On refusal `code` and
// `message` say why. `db` needs the search index's tokenizer and functions
// (InstallSearchIndex).
bool PrepareDatabase(sqlite3* db, int* code, std::string* message,
                     const SchemaProgress& progress = {});

// The schema version of the database file at `path` (PRAGMA user_version), or -1 when it
// cannot be opened and read. Never creates the file; changes nothing in it.
int StoredSchemaVersion(const std::string& path);
