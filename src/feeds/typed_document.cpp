#include "feeds/typed_document.h"

#include "base/http_fetch.h"
#include "base/local_file.h"

namespace {

TypedDocument Failure(TypedDocumentFailure failure, std::string detail, long status = 0) {
    TypedDocument document;
    document.failure = failure;
    document.detail = std::move(detail);
    document.status = status;
    return document;
}

TypedDocument FromServer(FetchResult fetched) {
    if (fetched.ok) {
        TypedDocument document;
        document.bytes = std::move(fetched.body);
        document.charset = std::move(fetched.charset);
        return document;
    }
    if (fetched.abandoned) {
        return Failure(TypedDocumentFailure::kAbandoned, fetched.error);
    }
    if (fetched.tooLarge) {
        return Failure(TypedDocumentFailure::kTooLarge, fetched.error);
    }
    if (fetched.status != 0 && (fetched.status < 200 || fetched.status > 299)) {
        return Failure(TypedDocumentFailure::kHttpStatus, fetched.error, fetched.status);
    }
    return Failure(TypedDocumentFailure::kUnreachable, fetched.error);
}

TypedDocument FromFile(LocalFile file) {
    switch (file.outcome) {
        case LocalFile::kRead: {
            TypedDocument document;
            document.bytes = std::move(file.bytes);
            return document;
        }
        case LocalFile::kMissing:
            return Failure(TypedDocumentFailure::kFileMissing, file.error);
        case LocalFile::kTooLarge:
            return Failure(TypedDocumentFailure::kTooLarge, file.error);
        case LocalFile::kAbandoned:
            return Failure(TypedDocumentFailure::kAbandoned, file.error);
        default:
            return Failure(TypedDocumentFailure::kFileUnreadable, file.error);
    }
}

}  // namespace

TypedDocument ReadTypedDocument(const std::string& address, const std::atomic<bool>* stop) {
    FetchOptions fetch;
    fetch.stop = stop;
    if (IsHttpAddress(address)) {
        return FromServer(FetchUrl(address, fetch));
    }
    return FromFile(ReadLocalFile(address, fetch.limits.maxBodyBytes, stop));
}
