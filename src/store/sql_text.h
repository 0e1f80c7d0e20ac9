#pragma once

#include <string>
#include <string_view>

// The program writes its statements in the Access dialect: values between single quotes,
// dates as #Y-M-D# literals. These helpers build and translate that text.

// `value` with every apostrophe doubled, ready to stand between single quotes.
std::string SqlEscape(std::string_view value);

// A calendar date as the statements carry it.
struct AccessDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// "#" year "-" month "-" day "#", decimal without leading zeros (#2006-5-1#). The date is
// not checked here; an impossible one makes the statement fail when it runs.
std::string AccessDateLiteral(const AccessDate& date);

// Rewrites every #Y-M-D# literal outside quotes as 'YYYY-MM-DD'. Returns false, with the
// reason in `error`, when a literal is malformed or not a real calendar date.
bool TranslateAccessSql(std::string_view access, std::string* sqlite, std::string* error);
