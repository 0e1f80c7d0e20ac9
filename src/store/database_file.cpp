#include "store/database_file.h"

#include <filesystem>

namespace {

// `path` as a file: address, every byte that is not plainly safe percent-encoded.
std::string FileUri(const std::string& path, const char* query) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~';
        if (plain) {
            uri.push_back(c);
        } else {
            uri.push_back('%');
            uri.push_back(kHex[byte >> 4]);
            uri.push_back(kHex[byte & 0xF]);
        }
    }
    return uri + "?" + query;
}

bool FirstRead(sqlite3* db, int* code, std::string* message) {
    char* error = nullptr;
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) ==
        SQLITE_OK) {
        return true;
    }
    *code = sqlite3_extended_errcode(db);
    *message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    return false;
}

}  // namespace

SqliteDb OpenDatabaseUri(const std::string& uri, int busyTimeoutMs, int* code,
                         std::string* message) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(
        uri.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDb db(raw);
    if (rc != SQLITE_OK) {
        *code = rc;
        *message = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        return SqliteDb();
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), busyTimeoutMs);
    return db;
}

SqliteDb OpenDatabaseForReading(const std::string& path, int busyTimeoutMs, std::string* uri,
                                int* code, std::string* message) {
    *uri = FileUri(path, "mode=ro");
    SqliteDb db = OpenDatabaseUri(*uri, busyTimeoutMs, code, message);
    if (!db || FirstRead(db.get(), code, message)) {
        return db;
    }
    std::error_code error;
    // An immutable file is read without its log: only right when no log waits to be applied.
    const bool logWaits = std::filesystem::file_size(path + "-wal", error) > 0 && !error;
    // A folder the reader may not write leaves SQLite no room for the -shm file of a WAL
    // database: it cannot open it, or says the folder is read-only (another user's folder,
    // one after chmod a-w), or that the -shm file there cannot be set up.
    const bool noRoomForShm = (*code & 0xFF) == SQLITE_CANTOPEN ||
                              *code == SQLITE_READONLY_DIRECTORY ||
                              *code == SQLITE_READONLY_CANTINIT;
    if (!noRoomForShm || logWaits) {
        return SqliteDb();
    }
    *uri = FileUri(path, "immutable=1");
    db = OpenDatabaseUri(*uri, busyTimeoutMs, code, message);
    return db && FirstRead(db.get(), code, message) ? std::move(db) : SqliteDb();
}

bool MayOpenForReading(int code) {
    return (code & 0xFF) == SQLITE_READONLY || (code & 0xFF) == SQLITE_CANTOPEN;
}
