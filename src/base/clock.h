#pragma once

#include <chrono>
#include <optional>

// The program's one source of "now". Everything that asks for today's date (age categories,
// retention cut-offs, today's list, export time stamps) goes through here, so a test can fix
// the moment for the whole process.

struct CalendarTime {
    int year = 0;
    int month = 0;    // 1-12
    int day = 0;      // 1-31
    int weekday = 0;  // 0 = Sunday ... 6 = Saturday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

std::chrono::system_clock::time_point ClockNow();

// Broken-down now in the machine's local time zone and in UTC.
CalendarTime LocalNow();
CalendarTime UtcNow();

// Fixes the clock at `moment`, or releases it with std::nullopt. Thread-safe.
void FixClock(std::optional<std::chrono::system_clock::time_point> moment);

// Fixes the clock for the lifetime of the object (tests).
class ScopedFixedClock {
public:
    explicit ScopedFixedClock(std::chrono::system_clock::time_point moment) { FixClock(moment); }
    ~ScopedFixedClock() { FixClock(std::nullopt); }
    ScopedFixedClock(const ScopedFixedClock&) = delete;
    ScopedFixedClock& operator=(const ScopedFixedClock&) = delete;
};
