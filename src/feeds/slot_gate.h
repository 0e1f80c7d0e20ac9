#pragma once

#include <condition_variable>
#include <mutex>

// A counting gate: Acquire takes one of `slots` places, waiting while none is free; Release
// gives one back and may be called by another thread than the one that took it.
class SlotGate {
public:
    explicit SlotGate(int slots) : m_free(slots) {}

    void Acquire() {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return m_free > 0; });
        --m_free;
    }
    void Release() {
        {
            std::lock_guard lock(m_mutex);
            ++m_free;
        }
        m_released.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    int m_free;  // guarded by m_mutex
};
