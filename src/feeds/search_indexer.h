#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class CAdoConnection;

// Takes the stored news waiting in the search index's queue into the index, on a thread of
// its own, so that storing news does not pay for the index (store/search_index.h). Woken
// whenever news was stored; works in small batches, each its own short transaction, so that
// storing threads and the window are never kept from writing for long. A search indexes what
// is still queued itself, so nothing depends on how far this has come.
//
// Thread rule: Start, Stop and the destructor are called from one thread (the one that starts
// and stops the engine); Wake from any thread.
class CSearchIndexer {
public:
    // Items per batch: about 20 ms of work.
    static constexpr int kBatch = 200;

    explicit CSearchIndexer(const CAdoConnection& connection);
    ~CSearchIndexer();
    CSearchIndexer(const CSearchIndexer&) = delete;
    CSearchIndexer& operator=(const CSearchIndexer&) = delete;

    // Starts the thread, which first indexes whatever an earlier run left queued.
    void Start();
    // Ends the thread after its current batch; what is left stays queued.
    void Stop();
    void Wake();

private:
    void Run();

    const CAdoConnection& m_connection;
    std::thread m_thread;
    // The stop flag and the wake request; guarded by m_mutex, signalled through m_signal.
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_stop = false;
    bool m_wake = false;
};
