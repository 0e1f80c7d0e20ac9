#include "feeds/host_clock.h"

#include <algorithm>

#include "base/ascii.h"

namespace {

// Turns long past are forgotten once the clock knows this many hosts.
constexpr std::size_t kHostsKept = 1000;

}  // namespace

std::string HostClock::HostOf(std::string_view address) {
    const std::size_t scheme = address.find("://");
    std::string_view rest = scheme == std::string_view::npos ? address : address.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    const std::size_t user = rest.rfind('@');
    if (user != std::string_view::npos) {
        rest.remove_prefix(user + 1);
    }
    // A bracketed IPv6 address keeps its colons.
    const std::size_t portColon = rest.starts_with('[') ? rest.find("]:") : rest.rfind(':');
    if (portColon != std::string_view::npos) {
        rest = rest.substr(0, portColon + (rest.starts_with('[') ? 1 : 0));
    }
    return AsciiLowered(rest);
}

bool HostClock::WaitTurn(std::string_view address, const std::atomic<bool>* stop) {
    const std::string host = HostOf(address);
    std::unique_lock lock(m_mutex);
    const Clock::time_point now = Clock::now();
    if (m_nextTurn.size() > kHostsKept) {
        std::erase_if(m_nextTurn, [now](const auto& entry) { return entry.second < now; });
    }
    Clock::time_point& next = m_nextTurn[host];
    const Clock::time_point turn = std::max(now, next);
    next = turn + kSpacing;
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    m_stopped.wait_until(lock, turn, stopped);
    return !stopped();
}

void HostClock::WakeWaiters() {
    std::lock_guard lock(m_mutex);
    m_stopped.notify_all();
}
