#include "feeds/feed_date.h"

#include <string>

#include "store/text_util.h"

namespace {

struct MonthKey {
    std::string_view key;
    int month;
};

// Exact, case-sensitive keys.
constexpr MonthKey kMonthMap[] = {
    {"Jan", 1}, {"Feb", 2}, {"Mar", 3}, {"Apr", 4},  {"May", 5},  {"Jun", 6},
    {"Jul", 7}, {"Aug", 8}, {"Sep", 9}, {"Oct", 10}, {"Nov", 11}, {"Dec", 12},
    {"01", 1},  {"02", 2},  {"03", 3},  {"04", 4},   {"05", 5},   {"06", 6},
    {"07", 7},  {"08", 8},  {"09", 9},  {"10", 10},  {"11", 11},  {"12", 12},
};

int MonthOf(std::string_view token) {
    for (const MonthKey& entry : kMonthMap) {
        if (entry.key == token) {
            return entry.month;
        }
    }
    return 0;
}

// Reads characters from `pos` up to `stop`; false when the text ends first.
bool ReadToken(std::string_view text, std::size_t* pos, char stop, std::string_view* token) {
    if (*pos > text.size()) {
        return false;
    }
    const std::size_t end = text.find(stop, *pos);
    if (end == std::string_view::npos) {
        return false;
    }
    *token = text.substr(*pos, end - *pos);
    *pos = end + 1;
    return true;
}

// Hour, minute and second, common to both forms.
bool ReadTime(std::string_view text, std::size_t pos, CFeedDate* date) {
    std::string_view token;
    if (!ReadToken(text, &pos, ':', &token)) {
        return false;
    }
    date->hour = ParseLeadingInt(token);
    if (!ReadToken(text, &pos, ':', &token)) {
        return false;
    }
    date->minute = ParseLeadingInt(token);
    date->second = pos <= text.size() ? ParseLeadingInt(text.substr(pos)) : 0;
    return true;
}

bool ParseRfc822(std::string_view text, std::size_t comma, CFeedDate* date) {
    std::size_t pos = comma + 2;  // the "," and the blank after it
    std::string_view token;
    if (!ReadToken(text, &pos, ' ', &token)) {
        return false;
    }
    date->day = ParseLeadingInt(token);
    if (!ReadToken(text, &pos, ' ', &token)) {
        return false;
    }
    date->month = MonthOf(token);
    if (!ReadToken(text, &pos, ' ', &token)) {
        return false;
    }
    date->year = ParseLeadingInt(token);
    return ReadTime(text, pos, date);
}

bool ParseDashed(std::string_view text, std::size_t dash, CFeedDate* date) {
    date->year = ParseLeadingInt(text.substr(0, dash));
    std::size_t pos = dash + 1;
    std::string_view token;
    if (!ReadToken(text, &pos, '-', &token)) {
        return false;
    }
    date->month = MonthOf(token);
    if (!ReadToken(text, &pos, ' ', &token)) {
        return false;
    }
    date->day = ParseLeadingInt(token);
    return ReadTime(text, pos, date);
}

}  // namespace

CFeedDate ParseFeedDate(std::string_view text) {
    const std::size_t first = text.find_first_of(",-");
    if (first == std::string_view::npos) {
        return CFeedDate();
    }
    CFeedDate date;
    const bool complete =
        text[first] == ',' ? ParseRfc822(text, first, &date) : ParseDashed(text, first, &date);
    return complete ? date : CFeedDate();
}
