#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class CAdoConnection;

// The words of the search index (item_search_word): every term that is a run of letters and
// digits rather than a Chinese, Japanese or Korean character or pair. A word part that ends a
// search is spelled out as the words it begins, read as one range of this table; FTS5 would
// otherwise merge the whole list of items of every such word before it gives the first row
// (bench/search_bench's SearchStatement compares the two).
//
// A word stays when its last item leaves the index: it then only adds a phrase that finds
// nothing, so results are the same.

// Collects the words the index takes in on this thread while it lives (the tokenizer hands
// them over through NoteIndexedWord), for Store to add to the table. One per IndexQueuedItems.
class CSearchWordCollector {
public:
    CSearchWordCollector();
    ~CSearchWordCollector();
    CSearchWordCollector(const CSearchWordCollector&) = delete;
    CSearchWordCollector& operator=(const CSearchWordCollector&) = delete;

    // Adds the collected words to the table on `db`, inside the caller's transaction. A file
    // of an earlier version, before the table, has none to keep. False on SQLite's failure.
    bool Store(sqlite3* db);

private:
    std::unordered_set<std::string> m_words;
    CSearchWordCollector* m_outer;
};

// Called by the tokenizer for each term it cuts from stored text: a word goes to this
// thread's collector, if one lives.
void NoteIndexedWord(std::string_view term, bool ideograph, bool samePosition);

// A file brought up from a version before the table has its words read from the index, a
// range of terms at a time, behind the window (item_search_word_fill holds where the reading
// stands); until then word parts stay prefix queries. Reads up to `limit` terms in a
// transaction of its own. Returns how many it read (0 once every term has been read), or -1
// when the connection is closed or a statement fails. Any thread.
int FillSearchWords(const CAdoConnection& connection, int limit = 5000);

// The words on `db` that begin with `prefix`, in order; nothing when more than `limit` do,
// none does, or the table is missing, still being filled or cannot be read.
std::optional<std::vector<std::string>> SearchWordsWithPrefix(sqlite3* db, std::string_view prefix,
                                                              int limit);
