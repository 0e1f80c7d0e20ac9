#include "store/sqlite_pool.h"

#include "store/database_file.h"
#include "store/schema.h"
#include "store/search_index.h"

namespace {

// At most this many idle handles are kept for reuse; more are closed on return.
constexpr std::size_t kMaxIdleHandles = 8;

// Every handle writes or searches items, and the search index's triggers and queries need
// its tokenizer and functions: a handle without them is closed.
SqliteDb WithSearchIndex(SqliteDb db, int* errorCode, std::string* errorMessage) {
    if (db && !InstallSearchIndex(db.get(), errorMessage)) {
        *errorCode = SQLITE_ERROR;
        return SqliteDb();
    }
    return db;
}

// A file of a build before the read state, the stars, the time of day or the news rules,
// opened only to be read, cannot gain their tables and columns: empty ones of the handle's
// own stand in, so that its news lists as read, unstarred, shown and without times instead of
// not at all. (The temporary view of the items comes first in every statement's name
// look-up.) A file that has a table or column is read as it is.
SqliteDb WithReadStateStandIn(SqliteDb db, int* errorCode, std::string* errorMessage) {
    if (!db) {
        return db;
    }
    struct StandIn {
        const char* present;  // counts what the file has of it
        const char* sql;
    };
    constexpr StandIn kStandIns[] = {
        {"SELECT count(*) FROM main.sqlite_master WHERE name = 'item_unread'",
         "CREATE TEMP TABLE IF NOT EXISTS item_unread (item_id INTEGER NOT NULL, channel_id "
         "INTEGER NOT NULL, pub_date DATE NOT NULL, PRIMARY KEY (channel_id, pub_date, item_id)) "
         "WITHOUT ROWID"},
        {"SELECT count(*) FROM main.sqlite_master WHERE name = 'item_star'",
         "CREATE TEMP TABLE IF NOT EXISTS item_star (item_id INTEGER PRIMARY KEY)"},
        {"SELECT count(*) FROM pragma_table_info('item', 'main') WHERE name = 'rss_pubTime'",
         "CREATE TEMP VIEW IF NOT EXISTS item AS SELECT *, NULL AS rss_pubTime FROM main.item"},
        {"SELECT count(*) FROM main.sqlite_master WHERE name = 'item_hidden'",
         "CREATE TEMP TABLE IF NOT EXISTS item_hidden (item_id INTEGER PRIMARY KEY)"},
        {"SELECT count(*) FROM main.sqlite_master WHERE name = 'item_colour'",
         "CREATE TEMP TABLE IF NOT EXISTS item_colour (item_id INTEGER PRIMARY KEY, colour "
         "VARCHAR(15) NOT NULL)"},
        {"SELECT count(*) FROM main.sqlite_master WHERE name = 'news_rule'",
         "CREATE TEMP TABLE IF NOT EXISTS news_rule (ID INTEGER PRIMARY KEY, scope VARCHAR(15), "
         "place VARCHAR(511), match VARCHAR(15), words LONGTEXT, action VARCHAR(15), colour "
         "VARCHAR(15))"},
    };
    for (const StandIn& standIn : kStandIns) {
        const std::optional<std::int64_t> found = QuerySingleInteger(db.get(), standIn.present);
        if (!found || (*found == 0 && sqlite3_exec(db.get(), standIn.sql, nullptr, nullptr,
                                                   nullptr) != SQLITE_OK)) {
            *errorCode = sqlite3_extended_errcode(db.get());
            *errorMessage = sqlite3_errmsg(db.get());
            return SqliteDb();
        }
    }
    return db;
}

}  // namespace

SqlitePool::Lease::~Lease() {
    if (m_pool) {
        m_pool->Return(std::move(m_db));
    }
}

std::shared_ptr<SqlitePool> SqlitePool::Open(const std::string& path, const Options& options,
                                             int* errorCode, std::string* errorMessage,
                                             SchemaUpgrade* upgrade,
                                             const SchemaProgress& progress) {
    std::shared_ptr<SqlitePool> pool(new SqlitePool(path, options.busyTimeoutMs));
    SqliteDb first = pool->OpenHandle(options.openBusyTimeoutMs, errorCode, errorMessage);
    if (!first) {
        return nullptr;
    }
    if (PrepareDatabase(first.get(), errorCode, errorMessage, upgrade, progress)) {
        sqlite3_busy_timeout(first.get(), options.busyTimeoutMs);
        pool->Return(std::move(first));
        return pool;
    }
    if (!options.readOnlyFallback || !MayOpenForReading(*errorCode)) {
        return nullptr;
    }
    first = WithReadStateStandIn(
        WithSearchIndex(OpenDatabaseForReading(path, options.openBusyTimeoutMs,
                                               &pool->m_readOnlyUri, errorCode, errorMessage),
                        errorCode, errorMessage),
        errorCode, errorMessage);
    if (!first || !CheckDatabaseTables(first.get(), errorCode, errorMessage)) {
        return nullptr;
    }
    sqlite3_busy_timeout(first.get(), options.busyTimeoutMs);
    pool->Return(std::move(first));
    return pool;
}

SqliteDb SqlitePool::OpenHandle(int busyMs, int* errorCode, std::string* errorMessage) const {
    if (IsReadOnly()) {
        return WithReadStateStandIn(
            WithSearchIndex(OpenDatabaseUri(m_readOnlyUri, busyMs, errorCode, errorMessage),
                            errorCode, errorMessage),
            errorCode, errorMessage);
    }
    sqlite3* raw = nullptr;
    // NOMUTEX: a handle is used by one thread at a time, so SQLite's own locking of the
    // handle is not needed.
    const int rc =
        sqlite3_open_v2(m_path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDb db(raw);
    if (rc != SQLITE_OK) {
        *errorCode = rc;
        *errorMessage = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        return SqliteDb();
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), busyMs);
    // A row an insert replaces is removed through the delete trigger too, so the search
    // index never keeps a replaced item.
    sqlite3_exec(db.get(), "PRAGMA recursive_triggers=ON;", nullptr, nullptr, nullptr);
    // In WAL mode NORMAL keeps every commit across a crash of the program; only a power
    // loss may take the last commits.
    sqlite3_exec(db.get(), "PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
    return WithSearchIndex(std::move(db), errorCode, errorMessage);
}

std::optional<SqlitePool::Lease> SqlitePool::Acquire(int* errorCode, std::string* errorMessage) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) {
            *errorCode = SQLITE_MISUSE;
            *errorMessage = "the connection is closed";
            return std::nullopt;
        }
        if (!m_idle.empty()) {
            SqliteDb db = std::move(m_idle.back());
            m_idle.pop_back();
            return Lease(shared_from_this(), std::move(db));
        }
    }
    SqliteDb db = OpenHandle(m_busyMs, errorCode, errorMessage);
    if (!db) {
        return std::nullopt;
    }
    return Lease(shared_from_this(), std::move(db));
}

void SqlitePool::Return(SqliteDb db) {
    if (!db) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_open && m_idle.size() < kMaxIdleHandles) {
        m_idle.push_back(std::move(db));
    }
    // Otherwise `db` closes here.
}

void SqlitePool::Close() {
    std::vector<SqliteDb> closing;
    {
        std::lock_guard lock(m_mutex);
        m_open = false;
        closing.swap(m_idle);
    }
}

bool SqlitePool::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}
