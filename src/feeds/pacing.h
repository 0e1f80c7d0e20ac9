#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

// The update engine's deliberate pauses, which keep its load on the network and the database
// low. One object per engine; tests and benchmarks switch it off.
class Pacing {
public:
    using Duration = std::chrono::milliseconds;

    static constexpr Duration kAfterSearchFetch{200};    // between search-result fetches
    static constexpr Duration kAfterSearchPage{100};     // after each page over all keywords
    static constexpr Duration kAfterOpmlHandOff{100};    // after an OPML feed went to storing
    static constexpr Duration kAfterOpmlFetch{100};      // after every OPML fetch
    static constexpr Duration kAfterOpmlKeyword{100};    // after each keyword's OPML feeds
    static constexpr Duration kAfterPass{100};           // before a pass signals that it is done
    static constexpr Duration kAfterStoredItem{10};      // between items of a fetched feed
    static constexpr Duration kAfterRefreshedItem{100};  // between items of a refreshed channel
    // The longest a pause of several sleeps without looking at its stop flag, as long as the
    // longest single pause.
    static constexpr Duration kLongestPiece{200};

    void Pause(Duration duration) const {
        if (m_enabled.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(duration);
        }
    }

    // `times` pauses of `each` taken together: the thread wakes once per piece of at most
    // kLongestPiece rather than once per pause, and looks at `stop` (may be null) before each
    // piece.
    void PauseRepeated(Duration each, int times, const std::atomic<bool>* stop) const {
        Duration left = each * std::max(times, 0);
        while (left > Duration::zero() && !(stop && stop->load(std::memory_order_relaxed)) &&
               m_enabled.load(std::memory_order_relaxed)) {
            const Duration piece = std::min(left, kLongestPiece);
            std::this_thread::sleep_for(piece);
            left -= piece;
        }
    }

    void SetEnabled(bool enabled) { m_enabled.store(enabled, std::memory_order_relaxed); }
    bool Enabled() const { return m_enabled.load(std::memory_order_relaxed); }

private:
    // Set from any thread, read by the engine's threads.
    std::atomic<bool> m_enabled{true};
};
