#include "store/proxy_settings.h"

#include "base/ascii.h"

namespace {

struct ModeName {
    ProxyMode mode;
    const char* name;
};
constexpr ModeName kModeNames[] = {
    {ProxyMode::kSystem, "system"}, {ProxyMode::kNone, "none"}, {ProxyMode::kManual, "manual"}};

}  // namespace

FetchProxy LoadProxySetting(const CAppSettings& settings) {
    FetchProxy proxy;
    const std::string mode = settings.Get(kProxyModeKey);
    for (const ModeName& known : kModeNames) {
        if (EqualsIgnoreAsciiCase(mode, known.name)) {
            proxy.mode = known.mode;
        }
    }
    proxy.kind = EqualsIgnoreAsciiCase(settings.Get(kProxyTypeKey), "socks5") ? ProxyKind::kSocks5
                                                                              : ProxyKind::kHttp;
    proxy.host = settings.Get(kProxyHostKey);
    proxy.port = settings.Get(kProxyPortKey);
    proxy.user = settings.Get(kProxyUserKey);
    return proxy;
}

void SaveProxySetting(CAppSettings& settings, const FetchProxy& proxy) {
    for (const ModeName& known : kModeNames) {
        if (known.mode == proxy.mode) {
            settings.Set(kProxyModeKey, known.name);
        }
    }
    settings.Set(kProxyTypeKey, proxy.kind == ProxyKind::kSocks5 ? "socks5" : "http");
    settings.Set(kProxyHostKey, proxy.host);
    settings.Set(kProxyPortKey, proxy.port);
    settings.Set(kProxyUserKey, proxy.user);
}
