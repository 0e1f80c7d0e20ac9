#include "feeds/worker_group.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

using namespace std::chrono_literals;

// Each index is worked once, and two threads work side by side: the first piece waits for the
// second to start, which one thread alone could never do.
TEST(ShareAmongThreads, EveryIndexOnceAndTwoAtATime) {
    std::mutex mutex;
    std::condition_variable started;
    std::vector<int> times(50, 0);
    bool secondStarted = false;
    bool sideBySide = false;
    std::atomic<bool> stop{false};
    ShareAmongThreads(times.size(), 2, stop, [&](std::size_t i) {
        std::unique_lock lock(mutex);
        ++times[i];
        if (i == 0) {
            sideBySide = started.wait_for(lock, 5s, [&] { return secondStarted; });
        } else if (i == 1) {
            secondStarted = true;
            started.notify_all();
        }
    });
    EXPECT_TRUE(sideBySide);
    EXPECT_EQ(times, std::vector<int>(50, 1));

    // A stop leaves the indexes not yet taken; one thread takes them in order.
    std::vector<std::size_t> taken;
    ShareAmongThreads(10, 1, stop, [&](std::size_t i) {
        taken.push_back(i);
        stop = i == 3;
    });
    EXPECT_EQ(taken, (std::vector<std::size_t>{0, 1, 2, 3}));
}
