#include "store/automation_date.h"

#include "base/calendar.h"

#include <chrono>
#include <cmath>

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr sys_days kEpoch = sys_days(std::chrono::year(1899) / 12 / 30);

bool ReadDigits(std::string_view text, std::size_t pos, std::size_t count, int* value) {
    if (pos + count > text.size()) {
        return false;
    }
    int result = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        result = result * 10 + (text[i] - '0');
    }
    *value = result;
    return true;
}

}  // namespace

double AutomationDateFromCivil(int year, int month, int day, int hour, int minute, int second) {
    const sys_days date = sys_days(std::chrono::year(year) / month / day);
    const double whole = static_cast<double>((date - kEpoch).count());
    return whole + (hour * 3600 + minute * 60 + second) / 86400.0;
}

bool CivilFromAutomationDate(double date, int* year, int* month, int* day) {
    if (!std::isfinite(date) || date < -657434.0 || date > 2958465.999999) {
        return false;
    }
    const year_month_day ymd(kEpoch + days(static_cast<long>(std::floor(date))));
    *year = static_cast<int>(ymd.year());
    *month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    *day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    return true;
}

bool ParseIsoDate(std::string_view text, double* automationDate) {
    int year = 0;
    int month = 0;
    int day = 0;
    if (!ReadDigits(text, 0, 4, &year) || text.size() < 10 || text[4] != '-' ||
        !ReadDigits(text, 5, 2, &month) || text[7] != '-' || !ReadDigits(text, 8, 2, &day) ||
        !IsCalendarDate(year, month, day)) {
        return false;
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !ReadDigits(text, 11, 2, &hour) ||
            text.size() < 19 || text[13] != ':' || !ReadDigits(text, 14, 2, &minute) ||
            text[16] != ':' || !ReadDigits(text, 17, 2, &second) || hour > 23 || minute > 59 ||
            second > 59) {
            return false;
        }
    }
    *automationDate = AutomationDateFromCivil(year, month, day, hour, minute, second);
    return true;
}
