#include "base/calendar.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono;

TEST(CalendarTest, LeapYearsAndMonthLengthsFollowTheGregorianCalendar) {
    for (int y = -800; y <= 2800; ++y) {
        ASSERT_EQ(IsLeapYear(y), year{y}.is_leap()) << y;
        for (unsigned m = 1; m <= 12; ++m) {
            const auto length = static_cast<unsigned>((year{y} / month{m} / last).day());
            ASSERT_EQ(DaysInMonth(static_cast<int>(m), y), static_cast<int>(length))
                << y << "-" << m;
        }
    }
    EXPECT_EQ(DaysInMonth(0, 2024), 0);
    EXPECT_EQ(DaysInMonth(13, 2024), 0);
    EXPECT_EQ(DaysInMonth(-1, 2024), 0);
}

TEST(CalendarTest, ACalendarDateIsARealDayOfTheYears100To9999) {
    EXPECT_TRUE(IsCalendarDate(2024, 2, 29));
    EXPECT_TRUE(IsCalendarDate(100, 1, 1));
    EXPECT_TRUE(IsCalendarDate(9999, 12, 31));
    EXPECT_FALSE(IsCalendarDate(2023, 2, 29));
    EXPECT_FALSE(IsCalendarDate(1900, 2, 29));
    EXPECT_FALSE(IsCalendarDate(2006, 0, 12));
    EXPECT_FALSE(IsCalendarDate(2006, 4, 31));
    EXPECT_FALSE(IsCalendarDate(2006, 4, 0));
    EXPECT_FALSE(IsCalendarDate(99, 12, 31));
    EXPECT_FALSE(IsCalendarDate(10000, 1, 1));
}

}  // namespace
