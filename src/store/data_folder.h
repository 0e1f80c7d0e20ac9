#pragma once

#include <string>

// The data folder holds everything the programs keep between runs: data/data.dat,
// data/sysdata.dat, data/services.conf and document/keywordlist.xml. The programs find it
// from the environment and lay it out from a template the first time.

// The folder the environment names: $QUILLON_DATA, else $XDG_DATA_HOME/quillon, else
// ~/.local/share/quillon ($HOME, else the home directory of the user's account). An empty
// variable counts as unset; a relative $QUILLON_DATA is taken from the current directory; a
// relative $XDG_DATA_HOME is ignored, as the XDG base directory rules ask. Empty when no
// home directory can be found.
std::string DefaultDataFolder();

// `path` made absolute against the current directory (a folder given on a command line).
std::string AbsoluteFolder(const std::string& path);

// The template a new data folder is laid out from (schema.sql, sysdata.dat, services.conf,
// document/keywordlist.xml), for the program at `executable`, in this order:
//  1. the installed template beside the program's bin directory (`share/quillon` of the
//     prefix it was installed into, wherever that prefix now is);
//  2. the repository's data/ when the program lies in the build tree it was built in;
//  3. the share directory of the prefix the build was configured for.
// The first folder that holds schema.sql wins; empty when none does. Only the third is
// tried when `executable` is empty or cannot be resolved.
std::string FindDataTemplate(const std::string& executable);
// The same for the running program.
std::string FindDataTemplate();

enum class DataFolderFault {
    kNone,
    kNoFolder,              // no folder was named and no home directory was found
    kCannotCreateFolder,    // a folder could not be made, or a file stands in its place
    kNoTemplate,            // a file is missing and the template cannot provide it
    kCannotWriteFile,       // a missing file could not be written from the template
    kDatabaseEmpty,         // data/data.dat exists and holds 0 bytes
    kDatabaseUnreadable,    // data/data.dat exists but is not an SQLite database
    kDatabaseLacksTables,   // data/data.dat lacks one of channel, item, opml
    kDatabaseBusy,          // another program kept data/data.dat locked while it was tried
    kDatabaseReadOnly,      // data/data.dat, or its folder, cannot be written
    kDatabaseInaccessible,  // data/data.dat cannot be opened at all (permissions)
};

// What laying out a data folder came to. `path` is the file or folder concerned; `detail`
// the system's or SQLite's reason, or the missing tables' names; both empty for kNone.
struct DataFolderStatus {
    DataFolderFault fault = DataFolderFault::kNone;
    std::string path;
    std::string detail;

    bool Ok() const { return fault == DataFolderFault::kNone; }
};

// What the program that lays a folder out does with the database.
enum class DatabaseUse {
    kReadWrite,  // stores news: a database that cannot be written is refused
    kReadOnly,   // only reads (the tool's list, search, export): a write-protected one will do
};

// Lays out `folder` from `templateFolder`: makes the folder with data/ and document/, copies
// the template's files that are missing, and creates data/data.dat from schema.sql when it
// is missing. A file that exists is never touched, and each new file appears whole or not
// at all, so two programs starting at once do not disturb each other. An existing
// data/data.dat that is empty, not a database or lacking a table is refused before anything
// is written: it is the user's data, never rebuilt. One that another program keeps locked
// for longer than `busyTimeoutMs`, or (for kReadWrite) one that cannot be written, is refused
// as what it is: a healthy file.
DataFolderStatus LayOutDataFolder(const std::string& folder, const std::string& templateFolder,
                                  DatabaseUse use = DatabaseUse::kReadWrite,
                                  int busyTimeoutMs = 5'000);

// The fault an open of data/data.dat that failed with the SQLite result `code` comes to
// (see CAdoConnection::OpenFailureCode); kDatabaseUnreadable for a code of no other fault.
DataFolderFault DatabaseFaultOf(int code);

// One English sentence for the status, with its path and detail (for the command line). Only
// a file that is no database is advised to be moved away.
std::string DescribeDataFolderStatus(const DataFolderStatus& status);
