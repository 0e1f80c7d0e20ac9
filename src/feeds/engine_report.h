#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/source_status.h"

// What one update (a search pass and the subscribed-feed pass started together) came to,
// so far or in the end.
struct UpdateTally {
    int done = 0;   // sources taken in hand: fetched, or left alone by their record
    int total = 0;  // sources planned
    int newItems = 0;
    int failedSources = 0;  // fetches whose outcome is a failure
    // Sources left alone by their record until later: a back-off (a 410 waiting for its
    // repeat among them) or the server's Retry-After. Sources given up are not counted.
    int laterSources = 0;
    // The search pass: the service it asked (an engine index), its fetches and those that
    // gave a feed, and the outcome of the first that did not. When several were tried and
    // none gave a feed, the service did not answer.
    int engine = 0;
    int searchTried = 0;
    int searchFed = 0;
    SourceOutcome searchFailure = SourceOutcome::kOk;
    int searchFailureStatus = 0;
    // The update was stopped before its end (shutdown, or storing failed).
    bool stopped = false;
    // Fetches that got an answer from a server, whatever it said (all but network errors):
    // none with failures means no connection could be made at all.
    int reachedSources = 0;
    // Fetches that failed at the proxy (neither reached nor the servers' fault).
    int proxyFailedSources = 0;
    // The first channels with a failed source, kNamedFailingChannels at most, in the order
    // they failed, and whether other channels failed besides.
    static constexpr std::size_t kNamedFailingChannels = 3;
    std::vector<std::string> failingChannels;
    bool moreChannelsFailed = false;

    bool SearchServiceSilent() const { return searchTried > 0 && searchFed == 0; }
    bool NothingReached() const { return failedSources > 0 && reachedSources == 0; }
    // Counts a source of `channel` whose fetch came to `outcome`.
    void NoteSource(const std::string& channel, SourceOutcome outcome) {
        const bool failed = IsFailedOutcome(outcome);
        failedSources += failed ? 1 : 0;
        reachedSources +=
            outcome != SourceOutcome::kNetworkError && outcome != SourceOutcome::kProxyError ? 1
                                                                                             : 0;
        proxyFailedSources += outcome == SourceOutcome::kProxyError ? 1 : 0;
        if (failed) {
            NoteFailingChannel(channel);
        }
    }
    // Notes a failed source of `channel` (names compare ignoring ASCII case).
    void NoteFailingChannel(const std::string& channel) {
        for (const std::string& named : failingChannels) {
            if (EqualsIgnoreAsciiCase(named, channel)) {
                return;
            }
        }
        if (failingChannels.size() < kNamedFailingChannels) {
            failingChannels.push_back(channel);
        } else {
            moreChannelsFailed = true;
        }
    }
};

// Something the user must hear of while the store starts and the engine runs: the window
// shows it in its status bar, the command-line tool on stderr, each in its own words.
struct EngineReport {
    enum Kind {
        kServicesLine,      // a line of data/services.conf that is not understood
        kStoreFailed,       // a statement failed for another reason than a duplicate: storing
                            // stopped for this run
        kRowsMerged,        // opening brought a file of the first builds up to date, and merged
                            // channels whose names differ only in case, or items found to be one
        kUpdateProgress,    // an update took another source in hand (tally: done and total)
        kUpdateDone,        // an update ended, with every feed it fetched stored (tally)
        kSettingsNotSaved,  // a settings file could not be written (detail: its path;
                            // errorNumber: why); made once per run, at the first failure
    };
    Kind kind = kStoreFailed;
    int line = 0;            // kServicesLine: the line's number, counted from 1
    std::string detail;      // the line as written, or the database's error text
    int channelsMerged = 0;  // kRowsMerged: channels given to another of the same name
    int itemsMerged = 0;     // kRowsMerged: items found to be another item of their channel
    int errorNumber = 0;     // kSettingsNotSaved: the system's reason, an errno value
    UpdateTally tally;       // kUpdateProgress, kUpdateDone
};

// A report of `kind` saying `detail`; the caller fills in what else its kind carries.
inline EngineReport ReportOf(EngineReport::Kind kind, std::string detail = {}) {
    EngineReport report;
    report.kind = kind;
    report.detail = std::move(detail);
    return report;
}

// Called on any thread, the engine's among them; it must not wait for the window thread.
using EngineReporter = std::function<void(const EngineReport&)>;
