#include "feeds/search_indexer.h"

#include <pthread.h>

#include "store/search_index.h"

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
            lock.unlock();
            indexed = IndexQueuedSearchItems(m_connection, kBatch);
            lock.lock();
        } while (indexed > 0 && !m_stop);
    }
}
