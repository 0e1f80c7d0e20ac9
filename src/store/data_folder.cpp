#include "store/data_folder.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/atomic_file.h"
#include "store/database_file.h"
#include "store/schema.h"
#include "store/search_index.h"
#include "store/sqlite_handle.h"

namespace fs = std::filesystem;

namespace {

// Where each template file goes in the data folder. The database is made from the schema
// built into the program; the template's schema.sql marks a folder as a template.
struct TemplateFile {
    const char* templateName;
    const char* folderName;
};
constexpr TemplateFile kTemplateFiles[] = {
    {"sysdata.dat", "data/sysdata.dat"},
    {"services.conf", "data/services.conf"},
    {"document/keywordlist.xml", "document/keywordlist.xml"},
};
constexpr char kSchemaName[] = "schema.sql";
constexpr char kDatabaseName[] = "data/data.dat";
constexpr const char* kTables[] = {"channel", "item", "opml"};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeDirectory() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        home = found->pw_dir;
    }
    return home;
}

bool HoldsTemplate(const fs::path& folder) {
    std::error_code error;
    return !folder.empty() && fs::is_regular_file(folder / kSchemaName, error);
}

bool IsInside(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    const fs::path base = fs::weakly_canonical(folder, error);
    if (error) {
        return false;
    }
    const fs::path relative = path.lexically_relative(base);
    return !relative.empty() && *relative.begin() != "..";
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return contents.str();
}

DataFolderStatus Fault(DataFolderFault fault, const fs::path& path, std::string detail = {}) {
    return {fault, path.string(), std::move(detail)};
}

// The names of the tables of `db`, lowered; false, with SQLite's result code and message,
// when the catalogue cannot be read.
bool ReadTableNames(sqlite3* db, std::set<std::string>* tables, int* code, std::string* message) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, "SELECT lower(name) FROM sqlite_master WHERE type = 'table'", -1, &raw,
                       nullptr);
    const SqliteStatement statement(raw);
    int step = statement ? SQLITE_ROW : SQLITE_ERROR;
    while (statement && (step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        tables->insert(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    }
    if (step != SQLITE_DONE) {
        *code = sqlite3_extended_errcode(db);
        *message = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

// The tables of the program that the database at `path` lacks, or a fault when it is empty,
// cannot be read as a database at all, is kept locked by another program for longer than
// `busyTimeoutMs`, or cannot be written and `use` needs it to. Changes nothing in it. It is
// opened for writing all the same (never created): the last connection to close a WAL
// database removes its -wal and -shm files, a read-only one would leave them behind.
DataFolderStatus CheckDatabase(const fs::path& path, DatabaseUse use, int busyTimeoutMs) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        return Fault(DataFolderFault::kDatabaseUnreadable, path, "it is a folder");
    }
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) {
        return Fault(DataFolderFault::kDatabaseInaccessible, path, error.message());
    }
    if (size == 0) {
        return Fault(DataFolderFault::kDatabaseEmpty, path);
    }
    sqlite3* raw = nullptr;
    int code = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const SqliteDb db(raw);
    std::string message = db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(code);
    if (db) {
        sqlite3_extended_result_codes(db.get(), 1);
        sqlite3_busy_timeout(db.get(), busyTimeoutMs);
    }
    std::set<std::string> tables;
    bool read = code == SQLITE_OK && ReadTableNames(db.get(), &tables, &code, &message);
    bool writable = read && sqlite3_db_readonly(db.get(), "main") != 1;
    if (!read && MayOpenForReading(code)) {
        // A write-protected folder keeps SQLite from reading a WAL file for writing.
        std::string uri;
        int readCode = SQLITE_OK;
        std::string readMessage;
        const SqliteDb reading =
            OpenDatabaseForReading(path.string(), busyTimeoutMs, &uri, &readCode, &readMessage);
        read = reading && ReadTableNames(reading.get(), &tables, &readCode, &readMessage);
        writable = false;
    }
    if (!read) {
        return Fault(DatabaseFaultOf(code), path, message);
    }
    if (!writable && use == DatabaseUse::kReadWrite) {
        return Fault(DataFolderFault::kDatabaseReadOnly, path,
                     "the file or its folder is write-protected");
    }
    std::string missing;
    for (const char* table : kTables) {
        if (!tables.contains(table)) {
            missing += (missing.empty() ? "" : ", ") + std::string(table);
        }
    }
    return missing.empty() ? DataFolderStatus()
                           : Fault(DataFolderFault::kDatabaseLacksTables, path, missing);
}

DataFolderStatus MakeFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (!error && !fs::is_directory(folder, error)) {
        error = std::make_error_code(std::errc::not_a_directory);
    }
    return error ? Fault(DataFolderFault::kCannotCreateFolder, folder, error.message())
                 : DataFolderStatus();
}

// The contents of a template file, or the kNoTemplate fault for `target`, which needs it.
std::optional<std::string> ReadTemplate(const fs::path& templateFolder, const char* name,
                                        const fs::path& target, DataFolderStatus* status) {
    if (templateFolder.empty()) {
        *status = Fault(DataFolderFault::kNoTemplate, target, "no data template is installed");
        return std::nullopt;
    }
    std::optional<std::string> contents = ReadWholeFile(templateFolder / name);
    if (!contents) {
        *status = Fault(DataFolderFault::kNoTemplate, target,
                        (templateFolder / name).string() + " cannot be read");
    }
    return contents;
}

DataFolderStatus PlaceFile(const fs::path& target, std::string_view contents) {
    std::string error;
    if (CreateFileAtomically(target.string(), contents, &error) == NewFileResult::kFailed) {
        return Fault(DataFolderFault::kCannotWriteFile, target, error);
    }
    return {};
}

// The bytes of a new database built from `schema` in memory; a fault names `target`.
std::optional<std::string> BuildDatabase(const std::string& schema, const fs::path& target,
                                         DataFolderStatus* status) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const SqliteDb db(raw);
    std::string installFailure;
    if (db && !InstallSearchIndex(db.get(), &installFailure)) {
        *status = Fault(DataFolderFault::kCannotWriteFile, target, "schema: " + installFailure);
        return std::nullopt;
    }
    char* message = nullptr;
    if (!db || sqlite3_exec(db.get(), schema.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::unique_ptr<char, decltype(&sqlite3_free)> owned(message, sqlite3_free);
        *status = Fault(DataFolderFault::kCannotWriteFile, target,
                        std::string("schema: ") + (message ? message : "out of memory"));
        return std::nullopt;
    }
    // An in-memory database has no WAL; the connection switches the file to WAL on its first
    // open.
    sqlite3_int64 size = 0;
    const std::unique_ptr<unsigned char, decltype(&sqlite3_free)> bytes(
        sqlite3_serialize(db.get(), "main", &size, 0), sqlite3_free);
    if (!bytes) {
        *status = Fault(DataFolderFault::kCannotWriteFile, target, "out of memory");
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(bytes.get()), static_cast<std::size_t>(size));
}

// Built from the schema compiled into the program, so that a new file carries the schema
// version the connection expects whatever the template holds.
DataFolderStatus CreateDatabase(const fs::path& target) {
    DataFolderStatus status;
    const std::optional<std::string> bytes = BuildDatabase(kSchemaSql, target, &status);
    return bytes ? PlaceFile(target, *bytes) : status;
}

}  // namespace

std::string DefaultDataFolder() {
    const std::string chosen = Environment("QUILLON_DATA");
    if (!chosen.empty()) {
        return AbsoluteFolder(chosen);
    }
    const std::string dataHome = Environment("XDG_DATA_HOME");
    if (!dataHome.empty() && fs::path(dataHome).is_absolute()) {
        return (fs::path(dataHome) / "quillon").string();
    }
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : (fs::path(home) / ".local/share/quillon").string();
}

std::string AbsoluteFolder(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string FindDataTemplate(const std::string& executable) {
    std::error_code error;
    const fs::path program = fs::weakly_canonical(executable, error);
    // Without the program's own place only the configured share directory is left: a path
    // relative to the current directory would depend on where the program was started.
    if (!error && program.is_absolute()) {
        const fs::path installed =
            (program.parent_path() / QUILLON_TEMPLATE_FROM_BINDIR).lexically_normal();
        if (HoldsTemplate(installed)) {
            return installed.string();
        }
        if (IsInside(program, QUILLON_BUILD_DIR) && HoldsTemplate(QUILLON_SOURCE_TEMPLATE)) {
            return QUILLON_SOURCE_TEMPLATE;
        }
    }
    if (HoldsTemplate(QUILLON_INSTALLED_TEMPLATE)) {
        return QUILLON_INSTALLED_TEMPLATE;
    }
    return {};
}

std::string FindDataTemplate() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return FindDataTemplate(error ? std::string() : program.string());
}

DataFolderStatus LayOutDataFolder(const std::string& folder, const std::string& templateFolder,
                                  DatabaseUse use, int busyTimeoutMs) {
    if (folder.empty()) {
        return Fault(DataFolderFault::kNoFolder, folder);
    }
    const fs::path root(folder);
    const fs::path database = root / kDatabaseName;
    // The user's database is checked before anything is written, so a refused folder stays
    // exactly as it was.
    const bool hasDatabase = Exists(database);
    if (hasDatabase) {
        if (DataFolderStatus status = CheckDatabase(database, use, busyTimeoutMs); !status.Ok()) {
            return status;
        }
    }
    for (const fs::path& sub : {root, root / "data", root / "document"}) {
        if (DataFolderStatus status = MakeFolder(sub); !status.Ok()) {
            return status;
        }
    }
    for (const TemplateFile& file : kTemplateFiles) {
        const fs::path target = root / file.folderName;
        if (Exists(target)) {
            continue;
        }
        DataFolderStatus status;
        const std::optional<std::string> contents =
            ReadTemplate(templateFolder, file.templateName, target, &status);
        if (!contents) {
            return status;
        }
        if (status = PlaceFile(target, *contents); !status.Ok()) {
            return status;
        }
    }
    return hasDatabase ? DataFolderStatus() : CreateDatabase(database);
}

DataFolderFault DatabaseFaultOf(int code) {
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DataFolderFault::kDatabaseBusy;
        case SQLITE_READONLY:
            return DataFolderFault::kDatabaseReadOnly;
        case SQLITE_NOTFOUND:
            return DataFolderFault::kDatabaseLacksTables;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_IOERR:
            return DataFolderFault::kDatabaseInaccessible;
        default:
            return DataFolderFault::kDatabaseUnreadable;
    }
}

std::string DescribeDataFolderStatus(const DataFolderStatus& status) {
    const std::string& path = status.path;
    const std::string& detail = status.detail;
    constexpr char kLeft[] = "; it is left as it is: move it away to start a new database";
    constexpr char kHealthy[] = "; the file itself is left as it is";
    switch (status.fault) {
        case DataFolderFault::kNone:
            return "the data folder is ready";
        case DataFolderFault::kNoFolder:
            return "no data folder: set QUILLON_DATA or HOME";
        case DataFolderFault::kCannotCreateFolder:
            return "cannot create the folder " + path + ": " + detail;
        case DataFolderFault::kNoTemplate:
            return "cannot create " + path + ": " + detail;
        case DataFolderFault::kCannotWriteFile:
            return "cannot write " + path + ": " + detail;
        case DataFolderFault::kDatabaseEmpty:
            return "the database " + path + " is empty (0 bytes)" + kLeft;
        case DataFolderFault::kDatabaseUnreadable:
            return "the database " + path + " cannot be read: " + detail + kLeft;
        case DataFolderFault::kDatabaseLacksTables:
            return "the database " + path + " lacks the tables " + detail + kLeft;
        case DataFolderFault::kDatabaseBusy:
            return "the database " + path +
                   " is in use by another program, which kept it locked (" + detail +
                   "): close that program, or wait until it is done, and try again" + kHealthy;
        case DataFolderFault::kDatabaseReadOnly:
            return "the database " + path + " can only be read (" + detail +
                   "): no news can be stored in it until it and its folder may be written" +
                   kHealthy;
        case DataFolderFault::kDatabaseInaccessible:
            return "the database " + path + " cannot be opened (" + detail +
                   "): check that you may read and write it and its folder" + kHealthy;
    }
    return {};
}
