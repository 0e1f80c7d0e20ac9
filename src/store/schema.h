#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>

// The schema version data/schema.sql writes into a new database (PRAGMA user_version).
// Version 0, the files of the first builds, compared channel names and item titles exactly;
// version 1 had no feed_validator table; version 2 kept item titles unique per channel
// ignoring case, and had no index of titles without their apostrophes; version 3 had no
// source_status table; version 4 had no read state and no search index; version 5 kept the
// unread items in the order of their IDs; version 6 did not count a source's 410 answers;
// version 7 cut search terms without folding case beyond ASCII; version 8 had no item_star
// table; version 9 added an unread row with a replacing insert; version 10 had no
// channel_cleaned table; version 11 had no rss_pubTime column; version 12 had no news rules
// and no hidden or coloured items; version 13 had no index of each channel's passes; version
// 14 had no tables of a sync with a server; version 15 kept no server names of synced feeds
// and no queue of feeds to unsubscribe there; version 16 indexed Traditional Chinese
// characters as they are; version 17 had no table of the search index's words.
constexpr int kSchemaVersion = 18;

// What bringing a file up to date did: the version it had (-1 when it was current), and of
// the rows of a version 0 file those merged into others.
struct SchemaUpgrade {
    int fromVersion = -1;
    int channelsMerged = 0;  // channels whose names differ only in case, given to the first
    int itemsMerged = 0;     // items found to be another item of their (merged) channel
};

// Told how far a long step of an upgrade has come: `done` of `total` items (the search
// index is built over every stored item). Called on the thread that opens the file.
using SchemaProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// data/schema.sql, built into the program.
extern const char kSchemaSql[];

// The first part of PrepareDatabase, for a file opened only to be read: refuses a file that
// is no database and one without the channel and item tables.
bool CheckDatabaseTables(sqlite3* db, int* code, std::string* message);

// Readies an opened database file for the program, or refuses it. Refused, without a byte
// written: a file that is no database, one without the channel and item tables (an empty
// file among them), and one SQLite can open only for reading. A file of an earlier schema is
// brought to the current one in one transaction, step by step. From version 0 its tables
// are rebuilt with channel names that compare ignoring ASCII case: of channels that differ
// only in case the first keeps the name and takes the others' items; of the items of a
// channel, two whose titles are equal, or differ only in case and share their guid (else
// link, else description), are one, and the first is kept; every other row stays. From
// version 1 it gains the empty feed_validator table, from version 2 the index of titles
// without apostrophes, from version 3 the empty source_status table, from version 4 the read
// state, every item it holds counting as read, and the search index with every item queued
// for it (the window's indexer takes them in behind it); from version 7 the empty table of
// starred items; from version 15 the items holding Traditional Chinese queued to be indexed
// again; from version 17 the table of the index's words, to be read from the index behind
// the window (FillSearchWords). On refusal `code` and `message` say why;
// `upgrade` (when given) says what was done. `db` needs the search index's tokenizer and
// functions (InstallSearchIndex).
bool PrepareDatabase(sqlite3* db, int* code, std::string* message, SchemaUpgrade* upgrade = nullptr,
                     const SchemaProgress& progress = {});

// The schema version of the database file at `path` (PRAGMA user_version), or -1 when it
// cannot be opened and read. Never creates the file; changes nothing in it.
int StoredSchemaVersion(const std::string& path);
