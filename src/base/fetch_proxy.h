#pragma once

#include <functional>
#include <string>
#include <string_view>

// The proxy every fetch goes through, and the route a fetch of one address takes.
//
// Three modes: the system's (the environment's http_proxy, https_proxy, all_proxy and
// no_proxy, upper-case forms too except HTTP_PROXY, which a web server's CGI may set from a
// request), none at all (an http_proxy of the environment is ignored), or one the user named:
// an HTTP or SOCKS5 proxy with a host, a port and, optionally, a user and a password.

enum class ProxyMode { kSystem, kNone, kManual };
enum class ProxyKind { kHttp, kSocks5 };

struct FetchProxy {
    ProxyMode mode = ProxyMode::kSystem;
    ProxyKind kind = ProxyKind::kHttp;
    std::string host;
    int port = 0;
    std::string user;      // "" for none
    std::string password;  // only with a user

    bool operator==(const FetchProxy&) const = default;
};

// How a fetch of one address goes.
struct ProxyRoute {
    // The proxy for libcurl ("http://host:port", "socks5h://host:port", or the environment's
    // value as it is), "" to go straight to the server.
    std::string address;
    std::string user;
    std::string password;
    // A manual proxy that cannot be used (no host, a port out of range): the fetch fails as
    // a proxy that cannot be reached, rather than going round the proxy the user chose.
    bool unusable = false;

    bool ViaProxy() const { return !address.empty() || unusable; }
};

// Reads an environment variable: the value, or null when it is not set.
using EnvironmentReader = std::function<const char*(const char*)>;

// The route of a fetch of `url` under `proxy`; the system mode reads `environment` (getenv
// when empty).
ProxyRoute RouteFor(const FetchProxy& proxy, std::string_view url,
                    const EnvironmentReader& environment = {});

// Whether `host` is one that `noProxy` (a no_proxy value: names and addresses separated by
// commas or blanks, "*" for every host) exempts: the host itself or a name under a listed
// domain, a leading dot ignored, case ignored.
bool ExemptFromProxy(std::string_view host, std::string_view noProxy);

// The host part of an http or https address ("" when it has none), without brackets.
std::string HostOfAddress(std::string_view url);

// The process's proxy, used by every fetch that names none of its own (FetchOptions::proxy).
// Set by the window at start and when the settings change, by the command-line tool at
// start. Any thread; a fetch in flight keeps the proxy it started with.
void SetProcessProxy(const FetchProxy& proxy);
FetchProxy ProcessProxy();
