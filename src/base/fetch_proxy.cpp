#include "base/fetch_proxy.h"

#include <cstdlib>
#include <mutex>

#include "base/ascii.h"

namespace {

// The process's proxy: guarded by g_processProxyMutex, copied out whole by each fetch.
std::mutex g_processProxyMutex;
FetchProxy g_processProxy;

constexpr int kHighestPort = 65535;

// The first variable of `names` that is set and not empty, or "".
std::string FirstSet(const EnvironmentReader& environment,
                     std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = environment(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

ProxyRoute SystemRoute(std::string_view url, const EnvironmentReader& environment) {
    ProxyRoute route;
    const bool secure = StartsWithIgnoreAsciiCase(url, "https://");
    // Only the lower-case http_proxy: a CGI program's environment carries the request's
    // "Proxy:" header as HTTP_PROXY.
    route.address = secure ? FirstSet(environment, {"https_proxy", "HTTPS_PROXY"})
                           : FirstSet(environment, {"http_proxy"});
    if (route.address.empty()) {
        route.address = FirstSet(environment, {"all_proxy", "ALL_PROXY"});
    }
    if (!route.address.empty() &&
        ExemptFromProxy(HostOfAddress(url), FirstSet(environment, {"no_proxy", "NO_PROXY"}))) {
        route.address.clear();
    }
    return route;
}

bool UsableHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '/' || c == '@' || c == '?' || c == '#') {
            return false;
        }
    }
    return true;
}

ProxyRoute ManualRoute(const FetchProxy& proxy) {
    ProxyRoute route;
    if (!UsableHost(proxy.host) || proxy.port < 1 || proxy.port > kHighestPort) {
        route.unusable = true;
        return route;
    }
    // An IPv6 address goes in brackets; a SOCKS5 proxy resolves the server's name itself, so
    // that names the local resolver cannot see still work through it.
    const bool ipv6 = proxy.host.find(':') != std::string::npos && proxy.host.front() != '[';
    route.address = std::string(proxy.kind == ProxyKind::kSocks5 ? "socks5h://" : "http://") +
                    (ipv6 ? "[" + proxy.host + "]" : proxy.host) + ":" + std::to_string(proxy.port);
    if (!proxy.user.empty()) {
        route.user = proxy.user;
        route.password = proxy.password;
    }
    return route;
}

}  // namespace

std::string HostOfAddress(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    std::string_view authority = url.substr(scheme + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        return std::string(
            authority.substr(1, close == std::string_view::npos ? close : close - 1));
    }
    return std::string(authority.substr(0, authority.find(':')));
}

bool ExemptFromProxy(std::string_view host, std::string_view noProxy) {
    while (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    while (!noProxy.empty()) {
        const std::size_t end = noProxy.find_first_of(", \t");
        std::string_view entry = noProxy.substr(0, end);
        noProxy = end == std::string_view::npos ? std::string_view() : noProxy.substr(end + 1);
        if (entry == "*") {
            return true;
        }
        while (!entry.empty() && entry.front() == '.') {
            entry.remove_prefix(1);
        }
        if (entry.empty() || host.size() < entry.size()) {
            continue;
        }
        const std::string_view tail = host.substr(host.size() - entry.size());
        if (EqualsIgnoreAsciiCase(tail, entry) &&
            (host.size() == entry.size() || host[host.size() - entry.size() - 1] == '.')) {
            return true;
        }
    }
    return false;
}

ProxyRoute RouteFor(const FetchProxy& proxy, std::string_view url,
                    const EnvironmentReader& environment) {
    switch (proxy.mode) {
        case ProxyMode::kNone:
            return {};
        case ProxyMode::kManual:
            return ManualRoute(proxy);
        case ProxyMode::kSystem:
            break;
    }
    return SystemRoute(
        url, environment ? environment : [](const char* name) {
            return static_cast<const char*>(std::getenv(name));
        });
}

void SetProcessProxy(const FetchProxy& proxy) {
    std::lock_guard lock(g_processProxyMutex);
    g_processProxy = proxy;
}

FetchProxy ProcessProxy() {
    std::lock_guard lock(g_processProxyMutex);
    return g_processProxy;
}
