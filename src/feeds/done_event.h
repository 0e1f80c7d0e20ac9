#pragma once

#include <condition_variable>
#include <mutex>

// A signal that a pass has ended. Once set it stays set until Reset, so any number of
// waiters (the shutdown, a command-line run) see it.
class DoneEvent {
public:
    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_set = true;
        }
        m_changed.notify_all();
    }
    void Reset() {
        std::lock_guard lock(m_mutex);
        m_set = false;
    }
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_set; });
    }
    // Waits at most `timeout`; returns whether the event is set.
    template <typename Duration>
    bool WaitFor(Duration timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_set; });
    }
    bool IsSet() const {
        std::lock_guard lock(m_mutex);
        return m_set;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set = false;  // guarded by m_mutex
};
