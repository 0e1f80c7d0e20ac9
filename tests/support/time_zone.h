#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets the machine's time zone for this process (TZ, as POSIX writes it: "CST-8" is China,
// "EST5EDT,M3.2.0,M11.1.0" US Eastern; no zone database needed) for as long as it lives, and
// puts back the one before. Make it before any thread that reads local time starts.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* before = std::getenv("TZ")) {
            m_before = before;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_before) {
            setenv("TZ", m_before->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_before;
};
