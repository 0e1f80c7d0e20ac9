#pragma once

#include "store/app_settings.h"

// The sync account in data/settings.conf: the server's address and the user. The password is
// never written there: it is kept in the secret store (store/secret_store.h) under
// kSyncSecretName. No address means no account.
constexpr CAppSettings::TextKey kSyncServerKey{"sync.server", ""};
constexpr CAppSettings::TextKey kSyncUserKey{"sync.user", ""};
// "由服务器代为监视关键词": the search addresses of the keyword channels are subscribed on the
// server, which keeps fetching them while this computer is off.
constexpr CAppSettings::IntKey kSyncWatchKeywordsKey{"sync.watch_keywords", 1, 0, 1};

// The secret store's name for the account's password, and its label in the desktop's keyring.
constexpr char kSyncSecretName[] = "sync";
constexpr char kSyncSecretLabel[] = "Quillon 同步账户密码";
