#include "base/clock.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <limits>

namespace {

constexpr std::int64_t kNotFixed = std::numeric_limits<std::int64_t>::min();

// Nanoseconds since the epoch of the fixed moment, or kNotFixed. Written by tests, read by
// any thread.
std::atomic<std::int64_t> g_fixedNanos{kNotFixed};

CalendarTime FromTm(const std::tm& tm) {
    CalendarTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.weekday = tm.tm_wday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

std::time_t NowAsTimeT() {
    return std::chrono::system_clock::to_time_t(ClockNow());
}

}  // namespace

std::chrono::system_clock::time_point ClockNow() {
    const std::int64_t fixed = g_fixedNanos.load(std::memory_order_acquire);
    if (fixed == kNotFixed) {
        return std::chrono::system_clock::now();
    }
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(fixed)));
}

void FixClock(std::optional<std::chrono::system_clock::time_point> moment) {
    if (!moment) {
        g_fixedNanos.store(kNotFixed, std::memory_order_release);
        return;
    }
    const auto nanos =
        std::chrono::duration_cast<std::chrono::nanoseconds>(moment->time_since_epoch()).count();
    g_fixedNanos.store(nanos, std::memory_order_release);
}

CalendarTime LocalNow() {
    const std::time_t now = NowAsTimeT();
    std::tm tm{};
    localtime_r(&now, &tm);
    return FromTm(tm);
}

CalendarTime UtcNow() {
    const std::time_t now = NowAsTimeT();
    std::tm tm{};
    gmtime_r(&now, &tm);
    return FromTm(tm);
}
