#include "feeds/worker_group.h"

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
