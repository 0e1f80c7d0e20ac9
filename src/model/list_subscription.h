#pragma once

#include <functional>
#include <string>
#include <vector>

#include "feeds/opml_document.h"
#include "model/fetch_watch.h"
#include "model/subscription.h"

class CAdoConnection;

// What subscribing an OPML list's outlines did.
struct ListSubscription {
    int added = 0;     // channels added
    int existing = 0;  // channels that were there already (their feeds now stored)
    int folders = 0;   // folders made
    int skipped = 0;   // outlines neither a feed nor holding one, or with nothing to call them
    int unstored = 0;  // outlines whose feed or folder could not be stored
    // The channels added, in list order: they are fetched at once.
    std::vector<std::string> channels;
    // Their feeds, each with the channel that fetches it.
    std::vector<WatchedFeed> feeds;
};

// Subscribes the outlines `outlines` (as COpmlDocument reads them) into the folder `folderId`:
// each folder of the list becomes a sub-folder at its path (one of that name is reused), each
// feed a channel of its folder named by PlaceFeed (numbered where the name is taken, never
// joining another channel's news), its feed row stored before the channel is added so that it
// is fetched with it at once. The outlines of one folder that share a name are one channel
// with all their feeds, as Quillon's export writes a channel of several feeds. A channel of a
// quillon:keyword outline searches for its name as that outline says; any other does not.
ListSubscription SubscribeOutlines(SubscriptionTree& tree, CAdoConnection& store, int folderId,
                                   const std::vector<COpmlOutline>& outlines);
// The same into the folder `folder` gives when it is first needed (-1: none can be made, and
// the outlines are not stored), so that a list of which nothing is stored makes no folder.
ListSubscription SubscribeOutlines(SubscriptionTree& tree, CAdoConnection& store,
                                   const std::function<int()>& folder,
                                   const std::vector<COpmlOutline>& outlines);
