#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/sql_text.h"

// The age of a news item on the local calendar: day counting, the category of a date, the
// category names and colour slots, the date n days before today and the date text shown to
// the user.
//
// "Today" is always LocalNow() from base/clock.h, read afresh on every call, so a test fixes
// it with ScopedFixedClock. Only the local year, month, day and day of the week enter the
// rules; the time of day never does.
//
// Dates are three ints: year (four digits), month 1-12, day 1-31. A date that is not valid is
// passed as -1, -1, -1. Other impossible dates are not rejected: the arithmetic below simply
// runs on the numbers given.

// The age category of a date. The values are stored and compared as they are, so they must
// not change.
using NewsAge = std::int8_t;

constexpr NewsAge kNewsAgeEarly = 0;  // everything else, including dates that cannot be judged
constexpr NewsAge kNewsAgeToday = 1;
constexpr NewsAge kNewsAgeYesterday = 2;
constexpr NewsAge kNewsAgeThisWeek = 3;
constexpr NewsAge kNewsAgeLastWeek = 4;
constexpr NewsAge kNewsAgeThisMonth = 5;
constexpr NewsAge kNewsAgeLastMonth = 6;
constexpr NewsAge kNewsAgeThisYear = 7;
constexpr int kNewsAgeCount = 8;

// Every category name is four Chinese characters: 12 bytes of UTF-8 plus the NUL.
constexpr std::size_t kAgeCategoryNameSize = 13;

// The status that comes with a date read from the database.
constexpr int kNewsDateValid = 0;
constexpr int kNewsDateInvalid = 1;
constexpr int kNewsDateNull = 2;

// Days from the given date to today, counted only where the categories need it: for a date of
// the current year in a month up to the current one (negative for a later day of the current
// month), and for a December date of last year while today is in January. Every other date,
// including -1, -1, -1, gives -1.
int DaysSince(int year, int month, int day);

// The category of the date, from DaysSince and today's day of the month and day of the week.
// Weeks start on Monday, except that on a Sunday nothing is "this week" and Monday to Friday
// before it are "last week". A real date after today is today's news (an item dated ahead
// heads the list); a date that cannot be judged is early.
NewsAge AgeCategory(int year, int month, int day);

// Writes the name of AgeCategory(year, month, day), NUL-terminated, to `out`, which must hold
// at least kAgeCategoryNameSize bytes.
void AgeCategoryName(int year, int month, int day, char* out);

// The name shown for `age`, for example "今日新闻" for kNewsAgeToday. A value outside 0-7 is
// named like kNewsAgeEarly. The view points into static storage.
std::string_view AgeCategoryNameOf(NewsAge age);

// The index of the category's colour in the settings record, which keeps the eight colours
// in the order today ... this year, early: 0 for kNewsAgeToday ... 6 for kNewsAgeThisYear, 7
// for kNewsAgeEarly. A value outside 0-7 gets the early slot, so the result always indexes an
// array of kNewsAgeCount colours.
int CategoryColourSlot(NewsAge age);

// The local calendar date `n` days before today into *year, *month, *day (none may be null).
// n = 0 gives today; a negative n is taken as 0.
void DateDaysBefore(int n, int* year, int* month, int* day);
// The same day as a statement's date: the cut-off of a clean-up of news older than `n` days.
AccessDate CleanCutoffDay(int n);

// The date as the list and the item page show it, "%y年%m月%d日" as strftime writes it (for
// example "06年11月06日") when `status` is kNewsDateValid; empty for kNewsDateNull; "Invalid
// DateTime" for kNewsDateInvalid and any other status.
std::string NewsDateText(int year, int month, int day, int status);
