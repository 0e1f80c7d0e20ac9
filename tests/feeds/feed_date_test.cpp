#include "feeds/feed_date.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "feeds/feed_store.h"
#include "feeds/item_day.h"
#include "support/time_zone.h"

namespace {

// Real-world forms, most of them from public feed test suites and Chinese news sites, with
// the calendar day each must give, as the feed wrote it.
TEST(FeedDate, ReadsTheDayEveryCommonFormWrites) {
    struct Case {
        const char* text;
        int year, month, day, hour, minute, second;
    };
    const Case kCases[] = {
        // RFC 822, as the two forms of old read it.
        {"Wed, 02 Oct 2002 13:00:00 GMT", 2002, 10, 2, 13, 0, 0},
        {"Sun, 6 Nov 1994 08:49:37 +0100", 1994, 11, 6, 8, 49, 37},
        {"2006-05-12 10:20:30", 2006, 5, 12, 10, 20, 30},
        {"2006-May-12 10:20:30", 2006, 5, 12, 10, 20, 30},
        // A date without a time, as the most widespread Chinese site systems write it.
        {"2010-04-07", 2010, 4, 7, 0, 0, 0},
        {"2010-4-7", 2010, 4, 7, 0, 0, 0},
        {"2006-5-12 10:20:30", 2006, 5, 12, 10, 20, 30},
        {"Wed, 02 Oct 2002", 2002, 10, 2, 0, 0, 0},
        {"Wed, 02 Oct 2002 13:00", 2002, 10, 2, 13, 0, 0},
        // Slashes, dots and the Chinese signs.
        {"2008/5/12 12:00:00", 2008, 5, 12, 12, 0, 0},
        {"2008/05/12", 2008, 5, 12, 0, 0, 0},
        {"2008.05.12", 2008, 5, 12, 0, 0, 0},
        {"2008年5月12日", 2008, 5, 12, 0, 0, 0},
        {"2008年05月12日 08:30", 2008, 5, 12, 8, 30, 0},
        // ISO 8601 with a T and a zone: the day as written, no conversion.
        {"2006-05-12T10:20:30Z", 2006, 5, 12, 10, 20, 30},
        {"2006-05-12T23:20:30+08:00", 2006, 5, 12, 23, 20, 30},
        {"2006-05-12T00:20:30.123-05:00", 2006, 5, 12, 0, 20, 30},
        {"2006-05-12T10:20:30", 2006, 5, 12, 10, 20, 30},
        // RFC 822 without the weekday or its comma.
        {"02 Oct 2002 13:00:00 GMT", 2002, 10, 2, 13, 0, 0},
        {"Wed 24 May 2006 14:28:41 -0800", 2006, 5, 24, 14, 28, 41},
        {"12 May 2006", 2006, 5, 12, 0, 0, 0},
        {"02-Oct-2002", 2002, 10, 2, 0, 0, 0},
        // Two-digit years; month names in any letter case, abbreviated or whole.
        {"Sat, 07 Sep 02 13:00:00 GMT", 2002, 9, 7, 13, 0, 0},
        {"Sat, 07 Sep 49 13:00:00 GMT", 2049, 9, 7, 13, 0, 0},
        {"Tue, 07 Sep 99 13:00:00 GMT", 1999, 9, 7, 13, 0, 0},
        {"Fri, 07 Jan 50 13:00:00 GMT", 1950, 1, 7, 13, 0, 0},
        {"Wed, 02 oct 2002 13:00:00 GMT", 2002, 10, 2, 13, 0, 0},
        {"WED, 02 OCT 2002 13:00:00 GMT", 2002, 10, 2, 13, 0, 0},
        {"Thursday, 07 September 2006 09:00:00 EST", 2006, 9, 7, 9, 0, 0},
        {"Thu, 7 Sept 2006", 2006, 9, 7, 0, 0, 0},
        // The month first.
        {"Oct 2, 2002", 2002, 10, 2, 0, 0, 0},
        {"Wed Oct 02 13:00:00 2002", 2002, 10, 2, 13, 0, 0},
        {"Wed Oct 02 13:00:00 CST 2002", 2002, 10, 2, 13, 0, 0},
        // Blanks and words around the date.
        {"  2010-04-07  ", 2010, 4, 7, 0, 0, 0},
        {"Published: 2010-04-07", 2010, 4, 7, 0, 0, 0},
        {"Thu, 29 Feb 2024 10:00:00 GMT", 2024, 2, 29, 10, 0, 0},
    };
    for (const Case& c : kCases) {
        const std::optional<CFeedDate> date = ReadFeedDate(c.text);
        ASSERT_TRUE(date.has_value()) << c.text;
        EXPECT_EQ(date->year, c.year) << c.text;
        EXPECT_EQ(date->month, c.month) << c.text;
        EXPECT_EQ(date->day, c.day) << c.text;
        EXPECT_EQ(date->hour, c.hour) << c.text;
        EXPECT_EQ(date->minute, c.minute) << c.text;
        EXPECT_EQ(date->second, c.second) << c.text;
    }
}

// Texts that hold no real calendar date give none, whatever shape they almost have; the
// store then dates the item the day it stores it.
TEST(FeedDate, TextsWithoutARealDayGiveNoDate) {
    for (const char* text : {
             "",
             "   ",
             ",",
             "-",
             "yesterday",
             "2006",
             "12:00:00",
             "2006-13-01",
             "2006-02-30",
             "2023-02-29",
             "0000-00-00",
             "2006-05",
             "2006-05/12",
             "31/12/2006",
             "Wed, 32 Oct 2002 13:00:00 GMT",
             "Mon, 02 Foo 2002 13:00:00 GMT",
             "Wed, 02 Oct 13:00:00 GMT",
             "Mark 2, 2002",
             "0099-01-01",
         }) {
        EXPECT_FALSE(ReadFeedDate(text).has_value()) << text;
        const CFeedDate fallback = CFeedStore::ParseFeedDate(text);
        EXPECT_EQ(fallback.year, 2000) << text;
        EXPECT_EQ(fallback.month, 1) << text;
        EXPECT_EQ(fallback.day, 1) << text;
    }
}

}  // namespace

namespace {

std::string DayText(const AccessDate& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
    return text;
}

}  // namespace

// A date with a zone lands on its day in the machine's zone; one without stays as written.
// Each case is read in the zone `tz`, for a feed in `language`, on 2024-03-10 at noon.
TEST(StoredItemDay, ZonedDatesLandOnTheirLocalDay) {
    struct Case {
        const char* tz;
        const char* text;
        const char* language;
        const char* day;
    };
    const Case kCases[] = {
        // East of UTC: a US evening is the next morning in Beijing.
        {"CST-8", "Wed, 02 Oct 2002 20:00:00 -0500", "", "2002-10-03"},
        {"CST-8", "Wed, 02 Oct 2002 20:00:00 EST", "", "2002-10-03"},
        {"CST-8", "Wed, 02 Oct 2002 20:00:00 EDT", "", "2002-10-03"},
        {"CST-8", "Wed, 02 Oct 2002 15:59:59 GMT", "", "2002-10-02"},
        {"CST-8", "Wed, 02 Oct 2002 16:00:00 GMT", "", "2002-10-03"},
        {"CST-8", "Wed, 02 Oct 2002 16:00:00 UT", "", "2002-10-03"},
        {"CST-8", "2002-10-02T16:00:00Z", "", "2002-10-03"},
        {"CST-8", "2002-10-02T16:00:00.250Z", "", "2002-10-03"},
        {"CST-8", "2002-10-02T23:30:00+08:00", "", "2002-10-02"},
        {"CST-8", "2002-10-03T01:00:00+09:00", "", "2002-10-03"},
        {"CST-8", "2002-10-03T01:00:00+10", "", "2002-10-02"},
        {"CST-8", "Wed, 02 Oct 2002 17:00:00 GMT+0800", "", "2002-10-02"},
        {"CST-8", "Wed, 02 Oct 2002 23:00:00 PST", "", "2002-10-03"},
        // Three digits are an offset that lost its leading zero.
        {"CST-8", "Wed 24 May 2006 14:28:41 -800", "", "2006-05-25"},
        {"CST-8", "Wed, 02 Oct 2002 20:00:00 -500", "", "2002-10-03"},
        {"UTC0", "Wed, 02 Oct 2002 01:00:00 +530", "", "2002-10-01"},
        {"UTC0", "Wed, 02 Oct 2002 01:00:00 +875", "", "2002-10-02"},
        // CST is China's in a Chinese feed, US Central elsewhere; Java writes it so too.
        {"CST-8", "Wed, 02 Oct 2002 23:00:00 CST", "zh-cn", "2002-10-02"},
        {"CST-8", "Wed, 02 Oct 2002 23:00:00 CST", "en-us", "2002-10-03"},
        {"CST-8", "Wed Oct 02 23:00:00 CST 2002", "zh", "2002-10-02"},
        {"CST-8", "Wed Oct 02 23:00:00 CST 2002", "", "2002-10-03"},
        // West of UTC: a Beijing morning is the evening before in New York.
        {"EST5EDT,M3.2.0,M11.1.0", "2002-10-03T08:00:00+08:00", "", "2002-10-02"},
        {"EST5EDT,M3.2.0,M11.1.0", "Thu, 03 Oct 2002 08:00:00 CST", "zh-CN", "2002-10-02"},
        {"UTC0", "2002-10-02T23:00:00-02:00", "", "2002-10-03"},
        // No zone, or no time: the day as written.
        {"CST-8", "2002-10-02 23:00:00", "", "2002-10-02"},
        {"CST-8", "Wed, 02 Oct 2002", "", "2002-10-02"},
        {"EST5EDT,M3.2.0,M11.1.0", "2002年10月02日 23:00", "", "2002-10-02"},
        // Words after the time that are no zone are no zone.
        {"CST-8", "Wed, 02 Oct 2002 23:00:00 - Reuters", "", "2002-10-02"},
        // Far ahead, or no date at all: the day it is stored. Tomorrow is kept.
        {"CST-8", "Mon, 11 Mar 2024 09:00:00 +0800", "", "2024-03-11"},
        {"CST-8", "Tue, 12 Mar 2024 09:00:00 +0800", "", "2024-03-10"},
        {"CST-8", "9999-12-31", "", "2024-03-10"},
        {"CST-8", "9999-12-31T23:00:00-05:00", "", "2024-03-10"},
        {"CST-8", "no date", "", "2024-03-10"},
    };
    for (const Case& c : kCases) {
        ScopedTimeZone zone(c.tz);
        const CalendarTime noon{2024, 3, 10, 0, 12, 0, 0};
        EXPECT_EQ(DayText(StoredItemDay(c.text, c.language, noon)), c.day)
            << c.text << " in " << c.tz;
    }
}

// The time of day is kept beside the day, in the machine's zone where the text gave a zone,
// and only where the text gave a time for the day that is stored.
TEST(StoredItemMoment, TheTimeOfDayIsLocalAndOnlyWhereTheTextGaveOne) {
    struct Case {
        const char* tz;
        const char* text;
        const char* day;
        const char* time;
    };
    const Case kCases[] = {
        {"CST-8", "Wed, 02 Oct 2002 20:00:00 -0500", "2002-10-03", "09:00:00"},
        {"CST-8", "2002-10-02T16:05:30.250Z", "2002-10-03", "00:05:30"},
        {"EST5EDT,M3.2.0,M11.1.0", "2002-10-03T08:00:00+08:00", "2002-10-02", "20:00:00"},
        {"UTC0", "Wed 24 May 2006 14:28:41 -800", "2006-05-24", "22:28:41"},
        // No zone: the time as written; a leap second stays within its minute.
        {"CST-8", "2008/5/12 14:28", "2008-05-12", "14:28:00"},
        {"CST-8", "2008-05-12 23:59:60", "2008-05-12", "23:59:59"},
        // Midnight written is a time; a day without one has none.
        {"CST-8", "2008-05-12 00:00:00", "2008-05-12", "00:00:00"},
        {"CST-8", "Wed, 02 Oct 2002", "2002-10-02", ""},
        // The day of arrival stands in for a missing or impossible date, without a time.
        {"CST-8", "9999-12-31T23:00:00-05:00", "2024-03-10", ""},
        {"CST-8", "no date", "2024-03-10", ""},
    };
    for (const Case& c : kCases) {
        ScopedTimeZone zone(c.tz);
        const CalendarTime noon{2024, 3, 10, 0, 12, 0, 0};
        const ItemMoment moment = StoredItemMoment(c.text, "", noon);
        EXPECT_EQ(DayText(moment.day), c.day) << c.text << " in " << c.tz;
        EXPECT_EQ(moment.time, c.time) << c.text << " in " << c.tz;
    }
}
