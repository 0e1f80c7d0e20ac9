#include "feeds/search_indexer.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>

#include "store/search_index.h"
#include "store/search_words.h"

namespace {

// Below the window and the engine: indexing is what may wait when the two cores are busy.
constexpr int kNiceness = 10;
// How often a wait for storing to end looks again at the stop flag, in case a wake is missed.
constexpr std::chrono::milliseconds kStoringPoll{50};

}  // namespace

CSearchIndexer::Storing::Storing(CSearchIndexer& indexer) : m_indexer(indexer) {
    m_indexer.m_writers.fetch_add(1, std::memory_order_acq_rel);
}

CSearchIndexer::Storing::~Storing() {
    if (m_indexer.m_writers.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        std::lock_guard lock(m_indexer.m_mutex);
        m_indexer.m_signal.notify_all();
    }
}

CSearchIndexer::CSearchIndexer(const CAdoConnection& connection) : m_connection(connection) {}

CSearchIndexer::~CSearchIndexer() {
    Stop();
}

void CSearchIndexer::Start() {
    Stop();
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
        m_wake = true;
    }
    m_thread = std::thread(&CSearchIndexer::Run, this);
}

void CSearchIndexer::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_signal.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CSearchIndexer::Wake() {
    {
        std::lock_guard lock(m_mutex);
        m_wake = true;
    }
    m_signal.notify_all();
}

void CSearchIndexer::Run() {
    pthread_setname_np(pthread_self(), "search-indexer");
    // On Linux a thread's niceness is its own: the window and the engine keep theirs.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNiceness);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_signal.wait(lock, [this] { return m_stop || m_wake; });
        if (m_stop) {
            return;
        }
        m_wake = false;
        // A batch that fails (the database closed, a disk full) leaves its items queued for
        // the next wake or the next search.
        int indexed = 0;
        do {
            while (WritersWaiting() && !m_stop) {
                m_signal.wait_for(lock, kStoringPoll);
            }
            if (m_stop) {
                return;
            }
            lock.unlock();
            indexed = IndexQueuedSearchItems(m_connection, kBatch, kChunk,
                                             [this] { return WritersWaiting(); });
            // With the queue empty, the words of a file of an earlier version are read from
            // its index, a range at a time, until every word has been read.
            if (indexed == 0) {
                indexed = FillSearchWords(m_connection, kWordBatch);
            }
            lock.lock();
        } while (indexed > 0 && !m_stop);
    }
}
