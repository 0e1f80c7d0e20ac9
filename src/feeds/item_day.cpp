#include "feeds/item_day.h"

#include <chrono>
#include <ctime>

#include "base/calendar.h"
#include "feeds/feed_date.h"

namespace {

using namespace std::chrono;

sys_days DayNumber(int y, int m, int d) {
    return sys_days(year(y) / month(static_cast<unsigned>(m)) / day(static_cast<unsigned>(d)));
}

// The local day of a date written with a zone; the day as written when the moment has no
// local day the database can hold.
AccessDate LocalDayOf(const CFeedDate& date) {
    const AccessDate written{date.year, date.month, date.day};
    const sys_seconds moment = DayNumber(date.year, date.month, date.day) + hours(date.hour) +
                               minutes(date.minute) + seconds(date.second) -
                               minutes(date.offsetMinutes);
    const std::time_t time = static_cast<std::time_t>(moment.time_since_epoch().count());
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return written;
    }
    const AccessDate day{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    return IsCalendarDate(day.year, day.month, day.day) ? day : written;
}

}  // namespace

AccessDate StoredItemDay(std::string_view text, std::string_view feedLanguage,
                         const CalendarTime& now) {
    const AccessDate today{now.year, now.month, now.day};
    const std::optional<CFeedDate> date = ReadFeedDate(text, CstZoneFor(feedLanguage));
    if (!date) {
        return today;
    }
    const AccessDate day =
        date->zoned ? LocalDayOf(*date) : AccessDate{date->year, date->month, date->day};
    const auto ahead =
        DayNumber(day.year, day.month, day.day) - DayNumber(today.year, today.month, today.day);
    return ahead > days(1) ? today : day;
}
