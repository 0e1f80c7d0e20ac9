#include "base/utc_time.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "base/ascii.h"
#include "base/calendar.h"

namespace {

using std::chrono::seconds;

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int MonthNumber(std::string_view name) {
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (EqualsIgnoreAsciiCase(name, kMonths[i])) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

std::optional<TimePoint> FromFields(int year, int month, int day, int hour, int minute,
                                    int second) {
    if (!IsCalendarDate(year, month, day) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 60) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

// Reads the whole of `text` with the scanf `format`, which ends in %n: fields it fills and
// nothing left over.
template <typename... Fields>
bool ScanWhole(const std::string& text, const char* format, Fields*... fields) {
    int consumed = -1;
    const int filled = std::sscanf(text.c_str(), format, fields..., &consumed);
    return filled == static_cast<int>(sizeof...(Fields)) && consumed >= 0 &&
           static_cast<std::size_t>(consumed) == text.size();
}

}  // namespace

std::string UtcTimeText(TimePoint moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::optional<TimePoint> ParseUtcTimeText(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() != 20 || !ScanWhole(std::string(text), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &year,
                                        &month, &day, &hour, &minute, &second)) {
        return std::nullopt;
    }
    return FromFields(year, month, day, hour, minute, second);
}

std::optional<TimePoint> ParseHttpDate(std::string_view view) {
    const std::string text(view);
    char weekday[16] = {};
    char month[4] = {};
    int year = 0, day = 0, hour = 0, minute = 0, second = 0;
    // IMF-fixdate, the form servers send today.
    if (ScanWhole(text, "%3[A-Za-z], %2d %3[A-Za-z] %4d %2d:%2d:%2d GMT%n", weekday, &day, month,
                  &year, &hour, &minute, &second)) {
        return FromFields(year, MonthNumber(month), day, hour, minute, second);
    }
    // RFC 850, with a two-digit year: those before 70 are taken as this century's.
    if (ScanWhole(text, "%15[A-Za-z], %2d-%3[A-Za-z]-%2d %2d:%2d:%2d GMT%n", weekday, &day, month,
                  &year, &hour, &minute, &second)) {
        return FromFields(year + (year < 70 ? 2000 : 1900), MonthNumber(month), day, hour, minute,
                          second);
    }
    // The C library's asctime form.
    if (ScanWhole(text, "%3[A-Za-z] %3[A-Za-z] %2d %2d:%2d:%2d %4d%n", weekday, month, &day, &hour,
                  &minute, &second, &year)) {
        return FromFields(year, MonthNumber(month), day, hour, minute, second);
    }
    return std::nullopt;
}

std::optional<TimePoint> RetryAfterTime(std::string_view value, TimePoint now) {
    const std::size_t digits = value.find_first_not_of("0123456789");
    if (!value.empty() && digits == std::string_view::npos) {
        // A delay of more than eight digits (three years) is read as eight nines, so that
        // the moment stays within the clock's range.
        long long delay = 0;
        for (char c : value.substr(0, 8)) {
            delay = delay * 10 + (c - '0');
        }
        return now + seconds(value.size() > 8 ? 99'999'999LL : delay);
    }
    return ParseHttpDate(value);
}
