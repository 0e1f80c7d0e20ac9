#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "base/http_fetch.h"
#include "base/utc_time.h"
#include "store/source_status.h"

// How the engine treats a source by its record (store/source_status.h): whether a pass
// fetches it now, and what a fetch makes of the record. Pure functions of their arguments.
//
// A pass leaves alone a source that is gone (410), one the server deferred (429 or 503 with
// Retry-After) until the moment it named, and one that keeps failing until its back-off has
// passed: a minute after the first failure, doubling with each further one, at most a day.
// A success or an explicit request (the one-channel refresh, a channel just added) resets the
// count; an explicit request also tries a gone source once more, but waits for a deferral,
// which the server asked for.

// The longest a source waits: for its back-off, and for a server's Retry-After.
constexpr std::chrono::hours kLongestWait{24};

// The wait after `failures` consecutive failures (0 for none).
std::chrono::seconds BackOffDelay(int failures);

enum class FetchDecision {
    kFetch,
    kSkipGone,      // 410 earlier: only an explicit request fetches it
    kSkipDeferred,  // the server's Retry-After has not passed
    kSkipBackOff,   // failing, and its back-off has not passed
};
FetchDecision DecideFetch(const std::optional<SourceStatus>& status, TimePoint now,
                          bool explicitRequest);

// What one fetch came to.
struct FetchVerdict {
    SourceOutcome outcome = SourceOutcome::kOk;
    int httpStatus = 0;
    std::optional<TimePoint> retryAfter;  // kDeferred: when it may be fetched again
};
// `answer` is the fetch's result, `feedRead` whether its body was read as a feed, `now` when
// the answer came.
FetchVerdict ClassifyFetch(const FetchResult& answer, bool feedRead, TimePoint now);

// The record after a fetch of `channel`'s source at `address` (of `service`, "" for a
// subscribed feed) that came to `verdict` at `now`, in the pass or refresh begun at
// `passTime`. New items are 0: the storing thread sets them.
SourceStatus NextStatus(const std::optional<SourceStatus>& previous, std::string_view channel,
                        std::string_view address, std::string_view service,
                        const FetchVerdict& verdict, TimePoint now, std::string_view passTime,
                        bool explicitRequest);
