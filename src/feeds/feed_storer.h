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
};

// Stores a loaded feed under `keyword`: the channel row if the keyword has none yet (made
// from this feed), then every item whose cleaned title the channel does not hold yet.
// Pauses `pauseAfterItem` after each item; stops before the next item once `stop` (if
// given) is set. A statement that fails skips its channel or item without a word.
StoreOutcome StoreFeed(CAdoConnection& connection, CRssReader& reader, const std::string& keyword,
                       const Pacing& pacing, Pacing::Duration pauseAfterItem,
                       const std::atomic<bool>* stop = nullptr);
