#include "feeds/opml_list_fetch.h"

#include <exception>
#include <system_error>

OpmlListRead ReadOpmlList(const std::string& address, const std::atomic<bool>* stop) {
    OpmlListRead result;
    try {
        FetchOptions fetch;
        fetch.stop = stop;
        COpmlDocument document;
        // The dialog's address is the user's own: a local file is read as well.
        result.loaded = document.ReadOutlines(address, AddressOrigin::kTypedByUser, fetch);
        result.outlines = document.ReadList();
    } catch (const std::exception&) {
        result = OpmlListRead();
        result.failed = true;
    }
    return result;
}

COpmlListFetch::~COpmlListFetch() {
    Stop();
}

bool COpmlListFetch::Start(std::string address, Done done) {
    if (m_thread.joinable()) {
        return false;
    }
    m_stop = false;
    m_running = true;
    try {
        m_thread = std::thread([this, address = std::move(address), done = std::move(done)] {
            done(ReadOpmlList(address, &m_stop));
            m_running = false;
        });
    } catch (const std::system_error&) {
        m_running = false;
        return false;
    }
    return true;
}

void COpmlListFetch::Stop() {
    m_stop = true;
    Join();
}

void COpmlListFetch::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
