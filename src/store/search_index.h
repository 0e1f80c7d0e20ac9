#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CAdoConnection;

// The search index over the stored items (the FTS5 table item_search of data/schema.sql)
// needs four things of every connection that writes items or reads the index: the
// tokenizer "quillon" (search_terms.h), the function quillon_search_text(html) that gives a
// description's text (search_text.h), quillon_search_key(date, id), the index's row key, and
// quillon_search_holds(title, description, pattern), a search's check of a hit's text
// (SearchTextPatterns in rule_text.h).
//
// A stored item waits in the queue item_search_queue until IndexQueuedItems takes it into
// the index; a search indexes the queue first, so it finds every stored item.
//
// The key puts the index in the list's order: ascending keys are newer days first, and
// within a day the items stored later first. Undated items (no readable YYYY-MM-DD) come
// last. Item IDs up to 2^40 - 1 are kept exactly.
std::int64_t SearchKey(const unsigned char* isoDate, std::int64_t itemId);
std::int64_t ItemIdOfSearchKey(std::int64_t key);

// The SQL expression that turns a key column into the item ID again.
std::string SqlItemIdOfSearchKey(const std::string& keyColumn);

// How many queued items one batch indexes.
constexpr int kIndexBatchSize = 2000;

// Indexes up to `limit` queued items, the oldest first, on `db` inside the caller's
// transaction. Returns how many left the queue, or -1 (SQLite's error on `db`).
int IndexQueuedItems(sqlite3* db, int limit);

// One batch of IndexQueuedItems in a transaction of its own, on a handle of `connection`.
// Returns how many items left the queue (0 once it is empty), or -1 when the connection is
// closed or a statement fails, with SQLite's result code in `failure` when it is given. Any
// thread; a writer at the same time waits its turn.
int IndexQueuedSearchItems(const CAdoConnection& connection, int limit = kIndexBatchSize,
                           int* failure = nullptr);
// The same in chunks of `chunk` items, committing early, after a chunk, once `giveWay` says
// that another writer wants the lock.
int IndexQueuedSearchItems(const CAdoConnection& connection, int limit, int chunk,
                           const std::function<bool()>& giveWay, int* failure = nullptr);

// A word part that ends a search is spelled out as the words of the index that begin with it
// (search_words.h), at most this many; beyond them it stays a prefix query. Each phrase costs
// the index a lookup: at a million items 111 of them took 1.3 ms more than one word, where
// the prefix query of those words took 38 ms.
constexpr int kSearchPrefixTermLimit = 128;

// SearchMatchExpression (search_terms.h) for `typed`, its word parts spelled out as the words
// of the index on `connection`; as a plain expression where they cannot be read.
std::string SpelledOutMatchExpression(const CAdoConnection& connection, std::string_view typed,
                                      bool* cut = nullptr);

// What a search over a connection can reach: whether its file has the index at all (a file
// of a build before it gains the index only where it can be written), and how many stored
// items still wait in the queue, which a connection that can only read cannot index.
struct SearchIndexState {
    bool present = false;
    std::int64_t queued = 0;
};

// The state of `connection`'s index; nothing when the connection is closed or cannot read it.
std::optional<SearchIndexState> ReadSearchIndexState(const CAdoConnection& connection);

// Registers the tokenizer and the functions on `db`. False (with SQLite's reason in
// `message`) when SQLite lacks FTS5 or a registration fails.
bool InstallSearchIndex(sqlite3* db, std::string* message);
