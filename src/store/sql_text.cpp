#include "store/sql_text.h"

#include <cstdio>

#include "base/calendar.h"

namespace {

bool ParseDecimal(std::string_view text, int* value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

// Parses the inside of a date literal, "Y-M-D", into an ISO date text.
bool LiteralToIso(std::string_view inside, std::string* iso) {
    const std::size_t first = inside.find('-');
    const std::size_t second =
        first == std::string_view::npos ? first : inside.find('-', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    if (!ParseDecimal(inside.substr(0, first), &year) ||
        !ParseDecimal(inside.substr(first + 1, second - first - 1), &month) ||
        !ParseDecimal(inside.substr(second + 1), &day) || !IsCalendarDate(year, month, day)) {
        return false;
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    *iso = buffer;
    return true;
}

}  // namespace

std::string SqlEscape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        out.push_back(c);
        if (c == '\'') {
            out.push_back('\'');
        }
    }
    return out;
}

std::string AccessDateLiteral(const AccessDate& date) {
    return "#" + std::to_string(date.year) + "-" + std::to_string(date.month) + "-" +
           std::to_string(date.day) + "#";
}

bool TranslateAccessSql(std::string_view access, std::string* sqlite, std::string* error) {
    sqlite->clear();
    sqlite->reserve(access.size());
    bool inQuotes = false;
    std::size_t pos = 0;
    while (pos < access.size()) {
        const char c = access[pos];
        if (c == '\'') {
            // A doubled apostrophe inside a value toggles twice and stays inside.
            inQuotes = !inQuotes;
        } else if (c == '#' && !inQuotes) {
            const std::size_t close = access.find('#', pos + 1);
            std::string iso;
            if (close == std::string_view::npos ||
                !LiteralToIso(access.substr(pos + 1, close - pos - 1), &iso)) {
                const std::size_t end = close == std::string_view::npos ? access.size() : close + 1;
                *error = "invalid date literal " + std::string(access.substr(pos, end - pos));
                return false;
            }
            sqlite->push_back('\'');
            *sqlite += iso;
            sqlite->push_back('\'');
            pos = close + 1;
            continue;
        }
        sqlite->push_back(c);
        ++pos;
    }
    return true;
}
