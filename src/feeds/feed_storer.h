#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "feeds/pacing.h"

class CAdoConnection;
class CRssReader;
class NewsRuleSet;

// An item title as it is stored: every "&quot", "<b>" and "</b>" removed, in that order (the
// ";" that ends a double-quote entity stays), as titles always were, so that a title stored
// by an old build is found again. Apostrophes stay; the duplicate check sets them aside (see
// ItemKey).
std::string CleanTitle(std::string_view title);

struct StoreOutcome {
    bool channelCreated = false;
    int itemsStored = 0;
    // Why storing stopped early: a statement failed for another reason than a duplicate
    // (a full disk, a missing table, a closed connection). "" when it did not.
    std::string failure;
};

// Stores a loaded feed under `keyword`, in one transaction: the channel row if the keyword
// has none yet (made from this feed), then every item the channel does not hold yet (see
// ItemKey: titled items by their cleaned titles, untitled ones by guid, link or description),
// dated as StoredItemDay says for the feed's language. Stops before the next item once
// `stop` (if given) is set. A duplicate is skipped; any failing statement ends the feed, with
// the reason in the outcome, keeping the items stored before it (none when the failure undid
// the transaction, or its commit failed). After the commit, pauses `pauseAfterItem` for each
// item read. Each item stored is given to the rules of `rules` (if given) that apply to the
// channel, in the same transaction; with none, storing costs nothing more.
StoreOutcome StoreFeed(CAdoConnection& connection, CRssReader& reader, const std::string& keyword,
                       const Pacing& pacing, Pacing::Duration pauseAfterItem,
                       const std::atomic<bool>* stop = nullptr, const NewsRuleSet* rules = nullptr);
