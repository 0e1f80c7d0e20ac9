#include "model/news_age.h"

#include "base/calendar.h"
#include "base/clock.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>

namespace {

// Indexed by NewsAge value.
constexpr std::array<std::string_view, kNewsAgeCount> kCategoryNames = {
    "早期新闻", "今日新闻", "昨日新闻", "本周新闻", "上周新闻", "本月新闻", "上月新闻", "今年新闻",
};

constexpr char kDateFormat[] = "%y年%m月%d日";
constexpr std::string_view kInvalidDateText = "Invalid DateTime";

struct CalendarDate {
    int year;
    int month;
    int day;
};

bool IsCategory(NewsAge age) {
    return age >= 0 && age < kNewsAgeCount;
}

int DaysInYear(int year) {
    return IsLeapYear(year) ? 366 : 365;
}

// DaysSince against a given today, so that one category is judged on a single reading of
// the clock even when midnight passes during the call.
int DaysSinceOn(const CalendarTime& today, int year, int month, int day) {
    if (year == today.year && month <= today.month) {
        int days = today.day - day;
        // Months outside 1-12 have no days; starting at 1 keeps a wild month from looping.
        for (int m = std::max(month, 1); m < today.month; ++m) {
            days += DaysInMonth(m, year);
        }
        return days;
    }
    if (year == today.year - 1 && month == 12 && today.month == 1) {
        return today.day - day + 31;
    }
    return -1;
}

// Whether the real calendar date lies after today.
bool IsAhead(const CalendarTime& today, int year, int month, int day) {
    if (!IsCalendarDate(year, month, day)) {
        return false;
    }
    if (year != today.year) {
        return year > today.year;
    }
    return month != today.month ? month > today.month : day > today.day;
}

NewsAge AgeCategoryOn(const CalendarTime& today, int year, int month, int day) {
    const int d = DaysSinceOn(today, year, month, day);
    const int w = today.weekday;
    // An item dated ahead (a source's clock, a zone east of ours) is news of today: the list
    // puts it at the top, where "early" would make no sense.
    if (d == 0 || IsAhead(today, year, month, day)) {
        return kNewsAgeToday;
    }
    // Every rule below needs d >= 0, since w >= 0 and today.day >= 1.
    if (d < 0) {
        return kNewsAgeEarly;
    }
    if (d == 1) {
        return kNewsAgeYesterday;
    }
    if (d < w) {
        return kNewsAgeThisWeek;
    }
    if (d < w + 7) {
        return kNewsAgeLastWeek;
    }
    if (d < today.day) {
        return kNewsAgeThisMonth;
    }
    // The window is as long as the item's own month, not the month before today's: an item
    // two months back can still count as last month when the month between is short.
    const int itemMonthDays = DaysInMonth(month, year);
    if (d < itemMonthDays + today.day) {
        return kNewsAgeLastMonth;
    }
    return year == today.year ? kNewsAgeThisYear : kNewsAgeEarly;
}

// The first month at or before `month` whose length exceeds `remainder`, each month passed
// over taking its length off; gives the day `length - remainder` of that month. The caller
// guarantees the remainder runs out before month 1 does.
CalendarDate WalkMonthsBack(int year, int month, int remainder) {
    while (remainder >= DaysInMonth(month, year)) {
        remainder -= DaysInMonth(month, year);
        --month;
    }
    return {year, month, DaysInMonth(month, year) - remainder};
}

CalendarDate DateDaysBeforeOn(const CalendarTime& today, int n) {
    int dayOfYear = today.day - 1;
    for (int m = 1; m < today.month; ++m) {
        dayOfYear += DaysInMonth(m, today.year);
    }
    if (n <= dayOfYear) {
        if (n < today.day) {
            return {today.year, today.month, today.day - n};
        }
        return WalkMonthsBack(today.year, today.month - 1, n - today.day);
    }
    // Counted back from 31 December of last year, whole years first.
    int remainder = n - dayOfYear - 1;
    int year = today.year - 1;
    while (remainder >= DaysInYear(year)) {
        remainder -= DaysInYear(year);
        --year;
    }
    return WalkMonthsBack(year, 12, remainder);
}

}  // namespace

int DaysSince(int year, int month, int day) {
    return DaysSinceOn(LocalNow(), year, month, day);
}

NewsAge AgeCategory(int year, int month, int day) {
    return AgeCategoryOn(LocalNow(), year, month, day);
}

void AgeCategoryName(int year, int month, int day, char* out) {
    const std::string_view name = AgeCategoryNameOf(AgeCategory(year, month, day));
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
}

std::string_view AgeCategoryNameOf(NewsAge age) {
    return kCategoryNames[IsCategory(age) ? age : kNewsAgeEarly];
}

int CategoryColourSlot(NewsAge age) {
    if (!IsCategory(age) || age == kNewsAgeEarly) {
        return kNewsAgeCount - 1;
    }
    return age - 1;
}

void DateDaysBefore(int n, int* year, int* month, int* day) {
    const CalendarDate date = DateDaysBeforeOn(LocalNow(), std::max(n, 0));
    *year = date.year;
    *month = date.month;
    *day = date.day;
}

AccessDate CleanCutoffDay(int n) {
    AccessDate day;
    DateDaysBefore(n, &day.year, &day.month, &day.day);
    return day;
}

std::string NewsDateText(int year, int month, int day, int status) {
    if (status == kNewsDateNull) {
        return {};
    }
    if (status != kNewsDateValid) {
        return std::string(kInvalidDateText);
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, kDateFormat, &tm);
    return std::string(text, length);
}
