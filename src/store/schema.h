#pragma once

#include <sqlite3.h>

#include <string>

// The schema version data/schema.sql writes into a new database (PRAGMA user_version).
// Version 0, the files of the first builds, compared channel names and item titles exactly;
// version 1 had no feed_validator table, version 2 no source_status table.
constexpr int kSchemaVersion = 3;

// data/schema.sql, built into the program.
extern const char kSchemaSql[];

// Readies an opened database file for the program, or refuses it. Refused, without a byte
// written: a file that is no database, one without the channel and item tables (an empty
// file among them), and one SQLite can open only for reading. A file of an earlier schema is
// brought to the current one in one transaction, step by step. From version 0 its tables
// are rebuilt with names and titles that compare ignoring ASCII case, keeping every row that
// is no duplicate under that rule (of channels that differ only in case the first keeps the
// name and takes the others' items; of items of one channel that differ only in case the
// first is kept). From version 1 it gains the empty feed_validator table, from version 2 the empty
// source_status table. On refusal `code`
// and `message` say why.
bool PrepareDatabase(sqlite3* db, int* code, std::string* message);
