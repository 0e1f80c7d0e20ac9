#include "bench_database.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "store/search_index.h"

namespace fs = std::filesystem;

namespace {

constexpr int kChannels = 1000;
constexpr int kBenchChannelRecent = 5000;

std::string IsoDaysAgo(int days) {
    const std::time_t when = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    std::tm tm{};
    localtime_r(&when, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

void Fill(const std::string& path, int items, const std::string& schemaPath) {
    sqlite3* db = CreateDatabase(path, schemaPath);
    CheckSqlite(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (int c = 1; c <= kChannels; ++c) {
        const std::string title = c == 1 ? "bench" : "channel " + std::to_string(c);
        const std::string sql = "insert into channel (ID, rss_title, rss_link) values(" +
                                std::to_string(c) + ", '" + title + "', 'http://c.test/')";
        CheckSqlite(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "channel");
    }
    sqlite3_stmt* insert = nullptr;
    CheckSqlite(sqlite3_prepare_v2(db,
                                   "insert into item (rss_channelID, rss_title, rss_link, "
                                   "rss_description, rss_author, rss_pubDate, rss_source) "
                                   "values(?, ?, ?, ?, ?, ?, ?)",
                                   -1, &insert, nullptr),
                db, "prepare");
    std::mt19937 random(42);
    const std::string description(600, 'd');
    for (int i = 0; i < items; ++i) {
        // The benchmark channel gets its recent items first; the rest spreads over two years.
        const bool bench = i < kBenchChannelRecent && items >= 10 * kBenchChannelRecent;
        const int channel = bench ? 1 : 2 + static_cast<int>(random() % (kChannels - 1));
        const int daysAgo =
            bench ? static_cast<int>(random() % 30) : static_cast<int>(random() % 730);
        const std::string title = "新闻标题 news title number " + std::to_string(i);
        const std::string date = IsoDaysAgo(daysAgo);
        sqlite3_bind_int(insert, 1, channel);
        sqlite3_bind_text(insert, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, "http://news.test/item", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, description.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 5, "记者", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 6, date.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 7, "source", -1, SQLITE_STATIC);
        CheckSqlite(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    CheckSqlite(
        sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr), db,
        "commit");
    sqlite3_close(db);
}

}  // namespace

void MakeDataFolder(const std::string& folder) {
    fs::create_directories(fs::path(folder) / "data");
    fs::create_directories(fs::path(folder) / "document");
}

std::string PrefilledDatabase(const std::string& folder, int items, const std::string& schemaPath) {
    fs::create_directories(folder);
    const fs::path cache = fs::path(folder) / ("cache-" + fs::path(schemaPath).stem().string() +
                                               "-" + std::to_string(items) + ".dat");
    if (!fs::exists(cache)) {
        std::fprintf(stderr, "filling a database with %d items...\n", items);
        const fs::path filling = cache.string() + ".filling";
        fs::remove(filling);
        Fill(filling.string(), items, schemaPath);
        fs::rename(filling, cache);
    }
    MakeDataFolder(folder);
    const fs::path copy = fs::path(folder) / "data" / "data.dat";
    fs::remove(copy);
    fs::remove(copy.string() + "-wal");
    fs::remove(copy.string() + "-shm");
    fs::copy_file(cache, copy);
    return copy.string();
}

void CheckSqlite(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
    }
}

sqlite3* CreateDatabase(const std::string& path, const std::string& schemaPath) {
    std::ifstream schemaFile(schemaPath);
    std::stringstream schema;
    schema << schemaFile.rdbuf();
    sqlite3* db = nullptr;
    CheckSqlite(sqlite3_open(path.c_str(), &db), db, "open");
    // Items written here keep the search index in step through its triggers.
    std::string failure;
    if (!InstallSearchIndex(db, &failure)) {
        throw std::runtime_error("search index: " + failure);
    }
    CheckSqlite(sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, nullptr), db, "schema");
    return db;
}
