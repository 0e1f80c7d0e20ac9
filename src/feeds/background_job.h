#pragma once

#include <atomic>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

// Runs one job (a read of a list or a feed the user named) on a thread of its own, so that the
// window stays responsive while a slow server answers.
//
// Thread rule: Start, Stop, Join and the destructor are called by the owning thread; the job's
// thread only reads the stop flag and clears the running flag as its last act, after `done`
// has run. Running may be asked from any thread.
template <typename Result>
class CBackgroundJob {
public:
    using Job = std::function<Result(const std::atomic<bool>* stop)>;
    using Done = std::function<void(Result)>;

    CBackgroundJob() = default;
    // Stop().
    ~CBackgroundJob() { Stop(); }
    CBackgroundJob(const CBackgroundJob&) = delete;
    CBackgroundJob& operator=(const CBackgroundJob&) = delete;

    // Starts `job`; `done` (which must not throw) is called once, on the job's thread, with
    // its result. False, starting nothing, while an earlier job has not been joined or when no
    // thread can be started.
    bool Start(Job job, Done done) {
        if (m_thread.joinable()) {
            return false;
        }
        m_stop = false;
        m_running = true;
        try {
            m_thread = std::thread([this, job = std::move(job), done = std::move(done)] {
                done(job(&m_stop));
                m_running = false;
            });
        } catch (const std::system_error&) {
            m_running = false;
            return false;
        }
        return true;
    }
    // Sets the stop flag (a fetch in flight is abandoned within a tenth of a second) and joins
    // the thread.
    void Stop() {
        m_stop = true;
        Join();
    }
    // Waits for the job's thread to end.
    void Join() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool Running() const { return m_running.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::thread m_thread;  // touched only by the owning thread
};
