#pragma once

#include <QString>
#include <string>

#include "base/fetch_proxy.h"

// The window's proxy: the setting of data/settings.conf with its password from the secret
// store, applied to every fetch (SetProcessProxy) and to the embedded browser (Qt's
// application proxy, which Chromium's network stack adopts), at start and after 系统设置.
//
// The secret store can block for as long as the keyring's unlock prompt is open: its calls
// run on a thread of their own while the window keeps servicing events.
//
// Thread rule: window thread only.
class CProxyCommands {
public:
    // Reads the setting of the data folder `dataFolder` and applies it. A note for the status
    // bar when its password could not be read, "" otherwise.
    QString Start(const std::string& dataFolder);
    // The setting applied, its password among it.
    const FetchProxy& Current() const { return m_current; }
    // After the settings dialog's OK (the setting but its password already in the settings):
    // keeps `proxy`'s password in the secret store when it changed (removes it when it was
    // emptied, or the user was), and applies `proxy`. A note for the status bar when the password
    // could not be kept, "" otherwise.
    QString Change(const FetchProxy& proxy);

    // Puts `proxy` in force for the fetches and for Qt's network access.
    static void Apply(const FetchProxy& proxy);

private:
    std::string m_folder;
    FetchProxy m_current;
};
