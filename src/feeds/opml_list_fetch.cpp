#include "feeds/opml_list_fetch.h"

#include <exception>
#include <system_error>

#include "base/local_file.h"

namespace {

OpmlListRead Failure(OpmlListFailure failure, std::string detail) {
    OpmlListRead read;
    read.failure = failure;
    read.detail = std::move(detail);
    return read;
}

// The list's bytes from the server, or why there are none.
OpmlListRead FromServer(const FetchResult& fetched) {
    if (fetched.abandoned) {
        return Failure(OpmlListFailure::kAbandoned, fetched.error);
    }
    if (fetched.tooLarge) {
        return Failure(OpmlListFailure::kTooLarge, fetched.error);
    }
    if (fetched.status != 0 && (fetched.status < 200 || fetched.status > 299)) {
        OpmlListRead read = Failure(OpmlListFailure::kHttpStatus, fetched.error);
        read.status = fetched.status;
        return read;
    }
    return Failure(OpmlListFailure::kUnreachable, fetched.error);
}

OpmlListRead FromFile(const LocalFile& file) {
    switch (file.outcome) {
        case LocalFile::kMissing:
            return Failure(OpmlListFailure::kFileMissing, file.error);
        case LocalFile::kTooLarge:
            return Failure(OpmlListFailure::kTooLarge, file.error);
        case LocalFile::kAbandoned:
            return Failure(OpmlListFailure::kAbandoned, file.error);
        default:
            return Failure(OpmlListFailure::kFileUnreadable, file.error);
    }
}

bool NamesAFeed(const std::vector<COpmlOutline>& outlines) {
    for (const COpmlOutline& outline : outlines) {
        if (outline.kind == COpmlOutline::kFeed || outline.kind == COpmlOutline::kKeyword) {
            return true;
        }
    }
    return false;
}

OpmlListRead ReadList(const std::string& address, const std::atomic<bool>* stop) {
    FetchOptions fetch;
    fetch.stop = stop;
    std::string bytes;
    std::string charset;
    if (IsHttpAddress(address)) {
        FetchResult fetched = FetchUrl(address, fetch);
        if (!fetched.ok) {
            return FromServer(fetched);
        }
        bytes = std::move(fetched.body);
        charset = std::move(fetched.charset);
    } else {
        // The dialog's address is the user's own: a local file is read as well.
        LocalFile file = ReadLocalFile(address, fetch.limits.maxBodyBytes, stop);
        if (!file.ok()) {
            return FromFile(file);
        }
        bytes = std::move(file.bytes);
    }
    COpmlDocument document;
    if (!document.ReadOutlinesFromBytes(bytes, charset, ParseLimitsOf(fetch))) {
        if (stop && stop->load()) {
            return Failure(OpmlListFailure::kAbandoned, "abandoned");
        }
        return Failure(OpmlListFailure::kNotOpml, "not well-formed XML");
    }
    if (!document.IsOpml()) {
        return Failure(OpmlListFailure::kNotOpml, "the root element is not <opml>");
    }
    OpmlListRead read;
    read.outlines = document.ReadList();
    if (!NamesAFeed(read.outlines)) {
        read.failure = OpmlListFailure::kNoFeeds;
        read.detail = "no outline is a feed";
    }
    return read;
}

}  // namespace

OpmlListRead ReadOpmlList(const std::string& address, const std::atomic<bool>* stop) {
    try {
        return ReadList(address, stop);
    } catch (const std::exception& error) {
        return Failure(OpmlListFailure::kError, error.what());
    }
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
