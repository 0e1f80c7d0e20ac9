#pragma once

#include <sqlite3.h>

#include <string>

// The schema step that brings a search index of an earlier version to terms that read
// Traditional Chinese as Simplified (search_terms.h). Only items whose title or text holds a
// Traditional character were indexed differently: each of them leaves the index, its terms
// cut the old way, and is queued to be indexed again behind the window (and by the first
// search that needs it). Items already queued, and every other item, stay as they are.
// Runs inside the caller's transaction on `db`, which has the index's tokenizer and functions.
// Returns false with SQLite's reason when a statement fails.
bool RequeueTraditionalChineseItems(sqlite3* db, int* code, std::string* message);
