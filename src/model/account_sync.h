#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "model/ttrss_sync.h"
#include "store/keyword_tree_file.h"

class CFeedStore;
class CAdoConnection;
class SubscriptionTree;

// One sync with the account of `store`'s settings, over `tree` (see RunTtRssSync), its outcome
// kept as the account's source status; nothing when no account is set. The store must be open.
std::optional<SyncSummary> SyncWithAccount(CFeedStore& store, SubscriptionTree& tree,
                                           const std::function<bool(int nodeId)>& removeNode,
                                           const std::atomic<bool>* stop = nullptr,
                                           const SyncProgressFn& progress = nullptr);
// The same over the tree file itself (document/keywordlist.xml), for the tool: a damaged one
// stops the sync before any request, after `onDamage` (may be null) heard of it.
std::optional<SyncSummary> SyncWithAccount(
    CFeedStore& store,
    const std::function<void(const std::string& path, const TreeFileDamage& damage)>& onDamage =
        nullptr,
    const std::atomic<bool>* stop = nullptr, const SyncProgressFn& progress = nullptr);

// Channels `names` were deleted from the tree, from the branch of the folder `topFolder` right
// below the root: when that is the account's server folder, their feeds are queued to be
// unsubscribed there by the next sync (the queue is kept in the database, across restarts and
// a server that is down). False when the database refused.
bool QueueDeletedChannels(CFeedStore& store, const std::vector<std::string>& names,
                          const std::string& topFolder);

// The channels whose news the account's server fetches, by name: a channel of the server's
// folder (true) or a keyword channel whose search address it watches (false). Empty when the
// query fails.
std::map<std::string, bool, LessIgnoreAsciiCase> ServerFetchedChannels(CAdoConnection& store);

// What is left to fetch here of `channels` while the server fetches `serverFetched` (see
// ServerFetchedChannels): a channel of the server's folder not at all, a watched keyword
// channel without the search for its name (its subscribed feeds are still fetched here).
std::vector<ChannelKeyword> ChannelsLeftToFetch(
    const std::vector<ChannelKeyword>& channels,
    const std::map<std::string, bool, LessIgnoreAsciiCase>& serverFetched);
