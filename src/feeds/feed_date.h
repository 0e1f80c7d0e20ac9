#pragma once

#include <optional>
#include <string_view>

// The date of a feed item as the engine stores it.
struct CFeedDate {
    int day = 1;
    int month = 1;
    int year = 2000;
    int hour = 0;
    int minute = 0;
    int second = 0;
    // Whether a time of day followed the date (else the time above is midnight).
    bool timed = false;
    // Whether a zone followed the time, and its distance from UTC in minutes (east positive).
    bool zoned = false;
    int offsetMinutes = 0;
};

// What the zone name CST means in a feed: China Standard Time (+0800) where the feed's
// language starts with "zh", US Central Standard Time (-0600) elsewhere.
enum class CstZone { kUsCentral, kChina };
CstZone CstZoneFor(std::string_view feedLanguage);

// The calendar day a feed wrote, as it wrote it (no zone conversion), with the time of day
// when one follows it and the zone when one follows the time: a numeric offset ("+0800",
// "-05:00", "+08", and "-800" for "-0800"), "Z", "GMT", "UT" or "UTC" (each may carry an offset:
// "GMT+0800"), or a North American zone name (EST, EDT, CST, CDT, MST, MDT, PST, PDT; CST as `cst`
// says). Reads every form feeds use:
//   RFC 822, with or without the weekday and its comma, with or without the time:
//     "Wed, 02 Oct 2002 13:00:00 GMT", "02 Oct 2002", "Wed 24 May 2006 14:28:41 -0800";
//   the year first, with "-", "/" or "." between the parts or as 年 月 日, the month in one
//   or two digits or as a name, with or without a time, "T" and a zone:
//     "2006-05-12 10:20:30", "2010-4-7", "2008/5/12 12:00:00", "2006-05-12T10:20:30+08:00",
//     "2006-May-12", "2008年5月12日";
//   the month name first: "Oct 2, 2002", "Wed Oct 02 13:00:00 2002", and Java's
//     "Wed Oct 02 13:00:00 CST 2002" with the zone before the year.
// Month names (Jan ... Dec, the full English names, Sept) match in any letter case. A year
// of one or two digits after the month is 2000-2049 for 00-49 and 1950-1999 for 50-99.
// Nothing when the text holds no real calendar date of the years 100 to 9999.
std::optional<CFeedDate> ReadFeedDate(std::string_view text, CstZone cst = CstZone::kUsCentral);

// ReadFeedDate's date, or the default, 1 January 2000, when the text holds none.
CFeedDate ParseFeedDate(std::string_view text);
