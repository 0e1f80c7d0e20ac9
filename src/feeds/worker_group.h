#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

// Owns short-lived worker threads (one per stored feed or refreshed channel) so that every
// one of them is joined: finished ones are reaped whenever a new one starts, JoinAll waits
// for the rest. Thread-safe.
class WorkerGroup {
public:
    WorkerGroup() = default;
    ~WorkerGroup() { JoinAll(); }
    WorkerGroup(const WorkerGroup&) = delete;
    WorkerGroup& operator=(const WorkerGroup&) = delete;

    void Start(std::function<void()> work);
    // Joins every thread started so far, including any started while it waits.
    void JoinAll();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    void ReapFinished();

    std::mutex m_mutex;
    std::list<Worker> m_workers;  // guarded by m_mutex
};
