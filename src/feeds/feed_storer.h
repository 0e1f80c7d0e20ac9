#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "feeds/pacing.h"

class CAdoConnection;
class CRssReader;

// An item title as it is stored and compared: every "&quot", "<b>", "</b>" and "'" removed,
// in that order (the ";" that ends a double-quote entity stays).
std::string CleanTitle(std::string_view title);
// An item description as it is stored: every "'" removed.
std::string CleanDescription(std::string_view description);

struct StoreOutcome {
    bool channelCreated = false;
    int itemsStored = 0;
    // Why storing stopped early: a statement failed for another reason than a duplicate
    // (a full disk, a missing table, a closed connection). "" when it did not.
    std::string failure;
};

// Stores a loaded feed under `keyword`: the channel row if the keyword has none yet (made
// from this feed), then every item whose cleaned title the channel does not hold yet (titles
// compare ignoring ASCII case). Pauses `pauseAfterItem` after each item; stops before the
// next item once `stop` (if given) is set. An insert refused as a duplicate (another storing
// thread was quicker) is skipped; any other failing statement ends the feed, with the
// reason in the outcome.
StoreOutcome StoreFeed(CAdoConnection& connection, CRssReader& reader, const std::string& keyword,
                       const Pacing& pacing, Pacing::Duration pauseAfterItem,
                       const std::atomic<bool>* stop = nullptr);
