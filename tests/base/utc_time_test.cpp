#include "base/utc_time.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TimePoint At(const char* utcText) {
    return ParseUtcTimeText(utcText).value();
}

}  // namespace

TEST(UtcTime, MomentsAreWrittenAndReadBackToTheSecond) {
    const TimePoint moment = At("2024-02-29T23:59:58Z");
    EXPECT_EQ(UtcTimeText(moment), "2024-02-29T23:59:58Z");
    EXPECT_EQ(UtcTimeText(moment + 2s), "2024-03-01T00:00:00Z");
    for (const char* bad : {"", "2024-02-30T00:00:00Z", "2024-02-29 23:59:58Z",
                            "2024-02-29T23:59:58", "2024-02-29T23:59:58Zx", "junk"}) {
        EXPECT_FALSE(ParseUtcTimeText(bad)) << bad;
    }
}

// A server says when to come back as seconds or as an HTTP date, in any of the three forms.
TEST(UtcTime, RetryAfterTakesSecondsOrAnHttpDate) {
    const TimePoint now = At("1994-11-06T08:00:00Z");
    struct Case {
        const char* value;
        const char* want;  // nullptr: not understood
    };
    const Case cases[] = {
        {"0", "1994-11-06T08:00:00Z"},
        {"120", "1994-11-06T08:02:00Z"},
        {"Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06T08:49:37Z"},
        {"Sunday, 06-Nov-94 08:49:37 GMT", "1994-11-06T08:49:37Z"},
        {"Sun Nov  6 08:49:37 1994", "1994-11-06T08:49:37Z"},
        {"Sun, 06 Nov 1994 08:49:37 CET", nullptr},
        {"Sun, 31 Nov 1994 08:49:37 GMT", nullptr},
        {"-5", nullptr},
        {"1.5", nullptr},
        {"", nullptr},
        {"soon", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<TimePoint> when = RetryAfterTime(c.value, now);
        if (c.want == nullptr) {
            EXPECT_FALSE(when) << c.value;
        } else {
            ASSERT_TRUE(when) << c.value;
            EXPECT_EQ(UtcTimeText(*when), c.want) << c.value;
        }
    }
    // A count no server means stays within the clock's range.
    EXPECT_EQ(RetryAfterTime("99999999999999999999", now), now + 99'999'999s);
}
