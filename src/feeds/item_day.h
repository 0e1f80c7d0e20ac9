#pragma once

#include <string>
#include <string_view>

#include "base/clock.h"
#include "store/sql_text.h"

// The calendar day under which an item dated `text` is stored, in a feed whose language is
// `feedLanguage` (it tells what CST means, see CstZoneFor), when it is stored at `now` (local
// time):
//   - a date with a zone is taken to the machine's local time before its day is taken, so
//     that news lands on the day it happened where the reader lives;
//   - a date without a zone is the day as written;
//   - a day more than one day after `now`'s (a wrong clock at the source, a year 9999), and a
//     text that holds no date, give `now`'s day: such an item shows among the news of the day
//     it arrived, rather than heading every list or vanishing among the oldest.
AccessDate StoredItemDay(std::string_view text, std::string_view feedLanguage,
                         const CalendarTime& now);

// The day StoredItemDay gives, with the local time of day ("HH:MM:SS") at which the item was
// published on it. The time is empty where the text gave none, and where the day is not the
// text's own (no date, or one too far ahead).
struct ItemMoment {
    AccessDate day;
    std::string time;
};
ItemMoment StoredItemMoment(std::string_view text, std::string_view feedLanguage,
                            const CalendarTime& now);
