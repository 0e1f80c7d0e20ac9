#pragma once

#include <string_view>

// The date of a feed item as the engine stores it.
struct CFeedDate {
    int day = 1;
    int month = 1;
    int year = 2000;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Reads the two date forms feeds use: "Wed, 02 Oct 2002 13:00:00 GMT" (a "," before any "-")
// and "2006-05-12 10:20:30" (a "-" first). Anything that does not complete every step of
// its form gives the default, 1 January 2000. Months are read through a fixed table ("Jan"
// ... "Dec", "01" ... "12"); any other month text gives month 0, which no statement accepts,
// so such an item is not stored.
CFeedDate ParseFeedDate(std::string_view text);
