#include "store/star_statements.h"

#include "store/sql_text.h"

std::string SqlStarItem(std::int64_t itemId) {
    return "insert or ignore into item_star (item_id) select ID from item where ID = " +
           std::to_string(itemId);
}

std::string SqlUnstarItem(std::int64_t itemId) {
    return "delete from item_star where item_id = " + std::to_string(itemId);
}

std::string SqlCountStarredItems() {
    // As 星标新闻 lists them: an item a rule hid is not counted.
    return "select count(*) from item_star where not exists (select 1 from item_hidden where "
           "item_hidden.item_id = item_star.item_id)";
}

std::string SqlCountStarredItemsOfChannels(const std::vector<std::string>& keywords) {
    std::string names;
    for (const std::string& keyword : keywords) {
        names += (names.empty() ? "'" : ", '") + SqlEscape(keyword) + "'";
    }
    return "select count(*) from channel inner join item on item.rss_channelID = channel.ID "
           "inner join item_star on item_star.item_id = item.ID where channel.rss_title in (" +
           names + ")";
}

std::string SqlSelectStarredItems(const ItemFilter& filter, int limit) {
    // Driven from the small table of stars: each starred item is one look-up by its ID, and
    // the few rows are sorted after. (Left to itself, the planner walks every item in the
    // order of the date index to spare that sort, and checks each for a star: 10 times the
    // work with 10 000 stars among a million items.)
    return "select item.*, ifnull(channel.rss_title, '') as channel_title, exists (select 1 "
           "from item_unread where " +
           SqlUnreadRowOfItem() + ") as item_unread, 1 as item_starred" + SqlItemRuleColumns() +
           " from item_star cross join item on item.ID = item_star.item_id left join channel on "
           "channel.ID = item.rss_channelID where 1" +
           SqlItemFilterCondition(filter) +
           " order by date(item.rss_pubDate) is null, item.rss_pubDate desc, item.ID desc limit " +
           std::to_string(limit);
}

std::string SqlMarkItemUnread(std::int64_t itemId) {
    return "insert or ignore into item_unread (item_id, channel_id, pub_date) select ID, "
           "ifnull(rss_channelID, 0), ifnull(rss_pubDate, '') from item where ID = " +
           std::to_string(itemId);
}
