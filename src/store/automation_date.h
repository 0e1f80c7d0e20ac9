#pragma once

#include <cstdint>
#include <string_view>

// Dates as the recordset hands them out: an automation date (days since 30 December 1899,
// the fraction the time of day) followed by a status word.
enum AutomationDateStatus : std::int32_t {
    kDateValid = 0,
    kDateInvalid = 1,
    kDateNull = 2,
};

// The 12 bytes a date binding receives: the day count at offset 0, the status at offset 8.
// (The struct itself is padded to 16 bytes; a binding needs at least 12.)
struct CAdoDateValue {
    double date = 0.0;
    std::int32_t status = kDateNull;
};

double AutomationDateFromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                               int second = 0);
// The calendar date of an automation date; false when it is out of the supported range.
bool CivilFromAutomationDate(double date, int* year, int* month, int* day);

// Parses the stored form "YYYY-MM-DD" (optionally followed by " HH:MM:SS" or "THH:MM:SS").
bool ParseIsoDate(std::string_view text, double* automationDate);
