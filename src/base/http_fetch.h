#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/fetch_proxy.h"

// Every fetch of a feed or an OPML list goes through FetchUrl: http and https only,
// redirects followed, compressed bodies accepted, time-outs and a body cap, and a stop
// flag that abandons the transfer within a tenth of a second. It goes through the proxy of
// the process (see fetch_proxy.h) unless the options name another.

struct FetchLimits {
    std::chrono::milliseconds connectTimeout{15'000};
    std::chrono::milliseconds totalTimeout{60'000};
    std::size_t maxBodyBytes = 16u * 1024 * 1024;
    long maxRedirects = 5;
};

// What a server said of the document it sent, for asking later whether it changed: the
// answer's ETag and Last-Modified header values as they came ("" where it sent none).
struct FetchValidators {
    std::string etag;
    std::string lastModified;

    bool empty() const { return etag.empty() && lastModified.empty(); }
    bool operator==(const FetchValidators&) const = default;
};

// The longest validator value sent or reported; a longer one is treated as absent.
constexpr std::size_t kMaxValidatorBytes = 511;

struct FetchOptions {
    // When set and true, the transfer is abandoned. Owned by the caller; read only.
    const std::atomic<bool>* stop = nullptr;
    FetchLimits limits;
    // The query's words go on the wire as GBK: set by the caller for a service known to
    // expect it (see ToWireUrl).
    bool gbkQuery = false;
    // Validators of an earlier answer for this address, sent as If-None-Match and
    // If-Modified-Since: a server whose document has not changed then answers 304 without
    // it. A value over kMaxValidatorBytes or with a control character is not sent.
    FetchValidators conditional;
    // The proxy settings for this fetch; null for the process's (ProcessProxy).
    const FetchProxy* proxy = nullptr;
    // When set, the request is a POST of this body as application/json instead of a GET.
    // Owned by the caller.
    const std::string* jsonBody = nullptr;
    // Sent instead of the program's user agent when not empty (a server that binds its
    // sessions to the agent needs one that stays the same for a whole session).
    std::string userAgent;
};

// A fetch that failed at the proxy rather than at the server.
enum class ProxyFailure {
    kNone,
    // The proxy's name does not resolve, it refuses the connection or does not answer in
    // time, or it refuses to carry the request (a manual proxy without host or port too).
    kUnreachable,
    // It asks for a user and password (407), or rejects the ones sent.
    kCredentialsRejected,
};

struct FetchResult {
    bool ok = false;         // a 2xx answer whose whole body arrived within the limits
    long status = 0;         // HTTP status of the last answer, 0 if none
    std::string body;        // decoded body (empty unless ok)
    std::string charset;     // charset parameter of the answer's Content-Type, or ""
    std::string error;       // why it failed, for diagnostics
    bool abandoned = false;  // stopped through FetchOptions::stop
    bool tooLarge = false;   // the body ran past FetchLimits::maxBodyBytes
    // A 304 answer to a request that sent validators: the document is unchanged since the
    // answer they came from. No document arrived, so `ok` stays false.
    bool notModified = false;
    // The validators of a 2xx answer (see FetchValidators); empty otherwise.
    FetchValidators validators;
    // The Retry-After header of the last answer, as it came ("" where it sent none).
    std::string retryAfter;
    // Why a fetch through a proxy failed at the proxy; kNone otherwise (a server's failure
    // relayed by the proxy among them).
    ProxyFailure proxyFailure = ProxyFailure::kNone;
    // The TLS handshake failed or the server's certificate was not accepted; `error` says why.
    bool tlsFailure = false;
};

FetchResult FetchUrl(std::string_view url, const FetchOptions& options = {});

// The address as it goes on the wire: the part after the host with every byte above 0x7F,
// every blank and control character and the characters "<>\^`{|} percent-encoded. Words of
// a query that expects GBK (`gbkQuery`, or a query that declares ie=gb2312) are first
// converted from UTF-8 to GB18030, others stay UTF-8.
std::string ToWireUrl(std::string_view url, bool gbkQuery = false);

// True for an address with the http or https scheme (case-insensitive).
bool IsHttpAddress(std::string_view source);
