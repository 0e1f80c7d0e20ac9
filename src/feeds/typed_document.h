#pragma once

#include <atomic>
#include <string>

// Why a document the user named (to subscribe to a list or a feed) could not be read.
enum class TypedDocumentFailure {
    kNone,
    kHttpStatus,      // the server answered with an error status (TypedDocument::status)
    kUnreachable,     // no answer, or the answer broke off: refused, unknown host, time-out
    kTooLarge,        // the document is larger than any feed may be
    kFileMissing,     // a local path that names nothing
    kFileUnreadable,  // a local path that is no regular file, or cannot be read
    kAbandoned,       // the stop flag ended the read
};

// The bytes of a document at an address the user typed or chose, or why there are none.
struct TypedDocument {
    TypedDocumentFailure failure = TypedDocumentFailure::kNone;
    long status = 0;      // the HTTP status of a kHttpStatus failure
    std::string detail;   // why, for diagnostics ("" when read)
    std::string bytes;    // the document as it came
    std::string charset;  // the answer's HTTP charset ("" for none, and for a file)

    bool ok() const { return failure == TypedDocumentFailure::kNone; }
};

// Reads the document at `address`: an http or https address with the fetch limits every feed
// has, or else a local path (the user's own: a regular file within the same size limit).
// `stop`, when set, abandons a fetch in flight.
TypedDocument ReadTypedDocument(const std::string& address,
                                const std::atomic<bool>* stop = nullptr);
