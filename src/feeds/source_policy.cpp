#include "feeds/source_policy.h"

#include <algorithm>

namespace {

constexpr std::chrono::seconds kFirstBackOff{60};

bool After(const std::string& momentText, TimePoint now) {
    const std::optional<TimePoint> moment = ParseUtcTimeText(momentText);
    return moment && *moment > now;
}

}  // namespace

std::chrono::seconds BackOffDelay(int failures) {
    if (failures <= 0) {
        return std::chrono::seconds(0);
    }
    const std::chrono::seconds longest = kLongestWait;
    std::chrono::seconds delay = kFirstBackOff;
    for (int i = 1; i < failures && delay < longest; ++i) {
        delay *= 2;
    }
    return std::min(delay, longest);
}

FetchDecision DecideFetch(const std::optional<SourceStatus>& status, TimePoint now,
                          bool explicitRequest) {
    if (!status) {
        return FetchDecision::kFetch;
    }
    if (status->outcome == SourceOutcome::kDeferred) {
        return After(status->retryAfter, now) ? FetchDecision::kSkipDeferred
                                              : FetchDecision::kFetch;
    }
    // A proxy that failed says nothing of the source: it is asked again at the next pass.
    if (explicitRequest || status->outcome == SourceOutcome::kProxyError) {
        return FetchDecision::kFetch;
    }
    if (status->outcome == SourceOutcome::kGone && status->goneCount >= kGoneAnswersToGiveUp) {
        return FetchDecision::kSkipGone;
    }
    // A 410 not yet repeated enough is asked again a day later, whatever came before it.
    const std::chrono::seconds wait = status->outcome == SourceOutcome::kGone
                                          ? std::chrono::seconds(kLongestWait)
                                          : BackOffDelay(status->failures);
    const std::optional<TimePoint> lastAttempt = ParseUtcTimeText(status->lastAttempt);
    if (IsFailedOutcome(status->outcome) && lastAttempt && now < *lastAttempt + wait) {
        return FetchDecision::kSkipBackOff;
    }
    return FetchDecision::kFetch;
}

FetchVerdict ClassifyFetch(const FetchResult& answer, bool feedRead, TimePoint now) {
    FetchVerdict verdict;
    verdict.httpStatus = static_cast<int>(answer.status);
    if (answer.proxyFailure != ProxyFailure::kNone) {
        // The feed is not to blame: its record says the proxy failed, and the 407 that tells a
        // rejected password apart.
        verdict.outcome = SourceOutcome::kProxyError;
        verdict.httpStatus =
            answer.proxyFailure == ProxyFailure::kCredentialsRejected ? kProxyAuthStatus : 0;
    } else if (answer.notModified) {
        verdict.outcome = SourceOutcome::kNotModified;
    } else if (answer.ok) {
        verdict.outcome = feedRead ? SourceOutcome::kOk : SourceOutcome::kNotAFeed;
    } else if (answer.status == 410) {
        verdict.outcome = SourceOutcome::kGone;
    } else if (const std::optional<TimePoint> retry = RetryAfterTime(answer.retryAfter, now);
               (answer.status == 429 || answer.status == 503) && retry && *retry > now) {
        verdict.outcome = SourceOutcome::kDeferred;
        // A server that names a moment further away than the longest wait is more likely
        // wrong than meaning it: the source is tried again after a day. A moment gone by (or
        // a delay of 0) defers nothing: the answer is a failure like any other, with its
        // back-off, so that such a server is not asked again at every pass.
        verdict.retryAfter = std::min(*retry, now + kLongestWait);
    } else if (answer.status >= 300) {
        verdict.outcome = SourceOutcome::kHttpError;
    } else {
        // No answer, or a success whose body did not arrive whole.
        verdict.outcome = SourceOutcome::kNetworkError;
    }
    return verdict;
}

SourceStatus NextStatus(const std::optional<SourceStatus>& previous, std::string_view channel,
                        std::string_view address, std::string_view service,
                        const FetchVerdict& verdict, TimePoint now, std::string_view passTime,
                        bool explicitRequest) {
    SourceStatus status;
    status.channel = channel;
    status.address = address;
    status.service = service;
    status.outcome = verdict.outcome;
    status.httpStatus = verdict.httpStatus;
    status.lastAttempt = UtcTimeText(now);
    status.passTime = passTime;
    if (!IsFailedOutcome(verdict.outcome)) {
        status.lastSuccess = status.lastAttempt;
        return status;
    }
    status.lastSuccess = previous ? previous->lastSuccess : std::string();
    if (verdict.outcome == SourceOutcome::kProxyError) {
        // Not the source's failure: its counts stay as they were.
        status.failures = previous ? previous->failures : 0;
        status.goneCount = previous ? previous->goneCount : 0;
        return status;
    }
    const bool counting = previous && !explicitRequest;
    status.failures = (counting ? previous->failures : 0) + 1;
    if (verdict.outcome == SourceOutcome::kGone) {
        status.goneCount =
            (counting && previous->outcome == SourceOutcome::kGone ? previous->goneCount : 0) + 1;
    }
    if (verdict.retryAfter) {
        status.retryAfter = UtcTimeText(*verdict.retryAfter);
    }
    return status;
}
