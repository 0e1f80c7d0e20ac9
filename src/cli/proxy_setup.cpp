// The proxy of quillon-cli: the setting the window keeps in the data folder.

#include <cstdio>

#include "cli/cli_commands.h"
#include "store/proxy_settings.h"
#include "store/secret_store.h"

void UseProxySetting(const std::string& chosen) {
    const std::string folder = chosen.empty() ? DefaultDataFolder() : AbsoluteFolder(chosen);
    // Only read: a folder without settings (not laid out yet) gives the default, the system's
    // proxy.
    CAppSettings settings;
    settings.Load(folder + "/data/settings.conf");
    FetchProxy proxy = LoadProxySetting(settings);
    if (NeedsProxyPassword(proxy)) {
        const SecretResult password = CSecretStore(folder).Lookup(kProxySecretName);
        if (password.ok) {
            proxy.password = password.secret;
        } else {
            // The proxy then rejects the user, and each source says so.
            std::fprintf(stderr, "quillon-cli: the proxy's password cannot be read%s%s\n",
                         password.failure.empty() ? "" : ": ", password.failure.c_str());
        }
        if (password.fileWasExposed) {
            std::fprintf(stderr,
                         "quillon-cli: %s could be read by other users; it is private now, but "
                         "the passwords in it may have been read\n",
                         CSecretStore(folder).FilePath().c_str());
        }
    }
    SetProcessProxy(proxy);
}
