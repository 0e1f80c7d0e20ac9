#include "store/sqlite_pool.h"

#include "store/schema.h"
#include "store/search_index.h"

namespace {

// At most this many idle handles are kept for reuse; more are closed on return.
constexpr std::size_t kMaxIdleHandles = 8;

}  // namespace

SqlitePool::Lease::~Lease() {
    if (m_pool) {
        m_pool->Return(std::move(m_db));
    }
}

std::shared_ptr<SqlitePool> SqlitePool::Open(const std::string& path, int busyTimeoutMs,
                                             int* errorCode, std::string* errorMessage,
                                             const SchemaProgress& progress) {
    std::shared_ptr<SqlitePool> pool(new SqlitePool(path, busyTimeoutMs));
    SqliteDb first = pool->OpenHandle(errorCode, errorMessage);
    if (!first) {
        return nullptr;
    }
    if (!PrepareDatabase(first.get(), errorCode, errorMessage, progress)) {
        return nullptr;
    }
    pool->Return(std::move(first));
    return pool;
}

SqliteDb SqlitePool::OpenHandle(int* errorCode, std::string* errorMessage) const {
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
    sqlite3_busy_timeout(db.get(), m_busyMs);
    // Every handle writes items, and the search index's triggers need its tokenizer and
    // functions.
    if (!InstallSearchIndex(db.get(), errorMessage)) {
        *errorCode = SQLITE_ERROR;
        return SqliteDb();
    }
    // A row an insert replaces is removed through the delete trigger too, so the search
    // index never keeps a replaced item.
    sqlite3_exec(db.get(), "PRAGMA recursive_triggers=ON;", nullptr, nullptr, nullptr);
    // In WAL mode NORMAL keeps every commit across a crash of the program; only a power
    // loss may take the last commits.
    sqlite3_exec(db.get(), "PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
    return db;
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
    SqliteDb db = OpenHandle(errorCode, errorMessage);
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
