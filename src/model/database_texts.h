#pragma once

#include <string>
#include <string_view>

// What the user reads when a statement on the database, or opening it, failed: what happened
// and what to do, worded from the SQLite result code of the connection's or recordset's error
// text (FormatAdoError). The error text itself, a dump of codes, is never shown.

// What kind of failure an SQLite result code (extended or primary) is: the wording of every
// message about a failed statement starts from this one grouping.
enum class DatabaseTrouble {
    kDiskFull,
    kBusy,  // SQLITE_BUSY or SQLITE_LOCKED: another connection holds the lock
    kReadOnly,
    kDamaged,
    kNoAccess,  // the file cannot be opened, or permission is refused
    kDiskError,
    kNoMemory,
    kOther
};
DatabaseTrouble DatabaseTroubleOf(int sqliteCode);

// In Chinese, for the window: "磁盘已满，新闻无法存入数据库。请……".
std::string DatabaseFailureText(std::string_view adoError);
// In plain English, for quillon-cli: "the disk is full: free some space, then ...".
std::string DatabaseFailureEnglish(std::string_view adoError);

// A size in bytes as the window shows it: "512 字节", "830.0 KB", "12.5 MB", "2.9 GB" (units of
// 1024); a negative size reads as 0.
std::string ByteSizeText(long long bytes);
