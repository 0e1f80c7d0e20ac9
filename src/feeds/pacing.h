#pragma once

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

    void Pause(Duration duration) const {
        if (m_enabled.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(duration);
        }
    }

    void SetEnabled(bool enabled) { m_enabled.store(enabled, std::memory_order_relaxed); }
    bool Enabled() const { return m_enabled.load(std::memory_order_relaxed); }

private:
    // Set from any thread, read by the engine's threads.
    std::atomic<bool> m_enabled{true};
};
