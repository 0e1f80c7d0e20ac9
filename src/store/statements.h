#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/sql_text.h"

// The program's statements, in the Access dialect in which they were written. Every value
// that stands between single quotes is escaped here; the connection translates the date
// literals. K is a channel keyword, T a cleaned item title, N a channel ID.

// select * from channel where rss_title = 'K'
std::string SqlSelectChannel(std::string_view keyword);
// The same with the keyword as parameter ?1, for a statement kept on the handle.
inline constexpr const char* kSqlSelectBoundChannel = "select * from channel where rss_title = ?1";

// The channel row: K as rss_title, then the feed's channel fields link ... skipDays in
// column order.
std::string SqlInsertChannel(std::string_view keyword,
                             const std::array<std::string_view, 18>& channelFields);

// What tells one item of a channel from another. An item with a title is the same as a
// stored item whose title is equal once apostrophes are taken out of both and ASCII case is
// ignored (old rows had their apostrophes removed when stored). An item without a title is
// the same as a stored untitled item with its guid, else (it has none) its link, else its
// description, the description too without apostrophes on either side.
struct ItemKey {
    std::string_view title;  // as stored; untitled when IsUntitled
    std::string_view guid;
    std::string_view link;
    std::string_view description;
};
// Whether `title` is no title: nothing but blanks once its apostrophes are taken out.
bool IsUntitled(std::string_view title);

// select * from item where rss_channelID=N and <the same item as `key`>
std::string SqlSelectItem(const ItemKey& key, int channelId);
// The same for a titled item.
std::string SqlSelectItem(std::string_view title, int channelId);

struct ItemValues {
    int channelId = -1;
    std::string_view title;
    std::string_view link;
    std::string_view description;
    std::string_view author;
    std::string_view category;
    std::string_view comments;
    std::string_view enclosure;
    std::string_view guid;
    AccessDate pubDate;
    std::string_view source;
    std::string_view pubTime;  // "HH:MM:SS", local; empty (stored as NULL) where unknown
};
std::string SqlInsertItem(const ItemValues& item);
// Inserts the item unless its channel holds the same item (see ItemKey), in one statement,
// so that two storing threads can never both add it: Execute gives 1 when it was stored, 0
// when it was there already, or when it is dated before the day the channel's last clean-up
// kept (see channel_cleaned).
std::string SqlInsertNewItem(const ItemValues& item);

// select * from opml where opml_key='K'
std::string SqlSelectOpmlByKey(std::string_view keyword);
// The same with K as parameter ?1, for a statement kept on the handle (OpenBound).
inline constexpr const char* kSqlSelectOpmlByBoundKey = "select * from opml where opml_key = ?1";
// select * from opml
std::string SqlSelectAllOpml();
std::string SqlSelectOpml(std::string_view title, std::string_view address);
std::string SqlInsertOpml(std::string_view title, std::string_view address,
                          std::string_view siteAddress);
// Removes channel K's subscription of the feed at `address`.
std::string SqlDeleteOpml(std::string_view title, std::string_view address);
// A copy of every feed subscribed under `from` as a feed of `to`.
std::string SqlCopyOpml(std::string_view from, std::string_view to);
// The statements that give every row naming the channel `from` the name `to`: its channel
// row, its subscribed feeds, their validators and outcomes. Run together in one transaction.
std::vector<std::string> SqlRenameChannel(std::string_view from, std::string_view to);

// The validators remembered for the feed at `address` subscribed under K.
std::string SqlSelectFeedValidator(std::string_view keyword, std::string_view address);
// The same with K and the address as parameters ?1 and ?2.
inline constexpr const char* kSqlSelectBoundFeedValidator =
    "select * from feed_validator where opml_key = ?1 and address = ?2";
// Remembers them, replacing what was remembered before.
std::string SqlSaveFeedValidator(std::string_view keyword, std::string_view address,
                                 std::string_view etag, std::string_view lastModified);
// Forgets them.
std::string SqlDeleteFeedValidator(std::string_view keyword, std::string_view address);

// Which of the items a list statement finds it gives: every one, or only the unread ones and
// those of `alsoIds` (rows a list keeps showing once they are read).
struct ItemFilter {
    bool unreadOnly = false;
    bool showHidden = false;  // also the items a rule hid (item_hidden), listed nowhere else
    std::vector<std::int64_t> alsoIds;
};
// " and (...)": the condition of `filter` on the statement's `item` row.
std::string SqlItemFilterCondition(const ItemFilter& filter);
// The column item_starred of a statement on `item` rows: 1 for a starred item, else 0; then
// those of SqlItemRuleColumns.
std::string SqlItemStarredColumn();
// ", item_colour, item_hidden": the row colour a rule gave the item (#rrggbb, NULL for none),
// and 1 for an item a rule hid, else 0.
std::string SqlItemRuleColumns();
// The condition that finds the item_unread row of the statement's `item` row.
std::string SqlUnreadRowOfItem();

// An item by title within the channel named K.
std::string SqlSelectItemByTitle(std::string_view title, std::string_view keyword);
// An item by its ID (the list's clicks: a row knows the item it shows): every column, then
// item_starred.
std::string SqlSelectItemById(long long id);
// A channel's items newer than the cut-off, newest first (the list, mode 0), every column and
// item_starred, those `filter` takes.
std::string SqlSelectRecentItems(std::string_view keyword, const AccessDate& cutoff,
                                 const ItemFilter& filter = {});
// A channel's items of one day and the days after it (the list, mode 1: today's news, where
// an item dated ahead of today counts as today's), as SqlSelectRecentItems gives them.
std::string SqlSelectItemsOfDay(std::string_view keyword, const AccessDate& day,
                                const ItemFilter& filter = {});
// The items of every channel named in `keywords` (a folder's list), newer than the cut-off or
// of one day, in one statement: rss_title, rss_author, rss_source, rss_pubDate,
// rss_description for an untitled item (NULL for the others), item_unread, item_starred and
// keyword_index
// (the position in `keywords` of the name the row was found by); "of one day" takes the days
// after it too, as SqlSelectItemsOfDay does. Rows with a
// real date first, newest day first, then the name ascending ignoring ASCII case, then the
// order of `keywords`, the item stored last first: an order without ties, so that the page of
// `limit` rows after the first `offset` continues the pages before it. `keywords` must not be
// empty. Only the items `filter` takes.
std::string SqlSelectRecentItemsOfChannels(const std::vector<std::string>& keywords,
                                           const AccessDate& cutoff, int limit, int offset,
                                           const ItemFilter& filter = {});
std::string SqlSelectItemsOfChannelsOfDay(const std::vector<std::string>& keywords,
                                          const AccessDate& day, int limit, int offset,
                                          const ItemFilter& filter = {});
// The items of every channel named in `keywords` dated from `first` to `last` (the
// newspaper): ID, rss_title, rss_description, rss_pubDate, keyword_index and item_unread (1
// for an unread item), grouped by the position in `keywords`, each channel's newest first.
// `keywords` must not be empty.
std::string SqlSelectItemsOfChannelsBetween(const std::vector<std::string>& keywords,
                                            const AccessDate& first, const AccessDate& last);
// How many unread items the channels named in `keywords` hold dated before `first` or after
// `last`, or without a date: one row, one number. `keywords` must not be empty, and name each
// channel once.
std::string SqlCountUnreadItemsOfChannelsOutside(const std::vector<std::string>& keywords,
                                                 const AccessDate& first, const AccessDate& last);
// How many items the channels named in `keywords` hold, whatever their date: one row, one
// number. `keywords` must not be empty.
std::string SqlCountItemsOfChannels(const std::vector<std::string>& keywords);
// A channel's items newer than the cut-off, for their count.
std::string SqlCountRecentItems(std::string_view keyword, const AccessDate& cutoff);
// Every channel's count of items newer than the cut-off and how many of them are unread,
// one row (rss_title, count, unread) per channel that has any (the tree's labels); only of
// `channels` when some are given.
std::string SqlCountRecentItemsByChannel(const AccessDate& cutoff,
                                         const std::vector<std::string>& channels = {});

// The IDs of the channel K's unread items newer than `day`, or of that day and after.
std::string SqlSelectUnreadItems(std::string_view keyword, const AccessDate& day, bool fromThatDay);

// Marks one item read (its page was shown).
std::string SqlMarkItemRead(std::int64_t itemId);
// Marks every item of the channels named K1, K2 ... read.
std::string SqlMarkChannelsRead(const std::vector<std::string>& keywords);
// Marks every stored item read.
std::string SqlMarkAllRead();

// The items whose title or description text the search index matches with
// `matchExpression` (SearchMatchExpression), newest first (newer days first, then those
// stored later), at most `limit`; every item column, then the channel's name as
// channel_title, item_unread, 1 for an unread item and 0 for a read one, and item_starred.
// Items of the channels `excludedChannels` names by ID are left out, and so are those whose
// text does not hold each of `textPatterns` (SearchTextPatterns), which the index cannot tell.
std::string SqlSearchItems(std::string_view matchExpression, int limit,
                           const std::vector<std::int64_t>& excludedChannels = {},
                           const std::vector<std::string>& textPatterns = {});

// The source_status rows (store/source_status.h).
// The row of the source at the address ?2 under the channel ?1 (OpenBound).
inline constexpr const char* kSqlSelectBoundSourceStatus =
    "select * from source_status where channel = ?1 and address = ?2";
// Writes the row, replacing the one of the same channel and address: the columns in table
// order as parameters ?1 to ?12 (ExecuteBound).
inline constexpr const char* kSqlSaveBoundSourceStatus =
    "insert or replace into source_status (channel, address, service, outcome, http_status, "
    "new_items, last_attempt, last_success, failures, retry_after, pass_time, gone_count) "
    "values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)";
// Sets only the row's pass_time (?3) of the channel ?1 and the address ?2.
inline constexpr const char* kSqlTouchBoundSourceStatus =
    "update source_status set pass_time = ?3 where channel = ?1 and address = ?2";
// Every row, by channel and address.
std::string SqlSelectAllSourceStatus();
// The rows of each channel's latest pass, by channel and address.
std::string SqlSelectLatestSourceStatus();
// The same for the channels named only.
std::string SqlSelectLatestSourceStatus(const std::vector<std::string>& channels);
// The most recent row (or rows, on a tie) of each search service.
std::string SqlSelectLatestServiceStatus();
