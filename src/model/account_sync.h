#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "base/ascii.h"
#include "model/ttrss_sync.h"
#include "store/keyword_tree_file.h"

class CFeedStore;
class CAdoConnection;

// One sync with the account of `store`'s settings, its outcome kept as the account's source
// status; nothing when no account is set. The store must be open. The sync reads and writes
// the tree file itself (document/keywordlist.xml); a damaged one stops it before any request,
// after `onDamage` (may be null) heard of it. `stop` (may be null) abandons it between
// requests. Used by the tool's sync and update and by the window's, so that both do the same.
std::optional<SyncSummary> SyncWithAccount(
    CFeedStore& store,
    const std::function<void(const std::string& path, const TreeFileDamage& damage)>& onDamage =
        nullptr,
    const std::atomic<bool>* stop = nullptr);

// The channels whose news the account's server fetches, by name: a channel of the server's
// folder (true) or a keyword channel whose search address it watches (false). Empty when the
// query fails.
std::map<std::string, bool, LessIgnoreAsciiCase> ServerFetchedChannels(CAdoConnection& store);
