#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Moments as the program writes them down (UTC, to the second) and as HTTP servers write
// them. Thread-safe: nothing here keeps state.

using TimePoint = std::chrono::system_clock::time_point;

// "YYYY-MM-DDTHH:MM:SSZ": sorts as the moments do.
std::string UtcTimeText(TimePoint moment);
// The moment of a UtcTimeText; nothing for any other text (an empty one among them).
std::optional<TimePoint> ParseUtcTimeText(std::string_view text);

// An HTTP date in any of the three forms HTTP allows ("Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"); nothing when it is none.
std::optional<TimePoint> ParseHttpDate(std::string_view text);

// When a Retry-After header value `value`, received at `now`, allows the next request: a
// count of seconds or an HTTP date. Nothing when the value is neither.
std::optional<TimePoint> RetryAfterTime(std::string_view value, TimePoint now);
