#include "model/news_row.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "base/clock.h"

using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

sys_days Days(int y, unsigned m, unsigned d) {
    return sys_days{year{y} / month{m} / day{d}};
}

CAdoDateValue Date(double value, std::int32_t status) {
    CAdoDateValue date;
    date.date = value;
    date.status = status;
    return date;
}

class NewsRowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ScopedFixedClock m_clock{Days(2023, 6, 14) + 12h};  // a Wednesday
};

TEST_F(NewsRowTest, TheCategoryAndDateTextFollowTheDateAndItsStatus) {
    const struct {
        const char* what;
        CAdoDateValue date;
        const char* category;
        const char* dateText;
        std::int32_t status;
    } kCases[] = {
        {"today", Date(AutomationDateFromCivil(2023, 6, 14, 8, 30), kDateValid), "今日新闻",
         "23年06月14日", kNewsDateValid},
        {"yesterday", Date(AutomationDateFromCivil(2023, 6, 13), kDateValid), "昨日新闻",
         "23年06月13日", kNewsDateValid},
        {"last year", Date(AutomationDateFromCivil(2006, 11, 6), kDateValid), "早期新闻",
         "06年11月06日", kNewsDateValid},
        {"unreadable", Date(0.0, kDateInvalid), "早期新闻", "Invalid DateTime", kNewsDateInvalid},
        {"null", Date(0.0, kDateNull), "早期新闻", "", kNewsDateNull},
        {"valid but no calendar date", Date(std::nan(""), kDateValid), "早期新闻",
         "Invalid DateTime", kNewsDateInvalid},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        const CNewsRow row = MakeNewsRow("t", "a", "s", c.date, "足球");
        EXPECT_STREQ(row.categoryName, c.category);
        EXPECT_STREQ(row.dateText, c.dateText);
        EXPECT_EQ(row.dateStatus, c.status);
        EXPECT_EQ(NewsRowColumnText(row, kColumnCategory), c.category);
        EXPECT_EQ(NewsRowColumnText(row, kColumnDate), c.dateText);
    }
}

// The fields hold 127 bytes of the Chinese code page, where a Chinese character takes two;
// the title holds 255, as many as are stored, so that its tooltip shows it whole.
TEST_F(NewsRowTest, LongTextsAreCutAtTheCodePageLimitButKeptWholeForTheLookUp) {
    const auto chinese = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += "新";
        }
        return text;
    };
    const std::string title = chinese(130);  // 260 code-page bytes, 390 of UTF-8
    const std::string author(200, 'a');
    const std::string channel = "频道" + std::string(130, 'c');
    const std::string source = std::string(60, 's') + chinese(70);
    const CNewsRow row = MakeNewsRow(title, author, source, Date(0.0, kDateNull), channel);
    EXPECT_EQ(row.title, chinese(127));  // 127 whole characters
    EXPECT_EQ(std::string(row.author), author.substr(0, 127));
    EXPECT_EQ(std::string(row.channel), channel.substr(0, 6 + 123));
    EXPECT_EQ(std::string(row.source), source.substr(0, 60 + 33 * 3));
    EXPECT_EQ(row.storedTitle, title);
    EXPECT_EQ(row.channelName, channel);
    EXPECT_EQ(NewsRowColumnText(row, kColumnTitle), chinese(127));
    EXPECT_EQ(MakeNewsRow(chinese(127) + "a", "", "", Date(0.0, kDateNull), "").title,
              chinese(127) + "a");
    EXPECT_EQ(NewsRowColumnText(row, kNewsColumnCount), "");
}

TEST_F(NewsRowTest, TheColourCategoryMovesOnWithTheClockButTheNameDoesNot) {
    const CNewsRow row =
        MakeNewsRow("t", "a", "s", Date(AutomationDateFromCivil(2023, 6, 14), kDateValid), "c");
    EXPECT_EQ(int{RowAgeCategory(row)}, int{kNewsAgeToday});
    ScopedFixedClock afterMidnight(Days(2023, 6, 15) + 1h);
    EXPECT_EQ(int{RowAgeCategory(row)}, int{kNewsAgeYesterday});
    EXPECT_STREQ(row.categoryName, "今日新闻");
}

TEST_F(NewsRowTest, TheFolderOrderPutsNewerDaysFirstThenChannelsIgnoringCase) {
    const auto row = [](int y, unsigned m, unsigned d, const char* channel) {
        const CAdoDateValue date =
            y < 0 ? Date(0.0, kDateInvalid)
                  : Date(AutomationDateFromCivil(y, static_cast<int>(m), static_cast<int>(d), 23),
                         kDateValid);
        return MakeNewsRow("t", "a", "s", date, channel);
    };
    const struct {
        CNewsRow first;
        CNewsRow second;
    } kOrdered[] = {
        {row(2023, 6, 14, "z"), row(2023, 6, 13, "a")},
        {row(2023, 6, 1, "z"), row(2023, 5, 31, "a")},
        {row(2023, 1, 1, "z"), row(2022, 12, 31, "a")},
        {row(2023, 6, 14, "alpha"), row(2023, 6, 14, "Beta")},
        {row(2023, 6, 14, "ab"), row(2023, 6, 14, "ABC")},
        {row(1900, 1, 1, "z"), row(-1, 0, 0, "a")},
    };
    for (const auto& c : kOrdered) {
        SCOPED_TRACE(std::string(c.first.dateText) + " " + c.first.channel + " / " +
                     c.second.dateText + " " + c.second.channel);
        EXPECT_TRUE(NewsRowBefore(c.first, c.second));
        EXPECT_FALSE(NewsRowBefore(c.second, c.first));
    }
    // Same day, channel equal but for case: neither comes first.
    EXPECT_FALSE(NewsRowBefore(row(2023, 6, 14, "abc"), row(2023, 6, 14, "ABC")));
    EXPECT_FALSE(NewsRowBefore(row(2023, 6, 14, "ABC"), row(2023, 6, 14, "abc")));
}

}  // namespace

// The time of day follows the date of today's and yesterday's rows only, and only when it
// reads as one; every row with a time keeps it for the date column's order.
TEST_F(NewsRowTest, TodaysAndYesterdaysRowsShowAWellFormedTimeOfDay) {
    const struct {
        const char* what;
        CAdoDateValue date;
        const char* time;
        const char* dateText;
        int secondsOfDay;
    } kCases[] = {
        {"today", Date(AutomationDateFromCivil(2023, 6, 14), kDateValid), "08:05:59",
         "23年06月14日 08:05", 8 * 3600 + 5 * 60 + 59},
        {"yesterday, no seconds", Date(AutomationDateFromCivil(2023, 6, 13), kDateValid), "23:10",
         "23年06月13日 23:10", 23 * 3600 + 10 * 60},
        {"this week", Date(AutomationDateFromCivil(2023, 6, 12), kDateValid), "10:00:00",
         "23年06月12日", 10 * 3600},
        {"no time", Date(AutomationDateFromCivil(2023, 6, 14), kDateValid), "", "23年06月14日", -1},
        {"not a time", Date(AutomationDateFromCivil(2023, 6, 14), kDateValid), "8h:00",
         "23年06月14日", -1},
        {"hour 24", Date(AutomationDateFromCivil(2023, 6, 14), kDateValid), "24:00:00",
         "23年06月14日", -1},
        {"no date", Date(0.0, kDateNull), "08:00:00", "", -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        CNewsRow row = MakeNewsRow("t", "a", "s", c.date, "足球");
        SetTimeOfDay(row, c.time);
        EXPECT_STREQ(row.dateText, c.dateText);
        EXPECT_EQ(row.secondsOfDay, c.secondsOfDay);
    }
}
