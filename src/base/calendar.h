#pragma once

// The Gregorian calendar rules, the one place the program keeps them.

// Divisible by 4 and not by 100, or divisible by 400. Works for any int year.
bool IsLeapYear(int year);

// 28-31 for months 1-12 of `year`; 0 for any other month number.
int DaysInMonth(int month, int year);

// Whether year-month-day names a real day of the years 100 to 9999, the range a stored date
// may take.
bool IsCalendarDate(int year, int month, int day);
