#include "store/ado_error.h"

#include <sqlite3.h>

#include <charconv>
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

AdoErrorParts ParseAdoError(std::string_view text) {
    constexpr std::string_view kCode = "Code=";
    constexpr std::string_view kDescription = " Source=SQLite Description=";
    const std::size_t described = text.find(kDescription);
    unsigned code = 0;
    const char* digits = text.data() + kCode.size();
    if (!text.starts_with(kCode) || described == std::string_view::npos ||
        text.size() < kCode.size() + 8 ||
        std::from_chars(digits, digits + 8, code, 16).ptr != digits + 8) {
        return {SQLITE_ERROR, std::string(text)};
    }
    return {static_cast<int>(code), std::string(text.substr(described + kDescription.size()))};
}
