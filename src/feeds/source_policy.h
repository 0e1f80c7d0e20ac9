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
// A pass leaves alone a source that is gone (410 Gone three times in a row, a day apart),
// one the server deferred (429 or 503 with a Retry-After still ahead) until the moment it
// named, and one that keeps failing until its back-off has passed: a minute after the first
// failure, doubling with each further one, at most a day. A 410 that has not repeated that
// often waits a day, so that a server's mistake for a minute does not silence a feed for good.
// A success or an explicit request (the one-channel refresh, a channel just added) resets the
// counts; an explicit request also tries a gone source once more, but waits for a deferral,
// which the server asked for. A fetch that failed at the proxy is no failure of the source: it
// leaves the source's counts as they were, and the next pass asks again.

// The longest a source waits: for its back-off, and for a server's Retry-After.
constexpr std::chrono::hours kLongestWait{24};

// The wait after `failures` consecutive failures (0 for none).
std::chrono::seconds BackOffDelay(int failures);

// The 410 answers in a row after which a source is given up.
constexpr int kGoneAnswersToGiveUp = 3;

enum class FetchDecision {
    kFetch,
    kSkipGone,      // given up after repeated 410s: only an explicit request fetches it
    kSkipDeferred,  // the server's Retry-After has not passed
    kSkipBackOff,   // failing (a 410 among them), and its wait has not passed
};
// Whether a pass that skips for `decision` tries the source again later by itself.
inline bool TriedAgainLater(FetchDecision decision) {
    return decision == FetchDecision::kSkipDeferred || decision == FetchDecision::kSkipBackOff;
}
FetchDecision DecideFetch(const std::optional<SourceStatus>& status, TimePoint now,
                          bool explicitRequest);

// The httpStatus of a kProxyError whose proxy rejected the user and password.
constexpr int kProxyAuthStatus = 407;

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
