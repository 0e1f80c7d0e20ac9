#pragma once

#include <sqlite3.h>

#include <string>

// The schema step that brings a search index of an earlier version to terms that read
// Traditional Chinese as Simplified (search_terms.h). Only items whose indexed text held a
// Traditional character were indexed differently, and the index itself names them: every
// character of stored text is a term of its own, so each Traditional character is looked up
// once. Each such item leaves the index, with the terms it went in with, and is queued to be
// indexed again behind the window (and by the first search that needs it); every other item
// stays indexed. Runs inside the caller's transaction on `db`, which has the index's tokenizer
// and functions. Returns false with SQLite's reason when a statement fails.
bool RequeueTraditionalChineseItems(sqlite3* db, int* code, std::string* message);
