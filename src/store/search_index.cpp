#include "store/search_index.h"

#include <algorithm>
#include <optional>

#include "store/ado_connection.h"
#include "store/rule_text.h"
#include "store/search_terms.h"
#include "store/search_text.h"
#include "store/search_words.h"
#include "store/sqlite_handle.h"
#include "store/sqlite_pool.h"

namespace {

constexpr int kIdBits = 40;
constexpr std::int64_t kIdMask = (std::int64_t{1} << kIdBits) - 1;
// Day numbers run from 1 (1 March of year 0) to about 3.65 million (year 9999); 0 is no date.
constexpr std::int64_t kDayLimit = (std::int64_t{1} << 23) - 1;

constexpr char kTokenizerName[] = "quillon";

// Days from 1 March of year 0 to the date, plus one; 0 for no valid date.
std::int64_t DayNumber(const unsigned char* iso) {
    if (iso == nullptr) {
        return 0;
    }
    int fields[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    const unsigned char* p = iso;
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < widths[f]; ++i, ++p) {
            if (*p < '0' || *p > '9') {
                return 0;
            }
            fields[f] = fields[f] * 10 + (*p - '0');
        }
        if (f < 2 && *p++ != '-') {
            return 0;
        }
    }
    const int year = fields[0];
    const int month = fields[1];
    const int day = fields[2];
    if (month < 1 || month > 12 || day < 1 || day > 31) {
        return 0;
    }
    // Days from civil: March-based years, so that the leap day ends a year.
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = std::int64_t{era} * 146097 + dayOfEra;
    return days >= 0 ? days + 1 : 0;
}

// quillon_search_text(html): the description's text; NULL stays NULL.
void SearchTextFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* html = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    if (html == nullptr) {
        sqlite3_result_null(context);
        return;
    }
    const std::string text = SearchTextOfHtml(std::string_view(html, sqlite3_value_bytes(args[0])));
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// quillon_search_holds(title, description, pattern): whether the item's folded text holds
// the pattern (rule_text.h); the search checks its hits with it where the index cannot.
void SearchHoldsFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const auto text = [&](int i) {
        const auto* value = reinterpret_cast<const char*>(sqlite3_value_text(args[i]));
        return value
                   ? std::string_view(value, static_cast<std::size_t>(sqlite3_value_bytes(args[i])))
                   : std::string_view();
    };
    sqlite3_result_int(context, RuleTextHolds(RuleFoldedText(text(0), text(1)), text(2)) ? 1 : 0);
}

// quillon_search_key(date, id).
void SearchKeyFunction(sqlite3_context* context, int, sqlite3_value** args) {
    sqlite3_result_int64(context,
                         SearchKey(sqlite3_value_text(args[0]), sqlite3_value_int64(args[1])));
}

int CreateTokenizer(void*, const char**, int, Fts5Tokenizer** out) {
    // The tokenizer keeps no state: every instance is this one object.
    static int instance = 0;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void DeleteTokenizer(Fts5Tokenizer*) {}

int Tokenize(Fts5Tokenizer*, void* context, int flags, const char* text, int length,
             int (*token)(void*, int, const char*, int, int, int)) {
    const SearchTermMode mode =
        (flags & FTS5_TOKENIZE_QUERY) != 0 ? SearchTermMode::kTyped : SearchTermMode::kStored;
    int rc = SQLITE_OK;
    ForEachSearchTerm(
        std::string_view(text, length > 0 ? length : 0), mode, [&](const SearchTerm& term) {
            if (mode == SearchTermMode::kStored) {
                NoteIndexedWord(term.text, term.ideograph, term.samePosition);
            }
            rc = token(context, term.samePosition ? FTS5_TOKEN_COLOCATED : 0, term.text.data(),
                       static_cast<int>(term.text.size()), term.start, term.end);
            return rc == SQLITE_OK;
        });
    return rc;
}

fts5_api* Fts5Api(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &raw, nullptr) != SQLITE_OK) {
        return nullptr;
    }
    SqliteStatement statement(raw);
    sqlite3_bind_pointer(statement.get(), 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(statement.get());
    return api;
}

// Runs `sql` with ?1 bound to `limit`; false on failure.
bool RunWithLimit(sqlite3* db, const char* sql, int limit) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        return false;
    }
    SqliteStatement statement(raw);
    sqlite3_bind_int(statement.get(), 1, limit);
    return sqlite3_step(statement.get()) == SQLITE_DONE;
}

}  // namespace

int IndexQueuedItems(sqlite3* db, int limit) {
    // Both take the same oldest items: nothing else writes inside the caller's transaction.
    CSearchWordCollector words;
    const bool done =
        RunWithLimit(db,
                     "INSERT INTO item_search (rowid, title, description) SELECT "
                     "quillon_search_key(item.rss_pubDate, item.ID), item.rss_title, "
                     "quillon_search_text(item.rss_description) FROM item_search_queue queue "
                     "INNER JOIN item ON item.ID = queue.item_id ORDER BY queue.item_id LIMIT ?1",
                     limit) &&
        RunWithLimit(db,
                     "DELETE FROM item_search_queue WHERE item_id IN (SELECT item_id FROM "
                     "item_search_queue ORDER BY item_id LIMIT ?1)",
                     limit);
    const int taken = done ? sqlite3_changes(db) : -1;
    return taken >= 0 && words.Store(db) ? taken : -1;
}

int IndexQueuedSearchItems(const CAdoConnection& connection, int limit, int* failure) {
    return IndexQueuedSearchItems(
        connection, limit, limit, [] { return false; }, failure);
}

int IndexQueuedSearchItems(const CAdoConnection& connection, int limit, int chunk,
                           const std::function<bool()>& giveWay, int* failure) {
    const std::shared_ptr<SqlitePool> pool = connection.GetConnection();
    int code = 0;
    std::string message;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, &message) : std::nullopt;
    const auto fail = [failure](int reason) {
        if (failure != nullptr) {
            *failure = reason == SQLITE_OK ? SQLITE_ERROR : reason;
        }
        return -1;
    };
    if (!lease) {
        return fail(pool ? code : SQLITE_MISUSE);
    }
    sqlite3* db = lease->get();
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return fail(sqlite3_extended_errcode(db));
    }
    int indexed = 0;
    for (;;) {
        const int taken = IndexQueuedItems(db, std::min(chunk, limit - indexed));
        if (taken < 0) {
            indexed = -1;
            break;
        }
        indexed += taken;
        if (taken == 0 || indexed >= limit || giveWay()) {
            break;
        }
    }
    if (indexed < 0 || sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const int reason = sqlite3_extended_errcode(db);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return fail(reason);
    }
    return indexed;
}

std::string SpelledOutMatchExpression(const CAdoConnection& connection, std::string_view typed,
                                      bool* cut) {
    const std::shared_ptr<SqlitePool> pool = connection.GetConnection();
    int code = 0;
    std::string message;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, &message) : std::nullopt;
    if (!lease) {
        return SearchMatchExpression(typed, cut);
    }
    sqlite3* db = lease->get();
    return SearchMatchExpression(typed, cut, [db](std::string_view prefix) {
        return SearchWordsWithPrefix(db, prefix, kSearchPrefixTermLimit);
    });
}

std::optional<SearchIndexState> ReadSearchIndexState(const CAdoConnection& connection) {
    const std::shared_ptr<SqlitePool> pool = connection.GetConnection();
    int code = 0;
    std::string message;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, &message) : std::nullopt;
    if (!lease) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> tables =
        QuerySingleInteger(lease->get(),
                           "SELECT count(*) FROM main.sqlite_master WHERE name IN ('item_search', "
                           "'item_search_queue')");
    if (!tables) {
        return std::nullopt;
    }
    if (*tables < 2) {
        return SearchIndexState{};
    }
    const std::optional<std::int64_t> queued =
        QuerySingleInteger(lease->get(), "SELECT count(*) FROM main.item_search_queue");
    if (!queued) {
        return std::nullopt;
    }
    return SearchIndexState{true, *queued};
}

std::int64_t SearchKey(const unsigned char* isoDate, std::int64_t itemId) {
    const std::int64_t day = std::min(DayNumber(isoDate), kDayLimit);
    return ((kDayLimit - day) << kIdBits) | (kIdMask - (itemId & kIdMask));
}

std::int64_t ItemIdOfSearchKey(std::int64_t key) {
    return kIdMask - (key & kIdMask);
}

std::string SqlItemIdOfSearchKey(const std::string& keyColumn) {
    return "(" + std::to_string(kIdMask) + " - (" + keyColumn + " & " + std::to_string(kIdMask) +
           "))";
}

bool InstallSearchIndex(sqlite3* db, std::string* message) {
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    if (sqlite3_create_function_v2(db, "quillon_search_text", 1, kFlags, nullptr,
                                   SearchTextFunction, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "quillon_search_key", 2, kFlags, nullptr, SearchKeyFunction,
                                   nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(db, "quillon_search_holds", 3, kFlags, nullptr,
                                   SearchHoldsFunction, nullptr, nullptr, nullptr) != SQLITE_OK) {
        *message = sqlite3_errmsg(db);
        return false;
    }
    fts5_api* api = Fts5Api(db);
    if (api == nullptr || api->iVersion < 2) {
        *message = "this SQLite has no FTS5";
        return false;
    }
    static fts5_tokenizer tokenizer = {CreateTokenizer, DeleteTokenizer, Tokenize};
    if (api->xCreateTokenizer(api, kTokenizerName, nullptr, &tokenizer, nullptr) != SQLITE_OK) {
        *message = sqlite3_errmsg(db);
        return false;
    }
    return true;
}
