#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class CAdoConnection;

// Takes the stored news waiting in the search index's queue into the index, on a thread of
// its own, so that storing news does not pay for the index (store/search_index.h). Woken
// whenever news was stored; works in small batches, each its own short transaction, so that
// storing threads and the window are never kept from writing for long. It gives way to
// storing: no batch starts while a writer holds a Storing scope, and a batch that runs when
// one begins commits after its current chunk. It runs at a lower priority than the window and
// the engine. A search indexes what is still queued itself, so nothing depends on how far this
// has come.
//
// Thread rule: Start, Stop and the destructor are called from one thread (the one that starts
// and stops the engine); Wake and Storing scopes from any thread.
class CSearchIndexer {
public:
    // Items per batch: about 20 ms of work; a chunk, after which a batch gives way, about 2 ms.
    static constexpr int kBatch = 200;
    static constexpr int kChunk = 20;
    // Terms of an earlier file's index whose words are read in one go (FillSearchWords).
    static constexpr int kWordBatch = 500;

    // Held by a thread while it stores news, so that the indexer keeps off the write lock.
    class Storing {
    public:
        explicit Storing(CSearchIndexer& indexer);
        ~Storing();
        Storing(const Storing&) = delete;
        Storing& operator=(const Storing&) = delete;

    private:
        CSearchIndexer& m_indexer;
    };

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
    bool WritersWaiting() const { return m_writers.load(std::memory_order_acquire) > 0; }

    const CAdoConnection& m_connection;
    std::thread m_thread;
    // How many Storing scopes are alive; changed by their threads, read by the indexer. The
    // last one to end signals m_signal (under m_mutex, so the indexer cannot miss it).
    std::atomic<int> m_writers{0};
    // The stop flag and the wake request; guarded by m_mutex, signalled through m_signal.
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_stop = false;
    bool m_wake = false;
};
