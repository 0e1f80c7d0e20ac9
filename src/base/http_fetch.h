#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// Every fetch of a feed or an OPML list goes through FetchUrl: http and https only,
// redirects followed, compressed bodies accepted, time-outs and a body cap, and a stop
// flag that abandons the transfer within a tenth of a second.

struct FetchLimits {
    std::chrono::milliseconds connectTimeout{15'000};
    std::chrono::milliseconds totalTimeout{60'000};
    std::size_t maxBodyBytes = 16u * 1024 * 1024;
    long maxRedirects = 5;
};

struct FetchOptions {
    // When set and true, the transfer is abandoned. Owned by the caller; read only.
    const std::atomic<bool>* stop = nullptr;
    FetchLimits limits;
    // The query's words go on the wire as GBK: set by the caller for a service known to
    // expect it (see ToWireUrl).
    bool gbkQuery = false;
};

struct FetchResult {
    bool ok = false;         // a 2xx answer whose whole body arrived within the limits
    long status = 0;         // HTTP status of the last answer, 0 if none
    std::string body;        // decoded body (empty unless ok)
    std::string charset;     // charset parameter of the answer's Content-Type, or ""
    std::string error;       // why it failed, for diagnostics
    bool abandoned = false;  // stopped through FetchOptions::stop
};

FetchResult FetchUrl(std::string_view url, const FetchOptions& options = {});

// The address as it goes on the wire: the part after the host with every byte above 0x7F,
// every blank and control character and the characters "<>\^`{|} percent-encoded. Words of
// a query that expects GBK (`gbkQuery`, or a query that declares ie=gb2312) are first
// converted from UTF-8 to GB18030, others stay UTF-8.
std::string ToWireUrl(std::string_view url, bool gbkQuery = false);

// True for an address with the http or https scheme (case-insensitive).
bool IsHttpAddress(std::string_view source);
