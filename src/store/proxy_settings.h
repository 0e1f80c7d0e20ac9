#pragma once

#include <string_view>

#include "base/fetch_proxy.h"
#include "store/app_settings.h"

// The proxy setting in data/settings.conf: mode, kind, host, port and user. The password is
// never written there: it is kept in the secret store (store/secret_store.h) under
// kProxySecretName.

// "proxy.mode": "system" (the default), "none" or "manual"; anything else reads as "system".
constexpr CAppSettings::TextKey kProxyModeKey{"proxy.mode", "system"};
// "proxy.type": "http" (the default) or "socks5".
constexpr CAppSettings::TextKey kProxyTypeKey{"proxy.type", "http"};
constexpr CAppSettings::TextKey kProxyHostKey{"proxy.host", ""};
constexpr CAppSettings::IntKey kProxyPortKey{"proxy.port", 0, 0, 65535};
constexpr CAppSettings::TextKey kProxyUserKey{"proxy.user", ""};

// The secret store's name for the proxy's password, and its label in the desktop's keyring.
constexpr char kProxySecretName[] = "proxy";
constexpr char kProxySecretLabel[] = "Quillon 网络代理密码";

// The setting as the file has it, without the password.
FetchProxy LoadProxySetting(const CAppSettings& settings);
// Writes every field of `proxy` but its password.
void SaveProxySetting(CAppSettings& settings, const FetchProxy& proxy);

// Whether the setting needs a password looked up: a manual proxy with a user.
inline bool NeedsProxyPassword(const FetchProxy& proxy) {
    return proxy.mode == ProxyMode::kManual && !proxy.user.empty();
}
