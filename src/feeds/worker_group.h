#pragma once

#include <atomic>
#include <cstddef>
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

// Runs work(0) ... work(count - 1) on `threads` threads (the caller's among them), each taking
// the next index not yet taken, until every index is taken or `stop` is set; returns when all
// of them are done.
void ShareAmongThreads(std::size_t count, int threads, const std::atomic<bool>& stop,
                       const std::function<void(std::size_t)>& work);
