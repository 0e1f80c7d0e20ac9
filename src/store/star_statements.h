#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/statements.h"

// The statements of the starred items (the item_star table) and of an item marked unread
// again. Items are named by their IDs; no value of these statements comes from text.

// Stars the item `itemId`: Execute gives 1 when it was starred now, 0 when it was starred
// already or no such item is stored.
std::string SqlStarItem(std::int64_t itemId);
// Takes the star off: 1 when it had one, 0 otherwise.
std::string SqlUnstarItem(std::int64_t itemId);
// One row, one number: how many items are starred, but for those a rule hid.
std::string SqlCountStarredItems();
// One row, one number: how many starred items the channels named in `keywords` hold.
// `keywords` must not be empty.
std::string SqlCountStarredItemsOfChannels(const std::vector<std::string>& keywords);
// The starred items of every channel and any date, those `filter` takes: the newest `limit`
// at most, newer days first (items without a real date last), then those stored later; every
// item column, the channel's name as channel_title ('' for an item whose channel row is gone),
// item_unread and item_starred (always 1).
std::string SqlSelectStarredItems(const ItemFilter& filter, int limit);
// Makes the item `itemId` unread again: 1 when it was read, 0 when it was unread already or no
// such item is stored.
std::string SqlMarkItemUnread(std::int64_t itemId);
