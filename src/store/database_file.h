#pragma once

#include <string>

#include "store/sqlite_handle.h"

// Opening the feed database file without writing to it, for those that only read it (the
// command-line tool's list and export) when it cannot be written: the file, or the folder
// that holds it, is write-protected.

// Opens the existing database file at `path` for reading only: in SQLite's read-only mode,
// or, where that cannot work (a write-protected folder has no room for the -shm file of a
// WAL database) and no write-ahead log waits beside the file, as an immutable file. The
// handle has been read once, so a file it cannot read fails here. `uri` receives the address
// it was opened by, for further handles; on failure `code` and `message` say why.
SqliteDb OpenDatabaseForReading(const std::string& path, int busyTimeoutMs, std::string* uri,
                                int* code, std::string* message);

// Opens a further handle on the address OpenDatabaseForReading gave.
SqliteDb OpenDatabaseUri(const std::string& uri, int busyTimeoutMs, int* code,
                         std::string* message);

// Whether a file that fails to open for writing with `code` may still open for reading: it,
// or its folder, cannot be written.
bool MayOpenForReading(int code);
