#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "model/node_map.h"
#include "store/source_status.h"

class CAdoConnection;
class CSysData;
struct AccessDate;

// Labels every tree node with its count of recent news, "name|count": a channel's count is
// the number of its items newer than the retention period, a folder's the sum over every
// channel below it; beside the label goes how many of those are unread. Each label comes with
// the node's tooltip (its whole name, its counts and, for a channel, each source of its latest
// update with the outcome) and, for a channel with a failing subscribed feed (or whose sources all
// failed), a warning mark. A pass reads the counts and the sources' outcomes of the channels
// whose sources were recorded since the pass before (SourcesChanged), or every channel's (at
// the first pass, when woken by Wake, after a change of the tree or of the cut-off date and at
// least once a minute), each with one statement; sums the folders from the node map and hands
// the labels and unread counts that changed to the window in one batch. The first pass runs at
// once. The next runs
// when woken (a feed was stored, the tree or the settings changed), or when a check at every
// interval finds the retention cut-off date or the tree changed, and at least once a minute for
// writers that wake nobody (another process on the same database). Ends when the database is found
// closed at the start of a pass, or when stopped.
//
// The refresher runs on a thread of its own and reaches the window only through `setLabels`,
// which must not wait for the window thread (the tree posts it to its own thread), so the
// window thread can stop and join the refresher at any time without the two waiting for each
// other.
class CCountRefresher {
public:
    struct LabelChange {
        CNodeMap::Handle item = CNodeMap::kNoItem;
        std::string label;
        std::string tooltip;
        bool warning = false;  // a channel with a failing source (FailureMarkShown)
        int unread = 0;        // how many of the label's count are unread
        // The node map generation the label was counted at. A label that reaches the window
        // after the tree changed may belong to a renamed node or to a deleted item whose
        // handle a new item reuses; the change wakes a pass that sends every label again.
        std::uint64_t generation = 0;
    };
    using LabelSink = std::function<void(std::vector<LabelChange> changes)>;

    // The time between checks when nothing wakes the refresher; the longest time between two
    // passes; the least time between the end of one pass and the start of a woken one (so
    // that a busy update, storing feed after feed, does not keep it counting).
    static constexpr std::chrono::milliseconds kInterval{5000};
    static constexpr std::chrono::milliseconds kLongestGap{60000};
    static constexpr std::chrono::milliseconds kLeastGap{250};
    // The least gap before a pass woken only by SourcesChanged.
    static constexpr std::chrono::milliseconds kLeastGapForNews{1000};
    // Beyond this many channels whose sources changed, a pass reads every channel's again.
    static constexpr std::size_t kMostChannelsReread = 200;

    CCountRefresher(CAdoConnection& connection, const CSysData& settings, CNodeMap& nodes,
                    LabelSink setLabels);
    ~CCountRefresher();
    CCountRefresher(const CCountRefresher&) = delete;
    CCountRefresher& operator=(const CCountRefresher&) = delete;

    void Start();
    // Sets the stop flag, wakes a wait and joins the thread.
    void Stop();
    // Asks for a pass that counts every channel again, as soon as the least gap allows;
    // requests made before it starts are one. Any thread.
    void Wake();
    // Says that a source of `channel` had its outcome recorded, and its news perhaps stored:
    // the next pass, which this asks for, reads that channel's counts and sources again. Any
    // thread.
    void SourcesChanged(std::string_view channel);
    bool Finished() const { return m_finished.load(); }
    int PassesCompleted() const { return m_passes.load(); }

    // One label text: "name|count".
    static std::string Label(const std::string& name, int count);

private:
    using Clock = std::chrono::steady_clock;

    // What the counts depend on besides the stored items, which change only through the
    // update engine (and it wakes the refresher).
    struct Inputs {
        std::string cutoff;  // the retention cut-off date, as a date literal
        std::uint64_t generation = 0;
        bool operator==(const Inputs&) const = default;
    };

    void Run();
    // The inputs a pass counted with, or nothing once stopped. A failed statement gives
    // inputs that match no others, so the next check runs a pass again.
    std::optional<Inputs> RunPass();
    AccessDate Cutoff() const;
    struct ChannelCounts {
        CNodeMap::CountsByName recent;
        CNodeMap::CountsByName unread;
    };
    // What changed since the last pass took them.
    struct Changed {
        bool all = false;  // Wake was called
        std::set<std::string, LessIgnoreAsciiCase> channels;
    };
    Changed TakeChanged();
    // The recent and unread counts by name of `channels` (every channel's when empty), or
    // nothing when the statement fails.
    std::optional<ChannelCounts> ReadRecentCounts(const AccessDate& cutoff,
                                                  const std::vector<std::string>& channels) const;
    // Brings m_counts up to date for a pass over the tree of `generation`; false when the
    // statement failed.
    bool ReadCounts(const AccessDate& cutoff, std::uint64_t generation, const Changed& changed);
    // Brings m_sources up to date for a pass over the tree of `generation`. True when every
    // channel's were read, false when only those of `changed`.
    bool ReadSources(std::uint64_t generation, const Changed& changed);
    // `sourcesOf`: the channels whose sources were read again (every one when null).
    std::vector<LabelChange> ChangedLabels(
        const CNodeMap::Counts& counts, const SourcesByChannel& sources,
        const std::set<std::string, LessIgnoreAsciiCase>* sourcesOf);
    // Waits for a wake, the stop, or a check that finds a pass due; false once stopped.
    bool WaitForNextPass(const Inputs& last, Clock::time_point lastPassEnd);
    bool PassDue(const Inputs& last, Clock::time_point lastPassEnd) const;
    bool Stopping();

    CAdoConnection& m_connection;
    const CSysData& m_settings;
    CNodeMap& m_nodes;
    LabelSink m_setLabels;

    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_passes{0};
    // The stop flag and the wake request, guarded by m_mutex so that a wait ends at once
    // when either is set.
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_stop = false;
    bool m_wake = false;
    // What changed since the last pass took it: by Wake, and the channels of SourcesChanged;
    // guarded by m_mutex.
    Changed m_changed;

    // Every channel's counts as last read, the cut-off date and tree generation of their
    // last reading in full, and its time; refresher thread only. No time: count all next pass.
    ChannelCounts m_counts;
    std::string m_countsCutoff;
    std::uint64_t m_countsGeneration = 0;
    std::optional<Clock::time_point> m_countsRead;

    // The latest sources of every channel, as last read, the tree generation and the time of
    // the last read of them all; refresher thread only. No time: read them all next pass.
    SourcesByChannel m_sources;
    std::uint64_t m_sourcesGeneration = 0;
    std::optional<Clock::time_point> m_sourcesRead;

    // The labels handed to the window, and the tree generation they belong to; refresher
    // thread only. A change of the tree sends every label again, since the window may have
    // reset some (a renamed node shows its bare name).
    struct Sent {
        std::string label;
        std::string tooltip;
        bool warning = false;
        int unread = 0;
        int count = 0;
        bool operator==(const Sent&) const = default;
    };
    std::map<CNodeMap::Handle, Sent> m_sent;
    std::uint64_t m_sentGeneration = 0;
};
