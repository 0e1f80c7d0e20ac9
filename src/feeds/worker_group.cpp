#include "feeds/worker_group.h"

#include <vector>

void WorkerGroup::Start(std::function<void()> work) {
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([work = std::move(work), finished] {
        work();
        finished->store(true, std::memory_order_release);
    });
    std::lock_guard lock(m_mutex);
    ReapFinished();
    m_workers.push_back({std::move(thread), std::move(finished)});
}

void WorkerGroup::ReapFinished() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->finished->load(std::memory_order_acquire)) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerGroup::JoinAll() {
    while (true) {
        std::list<Worker> joining;
        {
            std::lock_guard lock(m_mutex);
            joining.swap(m_workers);
        }
        if (joining.empty()) {
            return;
        }
        for (Worker& worker : joining) {
            worker.thread.join();
        }
    }
}

void ShareAmongThreads(std::size_t count, int threads, const std::atomic<bool>& stop,
                       const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        for (std::size_t i = next++; i < count && !stop; i = next++) {
            work(i);
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads && static_cast<std::size_t>(i) < count; ++i) {
        helpers.emplace_back(take);
    }
    take();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}
