#include "store/search_words.h"

#include <algorithm>
#include <memory>

#include "store/ado_connection.h"
#include "store/search_terms.h"
#include "store/sqlite_handle.h"
#include "store/sqlite_pool.h"

namespace {

// The collector of the indexing on this thread; IndexQueuedItems runs on one thread from
// start to end, so each thread's words go to its own collector and need no lock.
thread_local CSearchWordCollector* t_collector = nullptr;
thread_local std::unordered_set<std::string>* t_words = nullptr;

// The index's terms from U+2E80 to U+9FFF are Chinese and Japanese characters and pairs, the
// bulk of the index and never words: the reading of an earlier file steps over them, since
// the vocabulary walks each term's whole list of items.
constexpr std::string_view kIdeographsFrom = "\xe2\xba\x80";
constexpr std::string_view kIdeographsPast = "\xe9\xbf\xbf\xff";
// Above every term (no UTF-8 text holds 0xFF).
constexpr std::string_view kPastEveryTerm = "\xff";

// Whether `term`, as the index holds it, is a word: cut again, it is one term, the same,
// neither a character of a run of ideographs nor a pair.
bool IsWord(std::string_view term) {
    int terms = 0;
    bool word = false;
    ForEachSearchTerm(term, SearchTermMode::kStored, [&](const SearchTerm& cut) {
        word = ++terms == 1 && !cut.ideograph && !cut.samePosition && cut.text == term;
        return word;
    });
    return word && terms == 1;
}

SqliteStatement Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    return SqliteStatement(raw);
}

bool InsertWords(sqlite3* db, const std::vector<std::string>& words) {
    SqliteStatement insert =
        Prepare(db, "INSERT OR IGNORE INTO item_search_word (term) VALUES (?1)");
    if (!insert) {
        return false;
    }
    for (const std::string& word : words) {
        sqlite3_bind_text(insert.get(), 1, word.data(), static_cast<int>(word.size()),
                          SQLITE_STATIC);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            return false;
        }
        sqlite3_reset(insert.get());
    }
    return true;
}

bool HasTable(sqlite3* db, const char* name) {
    SqliteStatement find = Prepare(db, "SELECT 1 FROM main.sqlite_master WHERE name = ?1");
    if (!find) {
        return false;
    }
    sqlite3_bind_text(find.get(), 1, name, -1, SQLITE_STATIC);
    return sqlite3_step(find.get()) == SQLITE_ROW;
}

// Whether an earlier file's words are still to be read. Asked before the write lock is
// taken, since the window's indexer calls the fill each time its queue runs empty.
bool WordsLeftToRead(sqlite3* db) {
    if (!HasTable(db, "item_search_word_fill")) {
        return false;
    }
    SqliteStatement left = Prepare(db, "SELECT 1 FROM item_search_word_fill");
    return left && sqlite3_step(left.get()) == SQLITE_ROW;
}

// Reads the next terms after `after` into the table; returns how many it read, or -1.
int ReadTermsAfter(sqlite3* db, const std::string& after, int limit) {
    if (sqlite3_exec(db,
                     "CREATE VIRTUAL TABLE IF NOT EXISTS temp.item_search_terms USING "
                     "fts5vocab(main, item_search, row)",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        return -1;
    }
    SqliteStatement read = Prepare(
        db, "SELECT term FROM temp.item_search_terms WHERE term > ?1 AND term < ?2 LIMIT ?3");
    if (!read) {
        return -1;
    }
    const std::string_view before =
        std::string_view(after) < kIdeographsFrom ? kIdeographsFrom : kPastEveryTerm;
    sqlite3_bind_text(read.get(), 1, after.data(), static_cast<int>(after.size()), SQLITE_STATIC);
    sqlite3_bind_text(read.get(), 2, before.data(), static_cast<int>(before.size()), SQLITE_STATIC);
    sqlite3_bind_int(read.get(), 3, limit);
    int readCount = 0;
    std::string last = after;
    std::vector<std::string> words;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(read.get())) == SQLITE_ROW) {
        ++readCount;
        last.assign(reinterpret_cast<const char*>(sqlite3_column_text(read.get(), 0)),
                    static_cast<std::size_t>(sqlite3_column_bytes(read.get(), 0)));
        if (IsWord(last)) {
            words.push_back(last);
        }
    }
    if (rc != SQLITE_DONE || !InsertWords(db, words)) {
        return -1;
    }
    // The range ended before the limit: on past the ideographs, or done.
    const bool rangeDone = readCount < limit;
    const bool done = rangeDone && before == kPastEveryTerm;
    if (done) {
        return sqlite3_exec(db, "DELETE FROM item_search_word_fill", nullptr, nullptr, nullptr) ==
                       SQLITE_OK
                   ? readCount
                   : -1;
    }
    const std::string next = rangeDone ? std::string(kIdeographsPast) : last;
    SqliteStatement save = Prepare(db, "UPDATE item_search_word_fill SET next_term = ?1");
    if (!save) {
        return -1;
    }
    sqlite3_bind_text(save.get(), 1, next.data(), static_cast<int>(next.size()), SQLITE_STATIC);
    // A range that held no term still counts as progress, so that the caller comes back.
    return sqlite3_step(save.get()) == SQLITE_DONE ? std::max(readCount, 1) : -1;
}

}  // namespace

CSearchWordCollector::CSearchWordCollector() : m_outer(t_collector) {
    t_collector = this;
    t_words = &m_words;
}

CSearchWordCollector::~CSearchWordCollector() {
    t_collector = m_outer;
    t_words = m_outer ? &m_outer->m_words : nullptr;
}

bool CSearchWordCollector::Store(sqlite3* db) {
    if (m_words.empty()) {
        return true;
    }
    const std::vector<std::string> words(m_words.begin(), m_words.end());
    m_words.clear();
    return InsertWords(db, words) || !HasTable(db, "item_search_word");
}

void NoteIndexedWord(std::string_view term, bool ideograph, bool samePosition) {
    if (t_words != nullptr && !ideograph && !samePosition) {
        t_words->emplace(term);
    }
}

int FillSearchWords(const CAdoConnection& connection, int limit) {
    const std::shared_ptr<SqlitePool> pool = connection.GetConnection();
    int code = 0;
    std::string message;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, &message) : std::nullopt;
    if (!lease) {
        return -1;
    }
    sqlite3* db = lease->get();
    if (!WordsLeftToRead(db)) {
        return 0;
    }
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return -1;
    }
    SqliteStatement where = Prepare(db, "SELECT next_term FROM item_search_word_fill");
    int read = 0;
    if (!where) {
        read = -1;
    } else if (sqlite3_step(where.get()) == SQLITE_ROW) {
        const std::string after(reinterpret_cast<const char*>(sqlite3_column_text(where.get(), 0)),
                                static_cast<std::size_t>(sqlite3_column_bytes(where.get(), 0)));
        where.reset();
        read = ReadTermsAfter(db, after, limit);
    }
    if (read < 0 || sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return -1;
    }
    return read;
}

std::optional<std::vector<std::string>> SearchWordsWithPrefix(sqlite3* db, std::string_view prefix,
                                                              int limit) {
    SqliteStatement filling = Prepare(db, "SELECT count(*) FROM item_search_word_fill");
    if (!filling || sqlite3_step(filling.get()) != SQLITE_ROW ||
        sqlite3_column_int(filling.get(), 0) != 0) {
        return std::nullopt;
    }
    SqliteStatement read =
        Prepare(db, "SELECT term FROM item_search_word WHERE term >= ?1 AND term < ?2 LIMIT ?3");
    if (!read) {
        return std::nullopt;
    }
    const std::string past = std::string(prefix) + std::string(kPastEveryTerm);
    sqlite3_bind_text(read.get(), 1, prefix.data(), static_cast<int>(prefix.size()), SQLITE_STATIC);
    sqlite3_bind_text(read.get(), 2, past.data(), static_cast<int>(past.size()), SQLITE_STATIC);
    sqlite3_bind_int(read.get(), 3, limit + 1);
    std::vector<std::string> words;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(read.get())) == SQLITE_ROW) {
        words.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(read.get(), 0)),
                           static_cast<std::size_t>(sqlite3_column_bytes(read.get(), 0)));
    }
    if (rc != SQLITE_DONE || words.empty() || static_cast<int>(words.size()) > limit) {
        return std::nullopt;
    }
    return words;
}
