#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

// Keeps the fetches to one host at least kSpacing apart, whichever thread makes them: each
// fetch books the host's next free turn and waits for it. One clock serves every pass and
// refresh of an engine.
//
// Thread-safe: the turns are guarded by m_mutex, which a wait gives up while it sleeps. A wait
// sleeps until its turn without waking in between: whoever sets a stop flag a wait was given
// calls WakeWaiters afterwards.
class HostClock {
public:
    static constexpr std::chrono::milliseconds kSpacing{1000};

    // Books the next turn of `address`'s host and waits for it. False when `stop` (may be
    // null) was set while waiting; the turn stays booked.
    bool WaitTurn(std::string_view address, const std::atomic<bool>* stop);
    // Wakes every wait to look at its stop flag; call after setting one.
    void WakeWaiters();

    // The host of an address, in lower case, without user, port, path or query; "" when it
    // names none.
    static std::string HostOf(std::string_view address);

private:
    using Clock = std::chrono::steady_clock;

    std::mutex m_mutex;
    std::condition_variable m_stopped;                                 // signalled by WakeWaiters
    std::map<std::string, Clock::time_point, std::less<>> m_nextTurn;  // guarded by m_mutex
};
