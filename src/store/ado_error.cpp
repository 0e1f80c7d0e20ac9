#include "store/ado_error.h"

#include <sqlite3.h>

#include <cstdio>

std::string FormatAdoError(int sqliteCode, std::string_view description) {
    char code[16];
    std::snprintf(code, sizeof code, "%08x", static_cast<unsigned>(sqliteCode));
    std::string text = "Code=";
    text += code;
    text += " Message=";
    text += sqlite3_errstr(sqliteCode);
    text += " Source=SQLite Description=";
    text += description;
    return text;
}
