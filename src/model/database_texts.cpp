#include "model/database_texts.h"

#include <sqlite3.h>

#include <cstdio>
#include <iterator>

#include "store/ado_error.h"

DatabaseTrouble DatabaseTroubleOf(int sqliteCode) {
    switch (sqliteCode & 0xFF) {
        case SQLITE_FULL:
            return DatabaseTrouble::kDiskFull;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DatabaseTrouble::kBusy;
        case SQLITE_READONLY:
            return DatabaseTrouble::kReadOnly;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return DatabaseTrouble::kDamaged;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return DatabaseTrouble::kNoAccess;
        case SQLITE_IOERR:
            return DatabaseTrouble::kDiskError;
        case SQLITE_NOMEM:
            return DatabaseTrouble::kNoMemory;
        default:
            return DatabaseTrouble::kOther;
    }
}

std::string DatabaseFailureText(std::string_view adoError) {
    const AdoErrorParts parts = ParseAdoError(adoError);
    switch (DatabaseTroubleOf(parts.code)) {
        case DatabaseTrouble::kDiskFull:
            return "磁盘已满，新闻无法存入数据库。请删除不需要的文件，腾出磁盘空间后再更新。";
        case DatabaseTrouble::kBusy:
            return "数据库正被另一个程序锁定，暂时无法写入。请关闭那个程序或稍等片刻后再试。";
        case DatabaseTrouble::kReadOnly:
            return "数据库只能读取，不能写入。请为数据文件夹及其中的 data/data.dat "
                   "开放写入权限后再试。";
        case DatabaseTrouble::kDamaged:
            return "数据库文件已损坏，无法继续使用。请关闭程序，把数据文件夹中的 data/data.dat "
                   "移到别处后重新启动，程序会建立新的数据库。";
        case DatabaseTrouble::kNoAccess:
            return "无法打开数据库文件。请检查您对数据文件夹及其中文件的读写权限。";
        case DatabaseTrouble::kDiskError:
            return "读写磁盘时出错，数据库操作没有完成。请检查磁盘后再试。";
        case DatabaseTrouble::kNoMemory:
            return "内存不足，数据库操作没有完成。请关闭其他程序后再试。";
        case DatabaseTrouble::kOther:
            break;
    }
    return "数据库操作没有完成（错误代码 " + std::to_string(parts.code) +
           "）。请再试一次；如果一再出现，请检查数据文件夹。";
}

std::string DatabaseFailureEnglish(std::string_view adoError) {
    const AdoErrorParts parts = ParseAdoError(adoError);
    switch (DatabaseTroubleOf(parts.code)) {
        case DatabaseTrouble::kDiskFull:
            return "the disk is full: free some space, then run the command again";
        case DatabaseTrouble::kBusy:
            return "another program keeps the database locked: close it or wait a moment, then "
                   "try again";
        case DatabaseTrouble::kReadOnly:
            return "the database can only be read: allow writing to the data folder and its "
                   "data/data.dat, then try again";
        case DatabaseTrouble::kDamaged:
            return "the database file is damaged: move data/data.dat out of the data folder, and "
                   "a new database is made at the next start";
        case DatabaseTrouble::kNoAccess:
            return "the database cannot be opened: check that you may read and write the data "
                   "folder and its files";
        case DatabaseTrouble::kDiskError:
            return "reading or writing the disk failed: check the disk, then try again";
        case DatabaseTrouble::kNoMemory:
            return "out of memory: close other programs, then try again";
        case DatabaseTrouble::kOther:
            break;
    }
    return "the database could not do it (SQLite error " + std::to_string(parts.code) +
           "): try again, and if it keeps happening, check the data folder";
}

std::string ByteSizeText(long long bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes < 0 ? 0 : bytes) + " 字节";
    }
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}
