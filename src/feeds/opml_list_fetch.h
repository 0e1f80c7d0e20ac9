#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "feeds/opml_document.h"

// Why an OPML list could not be read for a subscription.
enum class OpmlListFailure {
    kNone,            // read, and it names at least one feed
    kHttpStatus,      // the server answered with an error status (OpmlListRead::status)
    kUnreachable,     // no answer, or the answer broke off: refused, unknown host, time-out
    kTooLarge,        // the list is larger than any feed may be
    kFileMissing,     // a local path that names nothing
    kFileUnreadable,  // a local path that is no regular file, or cannot be read
    kNotOpml,         // what came is not well-formed XML, or its root is not <opml>
    kNoFeeds,         // an OPML list in which no outline, at any depth, is a feed
    kAbandoned,       // the stop flag ended the read
    kError,           // reading raised an error (such as running out of memory)
};

// What reading an OPML list for a subscription gave.
struct OpmlListRead {
    OpmlListFailure failure = OpmlListFailure::kNone;
    long status = 0;                     // the HTTP status of a kHttpStatus failure
    std::string detail;                  // why, for diagnostics ("" when read)
    std::vector<COpmlOutline> outlines;  // in document order, as COpmlDocument collects them

    bool ok() const { return failure == OpmlListFailure::kNone; }
};

// Reads the OPML list at `address`, a local path or an http/https address that the user
// typed or chose, with the fetch limits every feed has, and says why it could not. `stop`,
// when set, abandons a fetch in flight. Throws nothing.
OpmlListRead ReadOpmlList(const std::string& address, const std::atomic<bool>* stop = nullptr);

// Reads one OPML list on a thread of its own, so that the window stays responsive while a
// slow server answers.
//
// Thread rule: Start, Stop, Join and the destructor are called by the owning thread; the
// reading thread only reads the stop flag and clears the running flag as its last act, after
// `done` has run. Running may be asked from any thread.
class COpmlListFetch {
public:
    using Done = std::function<void(OpmlListRead)>;

    COpmlListFetch() = default;
    // Stop().
    ~COpmlListFetch();
    COpmlListFetch(const COpmlListFetch&) = delete;
    COpmlListFetch& operator=(const COpmlListFetch&) = delete;

    // Starts reading `address`; `done` (which must not throw) is called once, on the reading
    // thread, with the result (an abandoned fetch gives kAbandoned). False,
    // starting nothing, while an earlier read has not been joined or when no thread can be
    // started.
    bool Start(std::string address, Done done);
    // Abandons the fetch in flight (within a tenth of a second) and joins the thread.
    void Stop();
    // Waits for the reading thread to end.
    void Join();
    bool Running() const { return m_running.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::thread m_thread;  // touched only by the owning thread
};
