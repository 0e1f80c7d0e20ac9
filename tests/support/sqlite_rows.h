#pragma once

#include <string>
#include <vector>

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

// Runs `sql` on the database file at `path` with SQLite directly (not through the program's
// connection) and returns every row as text; NULL reads as "NULL". Fails the test on error.
Rows QueryRows(const std::string& path, const std::string& sql);
// Runs statements that return nothing. Fails the test on error.
void ExecSql(const std::string& path, const std::string& sql);
