#include "feeds/item_day.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "base/calendar.h"
#include "feeds/feed_date.h"

namespace {

using namespace std::chrono;

sys_days DayNumber(int y, int m, int d) {
    return sys_days(year(y) / month(static_cast<unsigned>(m)) / day(static_cast<unsigned>(d)));
}

std::string TimeText(int hour, int minute, int second) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, std::min(second, 59));
    return text;
}

// The local day and time of a date written with a zone; the day and time as written when the
// moment has no local day the database can hold.
ItemMoment LocalMomentOf(const CFeedDate& date) {
    ItemMoment written{{date.year, date.month, date.day},
                       date.timed ? TimeText(date.hour, date.minute, date.second) : ""};
    const sys_seconds moment = DayNumber(date.year, date.month, date.day) + hours(date.hour) +
                               minutes(date.minute) + seconds(date.second) -
                               minutes(date.offsetMinutes);
    const std::time_t time = static_cast<std::time_t>(moment.time_since_epoch().count());
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return written;
    }
    const AccessDate day{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    if (!IsCalendarDate(day.year, day.month, day.day)) {
        return written;
    }
    return {day, date.timed ? TimeText(local.tm_hour, local.tm_min, local.tm_sec) : ""};
}

}  // namespace

ItemMoment StoredItemMoment(std::string_view text, std::string_view feedLanguage,
                            const CalendarTime& now) {
    const AccessDate today{now.year, now.month, now.day};
    const std::optional<CFeedDate> date = ReadFeedDate(text, CstZoneFor(feedLanguage));
    if (!date) {
        return {today, {}};
    }
    ItemMoment moment =
        date->zoned
            ? LocalMomentOf(*date)
            : ItemMoment{{date->year, date->month, date->day},
                         date->timed ? TimeText(date->hour, date->minute, date->second) : ""};
    const auto ahead = DayNumber(moment.day.year, moment.day.month, moment.day.day) -
                       DayNumber(today.year, today.month, today.day);
    if (ahead > days(1)) {
        return {today, {}};
    }
    return moment;
}

AccessDate StoredItemDay(std::string_view text, std::string_view feedLanguage,
                         const CalendarTime& now) {
    return StoredItemMoment(text, feedLanguage, now).day;
}
