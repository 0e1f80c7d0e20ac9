#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "feeds/ttrss_client.h"

class CAdoConnection;
class SubscriptionTree;

// What one sync did, or why it stopped.
struct SyncSummary {
    TtRssFailure failure = TtRssFailure::kNone;
    std::string detail;         // the failure in the words of the server or the system
    int feedsAdded = 0;         // server feeds that became channels
    int feedsRemoved = 0;       // channels whose feed went from the server (their news stay)
    int feedsUnsubscribed = 0;  // feeds unsubscribed there as their channels were deleted here
    int feedsRenamed = 0;       // channels renamed as their feeds were on the server
    int feedsMoved = 0;         // channels moved as their feeds changed category there
    int foldersRenamed = 0;     // folders renamed as their categories were there
    int itemsStored = 0;        // new items stored
    int markedRead = 0;         // items read on the server, marked read here
    int markedUnread = 0;       // and the other way
    int starsChanged = 0;       // stars set or taken off here as on the server
    int changesSent = 0;        // read and starred changes made here, sent to the server
    int keywordsWatched = 0;    // keyword channels newly subscribed on the server
    int keywordsUnwatched = 0;  // and unsubscribed there (the channel went, or was renamed)
    int keywordsRefused = 0;    // search addresses the server would not subscribe
    int requests = 0;           // requests sent to the server

    bool ok() const { return failure == TtRssFailure::kNone; }
};

// Where a sync is, for whoever shows its progress.
struct SyncProgress {
    enum Step {
        kSubscriptions,  // the server's feeds and categories, the watched keywords
        kArticles,       // a page of new articles (`page` from 1; `stored` so far)
        kState,          // the read and starred changes, both ways
    };
    Step step = kSubscriptions;
    int page = 0;
    int stored = 0;
};
using SyncProgressFn = std::function<void(const SyncProgress& progress)>;

// A keyword channel whose search address the server is to fetch for it.
struct WatchedKeyword {
    std::string channel;
    std::string address;  // as it goes on the wire (see ToWireUrl)
};

// Brings the database and the tree in step with the account's server, both ways:
//  - a folder named after the server's host, right below the root, holds a channel for each
//    server feed (in a sub-folder for its category); a feed gone from the server takes its
//    channel out of the tree (`removeNode`), keeping its news; a feed renamed or moved to
//    another category there, or a category renamed, renames or moves its channel or folder;
//    a feed whose channel was deleted here (QueueUnsubscribes) is unsubscribed there;
//  - the articles since the last whole pass are stored in their feeds' channels with the
//    duplicate rule of every item; each page of them is one transaction, so a pass cut short
//    stores nothing twice and the next pass finishes it;
//  - each of `watched` is subscribed on the server (its articles go to its keyword channel,
//    never to the server's folder), and a search address subscribed for a channel that is no
//    longer among them is unsubscribed there;
//  - the read and starred changes made here (sync_queue) are sent, one request for many
//    articles, then the server's state of every synced item is taken over. A change made
//    here since the last sync wins over the server's: the server does not say when its
//    changes were made.
// `stop` (may be null) abandons the sync between requests. `progress` (may be null) hears of
// each step before it starts, and of each page of articles; it is called on the sync's thread.
// Runs on the calling thread.
SyncSummary RunTtRssSync(CTtRssClient& client, CAdoConnection& store, SubscriptionTree& tree,
                         const std::function<bool(int nodeId)>& removeNode,
                         const std::vector<WatchedKeyword>& watched = {},
                         const std::atomic<bool>* stop = nullptr,
                         const SyncProgressFn& progress = nullptr);

// The host of a server address ("https://news.example.com:8080/tt-rss" gives
// "news.example.com"), the name of its folder in the tree.
std::string ServerFolderName(std::string_view address);
