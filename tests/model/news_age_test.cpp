#include "model/news_age.h"

#include "base/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

using namespace std::chrono;

struct Ymd {
    int year;
    int month;
    int day;
};

sys_days Days(int y, int m, int d) {
    return sys_days{year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}};
}

Ymd ToYmd(sys_days date) {
    const year_month_day ymd{date};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

std::string Text(sys_days date) {
    const Ymd d = ToYmd(date);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

// Fixes "today" at noon of `date`; the fixture runs in UTC, so that is the local date too.
class FixedToday {
public:
    explicit FixedToday(sys_days date) : m_clock(date + hours{12}) {}

private:
    ScopedFixedClock m_clock;
};

// The category worked out from what each one means, on real day numbers.
NewsAge ExpectedCategory(sys_days today, sys_days item) {
    const year_month_day t{today};
    const year_month_day i{item};
    const auto ago = (today - item).count();
    if (ago <= 1) {
        return ago <= 0 ? kNewsAgeToday : kNewsAgeYesterday;
    }
    // The week ends with the last Sunday on or before today; on a Sunday that is today.
    const sys_days lastSunday = today - (weekday{today} - Sunday);
    if (item > lastSunday) {
        return kNewsAgeThisWeek;
    }
    if (item > lastSunday - days{7}) {
        return kNewsAgeLastWeek;
    }
    if (i.year() == t.year() && i.month() == t.month()) {
        return kNewsAgeThisMonth;
    }
    // Last month reaches back from the 1st of this month by the length of the item's month.
    const sys_days firstOfMonth{t.year() / t.month() / 1};
    const days itemMonthLength{static_cast<unsigned>((i.year() / i.month() / last).day())};
    if (item >= firstOfMonth - itemMonthLength) {
        return kNewsAgeLastMonth;
    }
    return i.year() == t.year() ? kNewsAgeThisYear : kNewsAgeEarly;
}

// Days are counted within this year up to this month, and into last December from January.
int ExpectedDaysSince(sys_days today, sys_days item) {
    const year_month_day t{today};
    const year_month_day i{item};
    const bool sameYear = i.year() == t.year() && i.month() <= t.month();
    const bool lastDecember =
        i.year() == t.year() - years{1} && i.month() == December && t.month() == January;
    return sameYear || lastDecember ? static_cast<int>((today - item).count()) : -1;
}

// Every date from 400 days before `today` to 30 days after it, against the references.
std::vector<std::string> CategoryMismatches(sys_days today) {
    FixedToday fixed(today);
    std::vector<std::string> mismatches;
    for (sys_days item = today - days{400}; item <= today + days{30}; item += days{1}) {
        const Ymd d = ToYmd(item);
        const int age = AgeCategory(d.year, d.month, d.day);
        const int since = DaysSince(d.year, d.month, d.day);
        if (age != ExpectedCategory(today, item) || since != ExpectedDaysSince(today, item)) {
            mismatches.push_back(Text(item) + ": category " + std::to_string(age) + " want " +
                                 std::to_string(ExpectedCategory(today, item)) + ", days " +
                                 std::to_string(since) + " want " +
                                 std::to_string(ExpectedDaysSince(today, item)));
        }
    }
    return mismatches;
}

std::vector<std::string> DateDaysBeforeMismatches(sys_days today) {
    FixedToday fixed(today);
    std::vector<std::string> mismatches;
    for (int n = 0; n <= 800; ++n) {
        Ymd got{};
        DateDaysBefore(n, &got.year, &got.month, &got.day);
        const Ymd want = ToYmd(today - days{n});
        if (got.year != want.year || got.month != want.month || got.day != want.day) {
            char text[64];
            std::snprintf(text, sizeof text, "n=%d: %d-%d-%d", n, got.year, got.month, got.day);
            mismatches.push_back(text + (" want " + Text(today - days{n})));
        }
    }
    return mismatches;
}

std::string FirstFew(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < 10; ++i) {
        text += "\n  " + lines[i];
    }
    return text;
}

class NewsAgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

class CalendarWalkTest : public NewsAgeTest, public ::testing::WithParamInterface<sys_days> {};

// All seven weekdays, the first, second and last days of months, both sides of a year end,
// the end of February in leap, common and century years.
const sys_days kWalkTodays[] = {
    Days(2023, 6, 12),  Days(2023, 6, 13),  Days(2023, 6, 14), Days(2023, 6, 15),
    Days(2023, 6, 16),  Days(2023, 6, 17),  Days(2023, 6, 18), Days(2023, 1, 1),
    Days(2023, 1, 2),   Days(2024, 1, 1),   Days(2024, 1, 2),  Days(2025, 1, 1),
    Days(2023, 1, 31),  Days(2023, 2, 1),   Days(2023, 2, 2),  Days(2023, 2, 28),
    Days(2023, 3, 1),   Days(2023, 3, 2),   Days(2023, 3, 5),  Days(2024, 2, 28),
    Days(2024, 2, 29),  Days(2024, 3, 1),   Days(2024, 3, 2),  Days(2023, 4, 30),
    Days(2023, 5, 1),   Days(2023, 7, 31),  Days(2023, 8, 1),  Days(2022, 12, 31),
    Days(2023, 12, 31), Days(2024, 12, 31), Days(2000, 2, 29), Days(2000, 3, 1),
    Days(2100, 2, 28),  Days(2100, 3, 1),
};

TEST_P(CalendarWalkTest, EveryNearbyDateGetsTheCategoryItsMeaningGives) {
    const std::vector<std::string> mismatches = CategoryMismatches(GetParam());
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " wrong" << FirstFew(mismatches);
}

TEST_P(CalendarWalkTest, DateDaysBeforeMatchesDayArithmetic) {
    const std::vector<std::string> mismatches = DateDaysBeforeMismatches(GetParam());
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " wrong" << FirstFew(mismatches);
}

INSTANTIATE_TEST_SUITE_P(Todays, CalendarWalkTest, ::testing::ValuesIn(kWalkTodays),
                         [](const ::testing::TestParamInfo<sys_days>& info) {
                             std::string name = Text(info.param);
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return "Today" + name;
                         });

TEST_F(NewsAgeTest, EveryTodayOfALeapAndACommonYearWalksClean) {
    for (sys_days today = Days(2023, 1, 1); today <= Days(2024, 12, 31); today += days{1}) {
        const std::vector<std::string> categories = CategoryMismatches(today);
        const std::vector<std::string> dates = DateDaysBeforeMismatches(today);
        ASSERT_TRUE(categories.empty() && dates.empty())
            << "today " << Text(today) << FirstFew(categories) << FirstFew(dates);
    }
}

struct AgeCase {
    const char* what;
    sys_days today;
    Ymd item;
    int daysSince;
    NewsAge age;
};

TEST_F(NewsAgeTest, NamedCasesGetTheirDayCountAndCategory) {
    const AgeCase kCases[] = {
        {"today", Days(2023, 6, 14), {2023, 6, 14}, 0, kNewsAgeToday},
        {"yesterday across February", Days(2023, 3, 1), {2023, 2, 28}, 1, kNewsAgeYesterday},
        {"yesterday, leap day", Days(2024, 3, 1), {2024, 2, 29}, 1, kNewsAgeYesterday},
        {"Wednesday: Monday", Days(2023, 6, 14), {2023, 6, 12}, 2, kNewsAgeThisWeek},
        {"Wednesday: Sunday", Days(2023, 6, 14), {2023, 6, 11}, 3, kNewsAgeLastWeek},
        {"Wednesday: 9 days", Days(2023, 6, 14), {2023, 6, 5}, 9, kNewsAgeLastWeek},
        {"Wednesday: 10 days", Days(2023, 6, 14), {2023, 6, 4}, 10, kNewsAgeThisMonth},
        {"Monday: Sunday", Days(2023, 6, 12), {2023, 6, 11}, 1, kNewsAgeYesterday},
        {"Monday: Saturday", Days(2023, 6, 12), {2023, 6, 10}, 2, kNewsAgeLastWeek},
        {"Monday: 7 days", Days(2023, 6, 12), {2023, 6, 5}, 7, kNewsAgeLastWeek},
        {"Sunday: Monday", Days(2023, 6, 18), {2023, 6, 12}, 6, kNewsAgeLastWeek},
        {"Sunday: 7 days", Days(2023, 6, 18), {2023, 6, 11}, 7, kNewsAgeThisMonth},
        {"2 Jan: 31 Dec", Days(2023, 1, 2), {2022, 12, 31}, 2, kNewsAgeLastWeek},
        {"2 Jan: 1 Dec", Days(2023, 1, 2), {2022, 12, 1}, 32, kNewsAgeLastMonth},
        {"2 Jan: 30 Nov", Days(2023, 1, 2), {2022, 11, 30}, -1, kNewsAgeEarly},
        {"2 Feb: 31 Dec", Days(2023, 2, 2), {2022, 12, 31}, -1, kNewsAgeEarly},
        {"5 Mar: 30 Jan", Days(2023, 3, 5), {2023, 1, 30}, 34, kNewsAgeLastMonth},
        {"5 Mar: 28 Jan", Days(2023, 3, 5), {2023, 1, 28}, 36, kNewsAgeThisYear},
        {"tomorrow", Days(2023, 6, 14), {2023, 6, 15}, -1, kNewsAgeToday},
        {"later this month", Days(2023, 6, 14), {2023, 6, 20}, -6, kNewsAgeToday},
        {"later month", Days(2023, 6, 14), {2023, 7, 1}, -1, kNewsAgeToday},
        {"next year", Days(2023, 12, 31), {2024, 1, 1}, -1, kNewsAgeToday},
        {"invalid", Days(2023, 6, 14), {-1, -1, -1}, -1, kNewsAgeEarly},
        {"no such day", Days(2023, 6, 14), {2023, 6, 31}, -17, kNewsAgeEarly},
    };
    for (const AgeCase& c : kCases) {
        SCOPED_TRACE(c.what);
        FixedToday fixed(c.today);
        EXPECT_EQ(DaysSince(c.item.year, c.item.month, c.item.day), c.daysSince);
        EXPECT_EQ(int{AgeCategory(c.item.year, c.item.month, c.item.day)}, int{c.age});
    }
}

TEST_F(NewsAgeTest, TodayIsTheLocalDateNotTheUtcOne) {
    setenv("TZ", "CST-8", 1);  // UTC+8, no zone data needed
    tzset();
    // 20:00 UTC on Monday 12 June is 04:00 on Tuesday 13 June in that zone.
    ScopedFixedClock clock(Days(2023, 6, 12) + hours{20});
    EXPECT_EQ(int{AgeCategory(2023, 6, 13)}, int{kNewsAgeToday});
    EXPECT_EQ(int{AgeCategory(2023, 6, 12)}, int{kNewsAgeYesterday});
    EXPECT_EQ(int{AgeCategory(2023, 6, 6)}, int{kNewsAgeLastWeek});  // Tuesday: 7 days back
    Ymd date{};
    DateDaysBefore(0, &date.year, &date.month, &date.day);
    EXPECT_EQ(date.day, 13);
}

TEST_F(NewsAgeTest, DateDaysBeforeNamedCases) {
    const struct {
        sys_days today;
        int n;
        Ymd want;
    } kCases[] = {
        {Days(2023, 3, 5), 0, {2023, 3, 5}},    {Days(2023, 3, 5), 63, {2023, 1, 1}},
        {Days(2023, 3, 5), 64, {2022, 12, 31}}, {Days(2023, 3, 5), -5, {2023, 3, 5}},
        {Days(2023, 1, 1), 1, {2022, 12, 31}},  {Days(2024, 3, 1), 1, {2024, 2, 29}},
    };
    for (const auto& c : kCases) {
        FixedToday fixed(c.today);
        Ymd got{};
        DateDaysBefore(c.n, &got.year, &got.month, &got.day);
        EXPECT_EQ(Text(Days(got.year, got.month, got.day)),
                  Text(Days(c.want.year, c.want.month, c.want.day)))
            << Text(c.today) << " n=" << c.n;
    }
}

TEST_F(NewsAgeTest, EachCategoryIsNamedInTheFixedBuffer) {
    FixedToday fixed(Days(2023, 6, 14));  // a Wednesday
    const struct {
        Ymd item;
        const char* name;
    } kCases[] = {
        {{2023, 6, 14}, "今日新闻"}, {{2023, 6, 13}, "昨日新闻"},  {{2023, 6, 12}, "本周新闻"},
        {{2023, 6, 11}, "上周新闻"}, {{2023, 6, 1}, "本月新闻"},   {{2023, 5, 20}, "上月新闻"},
        {{2023, 1, 10}, "今年新闻"}, {{2022, 12, 31}, "早期新闻"},
    };
    for (const auto& c : kCases) {
        char out[kAgeCategoryNameSize];
        std::memset(out, 'x', sizeof out);
        AgeCategoryName(c.item.year, c.item.month, c.item.day, out);
        EXPECT_STREQ(out, c.name);
        EXPECT_EQ(std::strlen(out), kAgeCategoryNameSize - 1);
        EXPECT_EQ(AgeCategoryNameOf(AgeCategory(c.item.year, c.item.month, c.item.day)), c.name);
    }
    EXPECT_EQ(AgeCategoryNameOf(-1), "早期新闻");
    EXPECT_EQ(AgeCategoryNameOf(kNewsAgeCount), "早期新闻");
}

TEST(NewsAgeColourTest, ColoursRunFromTodayToEarly) {
    const struct {
        NewsAge age;
        int slot;
    } kCases[] = {
        {kNewsAgeToday, 0},    {kNewsAgeYesterday, 1}, {kNewsAgeThisWeek, 2},
        {kNewsAgeLastWeek, 3}, {kNewsAgeThisMonth, 4}, {kNewsAgeLastMonth, 5},
        {kNewsAgeThisYear, 6}, {kNewsAgeEarly, 7},     {-1, 7},
        {kNewsAgeCount, 7},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(CategoryColourSlot(c.age), c.slot) << int{c.age};
    }
}

TEST(NewsDateTextTest, StatusDecidesBetweenDateInvalidAndEmpty) {
    const struct {
        Ymd date;
        int status;
        const char* text;
    } kCases[] = {
        {{2006, 11, 6}, kNewsDateValid, "06年11月06日"},
        {{1999, 12, 31}, kNewsDateValid, "99年12月31日"},
        {{2000, 2, 29}, kNewsDateValid, "00年02月29日"},
        {{2006, 11, 6}, kNewsDateInvalid, "Invalid DateTime"},
        {{-1, -1, -1}, kNewsDateInvalid, "Invalid DateTime"},
        {{2006, 11, 6}, 7, "Invalid DateTime"},
        {{2006, 11, 6}, kNewsDateNull, ""},
        {{-1, -1, -1}, kNewsDateNull, ""},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(NewsDateText(c.date.year, c.date.month, c.date.day, c.status), c.text)
            << c.date.year << "-" << c.date.month << "-" << c.date.day << " status " << c.status;
    }
}

}  // namespace
