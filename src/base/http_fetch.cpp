#include "base/http_fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "base/ascii.h"
#include "base/charset.h"
#include "base/version.h"

namespace {

constexpr int kStopPollMs = 100;

void EnsureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// Removes the easy handle from the multi handle before either is cleaned up.
class MultiAttachment {
public:
    MultiAttachment(CURLM* multi, CURL* easy) : m_multi(multi), m_easy(easy) {
        curl_multi_add_handle(m_multi, m_easy);
    }
    ~MultiAttachment() { curl_multi_remove_handle(m_multi, m_easy); }
    MultiAttachment(const MultiAttachment&) = delete;
    MultiAttachment& operator=(const MultiAttachment&) = delete;

private:
    CURLM* m_multi;
    CURL* m_easy;
};

struct BodySink {
    std::string* body;
    std::size_t limit;
    CURL* easy;
    bool tooLarge = false;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t bytes = size * count;
    if (sink->body->size() + bytes > sink->limit) {
        sink->tooLarge = true;
        return 0;  // makes libcurl fail the transfer
    }
    if (sink->body->empty()) {
        // The announced length, within the limit, at once: a body of many pieces is then
        // not copied again each time the string outgrows itself.
        curl_off_t announced = -1;
        if (curl_easy_getinfo(sink->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) ==
                CURLE_OK &&
            announced > 0) {
            sink->body->reserve(std::min(static_cast<std::size_t>(announced), sink->limit));
        }
    }
    sink->body->append(data, bytes);
    return bytes;
}

std::string CharsetOf(const char* contentType) {
    if (contentType == nullptr) {
        return {};
    }
    const std::string_view type(contentType);
    for (std::size_t i = 0; i + 8 <= type.size(); ++i) {
        if (EqualsIgnoreAsciiCase(type.substr(i, 8), "charset=")) {
            std::string_view value = type.substr(i + 8);
            value = value.substr(0, value.find_first_of("; \t"));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
    }
    return {};
}

bool NeedsEscape(unsigned char c) {
    if (c >= 0x80 || c <= 0x20 || c == 0x7F) {
        return true;
    }
    switch (c) {
        case '"':
        case '<':
        case '>':
        case '\\':
        case '^':
        case '`':
        case '{':
        case '|':
        case '}':
            return true;
        default:
            return false;
    }
}

bool DeclaresGbkQuery(std::string_view url) {
    const std::size_t query = url.find('?');
    return query != std::string_view::npos &&
           ContainsIgnoreAsciiCase(url.substr(query), "ie=gb2312");
}

// A validator fit to go back in a request header: short, and nothing that could end the
// header line (a stored value is data like any other).
bool SendableValidator(std::string_view value) {
    if (value.empty() || value.size() > kMaxValidatorBytes) {
        return false;
    }
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

// The conditional request headers for `validators`; null when none can be sent.
HeaderList ConditionalHeaders(const FetchValidators& validators) {
    curl_slist* list = nullptr;
    const auto append = [&list](const char* name, const std::string& value) {
        if (SendableValidator(value)) {
            curl_slist* longer = curl_slist_append(list, (name + value).c_str());
            list = longer ? longer : list;
        }
    };
    append("If-None-Match: ", validators.etag);
    append("If-Modified-Since: ", validators.lastModified);
    return HeaderList(list);
}

// The value of the header `name` in the last answer of the transfer, or "".
std::string AnswerHeader(CURL* easy, const char* name) {
    curl_header* header = nullptr;
    if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
        return {};
    }
    const std::string_view value(header->value);
    return SendableValidator(value) ? std::string(value) : std::string();
}

void SetOptions(CURL* easy, const std::string& wireUrl, const FetchLimits& limits, BodySink* sink,
                char* errorBuffer) {
    curl_easy_setopt(easy, CURLOPT_URL, wireUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, limits.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kProgramUserAgent);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, sink);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
}

void SetRoute(CURL* easy, const ProxyRoute& route) {
    // An empty proxy keeps libcurl from taking one from the environment; a proxy set here
    // serves every host, the environment's no_proxy having been applied by RouteFor.
    curl_easy_setopt(easy, CURLOPT_PROXY, route.address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    if (!route.user.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, route.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, route.password.c_str());
    }
}

// Whether a SOCKS proxy's failure is the server's, relayed: the proxy answered, but could not
// reach the server the address names.
bool RelayedServerFailure(long proxyError) {
    switch (proxyError) {
        case CURLPX_REPLY_CONNECTION_REFUSED:
        case CURLPX_REPLY_HOST_UNREACHABLE:
        case CURLPX_REPLY_NETWORK_UNREACHABLE:
        case CURLPX_REPLY_TTL_EXPIRED:
        case CURLPX_RESOLVE_HOST:
            return true;
        default:
            return false;
    }
}

bool CredentialsFailure(long proxyError) {
    return proxyError == CURLPX_USER_REJECTED || proxyError == CURLPX_NO_AUTH ||
           proxyError == CURLPX_LONG_USER || proxyError == CURLPX_LONG_PASSWD;
}

// What the proxy had to do with a failed transfer. A server's own answer (a 502 the proxy
// relays, a refusal a SOCKS proxy reports) is the server's failure, not the proxy's.
ProxyFailure ProxyFailureOf(CURL* easy, CURLcode outcome, long status, bool viaProxy) {
    if (outcome == CURLE_COULDNT_RESOLVE_PROXY) {
        return ProxyFailure::kUnreachable;
    }
    if (!viaProxy) {
        return ProxyFailure::kNone;
    }
    long tunnelStatus = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
    // A tunnel's answer is always the proxy's: some proxies answer a wrong password with 401.
    if (status == 407 || tunnelStatus == 407 || tunnelStatus == 401) {
        return ProxyFailure::kCredentialsRejected;
    }
    if (outcome == CURLE_OK) {
        return ProxyFailure::kNone;
    }
    // Through a proxy, the only connection the program makes is to the proxy.
    curl_off_t connected = 0;
    curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected);
    if (outcome == CURLE_COULDNT_CONNECT ||
        (outcome == CURLE_OPERATION_TIMEDOUT && connected == 0)) {
        return ProxyFailure::kUnreachable;
    }
    if (outcome == CURLE_PROXY) {
        long proxyError = CURLPX_OK;
        curl_easy_getinfo(easy, CURLINFO_PROXY_ERROR, &proxyError);
        return CredentialsFailure(proxyError)     ? ProxyFailure::kCredentialsRejected
               : RelayedServerFailure(proxyError) ? ProxyFailure::kNone
                                                  : ProxyFailure::kUnreachable;
    }
    // A tunnel the proxy would not open: refused outright (4xx), or the server could not be
    // reached (5xx, the server's failure).
    return tunnelStatus >= 400 && tunnelStatus < 500 ? ProxyFailure::kUnreachable
                                                     : ProxyFailure::kNone;
}

bool IsTlsFailure(CURLcode outcome) {
    switch (outcome) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return true;
        default:
            return false;
    }
}

// Fills in what the finished transfer came to: status, charset, validators, and whether it
// delivered a document.
void Conclude(CURL* easy, CURLcode outcome, bool tooLarge, bool conditional, bool viaProxy,
              const char* errorBuffer, FetchResult* result) {
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result->status);
    if (!result->abandoned) {
        result->proxyFailure = ProxyFailureOf(easy, outcome, result->status, viaProxy);
    }
    result->retryAfter = AnswerHeader(easy, "Retry-After");
    const char* contentType = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType);
    result->charset = CharsetOf(contentType);

    if (result->abandoned) {
        result->error = "abandoned";
    } else if (tooLarge || outcome == CURLE_FILESIZE_EXCEEDED) {
        result->tooLarge = true;
        result->error = "body over the size limit";
    } else if (outcome != CURLE_OK) {
        result->error = errorBuffer[0] ? errorBuffer : curl_easy_strerror(outcome);
        result->tlsFailure = IsTlsFailure(outcome);
    } else if (result->proxyFailure != ProxyFailure::kNone) {
        result->error = "the proxy asks for a user and password (HTTP 407)";
    } else if (result->status == 304 && conditional) {
        result->notModified = true;
        result->error = "not modified";
    } else if (result->status < 200 || result->status > 299) {
        result->error = "HTTP status " + std::to_string(result->status);
    } else {
        result->ok = true;
        result->validators = {AnswerHeader(easy, "ETag"), AnswerHeader(easy, "Last-Modified")};
    }
    if (!result->ok) {
        result->body.clear();
    }
}

}  // namespace

bool IsHttpAddress(std::string_view source) {
    return StartsWithIgnoreAsciiCase(source, "http://") ||
           StartsWithIgnoreAsciiCase(source, "https://");
}

std::string ToWireUrl(std::string_view url, bool gbkQuery) {
    const std::size_t scheme = url.find("://");
    const std::size_t authorityEnd =
        scheme == std::string_view::npos ? 0 : url.find_first_of("/?#", scheme + 3);
    if (authorityEnd == std::string_view::npos) {
        return std::string(url);
    }
    std::string rest(url.substr(authorityEnd));
    std::string converted;
    if ((gbkQuery || DeclaresGbkQuery(url)) &&
        ConvertCharset("UTF-8", "GB18030", rest, &converted)) {
        rest = std::move(converted);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string wire(url.substr(0, authorityEnd));
    for (char c : rest) {
        const auto byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            wire.push_back('%');
            wire.push_back(kHex[byte >> 4]);
            wire.push_back(kHex[byte & 0x0F]);
        } else {
            wire.push_back(c);
        }
    }
    return wire;
}

FetchResult FetchUrl(std::string_view url, const FetchOptions& options) {
    FetchResult result;
    if (!IsHttpAddress(url)) {
        result.error = "not an http or https address";
        return result;
    }
    EnsureCurlInitialised();
    EasyHandle easy(curl_easy_init());
    MultiHandle multi(curl_multi_init());
    if (!easy || !multi) {
        result.error = "cannot create a transfer";
        return result;
    }
    const std::string wireUrl = ToWireUrl(url, options.gbkQuery);
    BodySink sink{&result.body, options.limits.maxBodyBytes, easy.get()};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    SetOptions(easy.get(), wireUrl, options.limits, &sink, errorBuffer);
    const ProxyRoute route = RouteFor(options.proxy ? *options.proxy : ProcessProxy(), url);
    if (route.unusable) {
        result.error = "the proxy has no host or no port";
        result.proxyFailure = ProxyFailure::kUnreachable;
        return result;
    }
    SetRoute(easy.get(), route);
    if (!options.userAgent.empty()) {
        curl_easy_setopt(easy.get(), CURLOPT_USERAGENT, options.userAgent.c_str());
    }
    HeaderList conditional = ConditionalHeaders(options.conditional);
    HeaderList jsonHeaders;
    if (options.jsonBody) {
        // A redirect of a POST must not become a GET that a login page answers with HTML
        // the caller then takes for the answer; it stays a POST (or fails).
        curl_easy_setopt(easy.get(), CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(options.jsonBody->size()));
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, options.jsonBody->c_str());
        jsonHeaders.reset(curl_slist_append(nullptr, "Content-Type: application/json"));
        curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, jsonHeaders.get());
    } else if (conditional) {
        curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, conditional.get());
    }

    // Only a transfer that libcurl reports done, and done well, is a success: one that ended
    // any other way delivered part of a document at most.
    CURLcode outcome = CURLE_RECV_ERROR;
    {
        MultiAttachment attachment(multi.get(), easy.get());
        int running = 1;
        while (running > 0) {
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                break;
            }
            if (running == 0) {
                break;
            }
            if (options.stop && options.stop->load(std::memory_order_relaxed)) {
                result.abandoned = true;
                break;
            }
            curl_multi_poll(multi.get(), nullptr, 0, kStopPollMs, nullptr);
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                outcome = message->data.result;
            }
        }
    }
    Conclude(easy.get(), outcome, sink.tooLarge, !options.jsonBody && conditional != nullptr,
             route.ViaProxy(), errorBuffer, &result);
    return result;
}
