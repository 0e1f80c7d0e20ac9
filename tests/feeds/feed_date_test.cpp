#include "feeds/feed_date.h"

#include <gtest/gtest.h>

#include "feeds/feed_store.h"

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
