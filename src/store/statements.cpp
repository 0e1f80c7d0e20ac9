#include "store/statements.h"

#include "store/search_index.h"

std::string SqlSelectChannel(std::string_view keyword) {
    return "select * from channel where rss_title = '" + SqlEscape(keyword) + "'";
}

std::string SqlInsertChannel(std::string_view keyword,
                             const std::array<std::string_view, 18>& channelFields) {
    std::string sql =
        "insert into channel (rss_title, rss_link, rss_description, "
        "rss_language, rss_copyright, rss_managingEditor, rss_webMaster, "
        "rss_pubDate, rss_lastBuildDate, rss_category, rss_generator, rss_docs, "
        "rss_image, rss_url, rss_cloud, rss_ttl, rss_rating, rss_skipHours, rss_skipDays) "
        " values('" +
        SqlEscape(keyword);
    for (std::string_view field : channelFields) {
        sql += "','";
        sql += SqlEscape(field);
    }
    sql += "')";
    return sql;
}

std::string SqlSelectItem(std::string_view title, int channelId) {
    return "select * from item where rss_title = '" + SqlEscape(title) +
           "' and rss_channelID=" + std::to_string(channelId);
}

std::string SqlInsertItem(const ItemValues& item) {
    return "insert into item "
           "(rss_channelID, rss_title, rss_link, rss_description, rss_author, rss_category, "
           " rss_comments, rss_enclosure, rss_guid, rss_pubDate, rss_source ) values(" +
           std::to_string(item.channelId) + ",'" + SqlEscape(item.title) + "','" +
           SqlEscape(item.link) + "','" + SqlEscape(item.description) + "','" +
           SqlEscape(item.author) + "','" + SqlEscape(item.category) + "','" +
           SqlEscape(item.comments) + "','" + SqlEscape(item.enclosure) + "','" +
           SqlEscape(item.guid) + "'," + AccessDateLiteral(item.pubDate) + ",'" +
           SqlEscape(item.source) + "')";
}

std::string SqlSelectOpmlByKey(std::string_view keyword) {
    return "select * from opml where opml_key='" + SqlEscape(keyword) + "'";
}

std::string SqlSelectAllOpml() {
    return "select * from opml";
}

std::string SqlSelectOpml(std::string_view title, std::string_view address) {
    return "select * from opml where opml_key='" + SqlEscape(title) + "' and opml_xml_url='" +
           SqlEscape(address) + "'";
}

std::string SqlInsertOpml(std::string_view title, std::string_view address,
                          std::string_view siteAddress) {
    return "insert into opml (opml_key, opml_xml_url, opml_html_url ) values('" + SqlEscape(title) +
           "', '" + SqlEscape(address) + "', '" + SqlEscape(siteAddress) + "')";
}

std::string SqlSelectFeedValidator(std::string_view keyword, std::string_view address) {
    return "select * from feed_validator where opml_key='" + SqlEscape(keyword) +
           "' and address='" + SqlEscape(address) + "'";
}

std::string SqlSaveFeedValidator(std::string_view keyword, std::string_view address,
                                 std::string_view etag, std::string_view lastModified) {
    return "insert or replace into feed_validator (opml_key, address, etag, last_modified) "
           "values('" +
           SqlEscape(keyword) + "', '" + SqlEscape(address) + "', '" + SqlEscape(etag) + "', '" +
           SqlEscape(lastModified) + "')";
}

std::string SqlDeleteFeedValidator(std::string_view keyword, std::string_view address) {
    return "delete from feed_validator where opml_key='" + SqlEscape(keyword) + "' and address='" +
           SqlEscape(address) + "'";
}

std::string SqlSelectItemByTitle(std::string_view title, std::string_view keyword) {
    return "select * from item where rss_title = '" + SqlEscape(title) +
           "' and rss_channelID = ( select id from channel where rss_title = '" +
           SqlEscape(keyword) + "')";
}

std::string SqlSelectRecentItems(std::string_view keyword, const AccessDate& cutoff) {
    return "select * from item where rss_channelID = ( select ID from channel where "
           "rss_title = '" +
           SqlEscape(keyword) + "') and rss_pubDate>" + AccessDateLiteral(cutoff) +
           " order by rss_pubDate desc";
}

std::string SqlSelectItemsOfDay(std::string_view keyword, const AccessDate& day) {
    return "select * from item where rss_channelID = ( select ID from channel where "
           "rss_title = '" +
           SqlEscape(keyword) + "') and rss_pubDate=" + AccessDateLiteral(day) +
           " order by rss_pubDate desc";
}

std::string SqlCountRecentItems(std::string_view keyword, const AccessDate& cutoff) {
    return "select * from item where rss_channelID = ( select ID from channel where "
           "rss_title = '" +
           SqlEscape(keyword) + "') and rss_pubDate>" + AccessDateLiteral(cutoff);
}

std::string SqlCountRecentItemsByChannel(const AccessDate& cutoff) {
    // Driven from the channel table, so that each channel's count is a range of the index on
    // channel and date holding only its recent items, not a scan of every item; the unread
    // count a range of the small table of unread items.
    const std::string after = AccessDateLiteral(cutoff);
    return "select channel.rss_title, count(*), (select count(*) from item_unread where "
           "item_unread.channel_id = channel.ID and item_unread.pub_date>" +
           after +
           ") from channel inner join item on item.rss_channelID = channel.ID where "
           "item.rss_pubDate>" +
           after + " group by channel.ID";
}

std::string SqlSelectUnreadItems(std::string_view keyword, const AccessDate& day,
                                 bool onlyThatDay) {
    return "select item_id from item_unread where channel_id = ( select ID from channel where "
           "rss_title = '" +
           SqlEscape(keyword) + "') and pub_date" + (onlyThatDay ? "=" : ">") +
           AccessDateLiteral(day);
}

std::string SqlMarkItemRead(std::int64_t itemId) {
    return "delete from item_unread where item_id = " + std::to_string(itemId);
}

std::string SqlMarkChannelsRead(const std::vector<std::string>& keywords) {
    std::string names;
    for (const std::string& keyword : keywords) {
        names += (names.empty() ? "'" : ", '") + SqlEscape(keyword) + "'";
    }
    return "delete from item_unread where channel_id in (select ID from channel where rss_title "
           "in (" +
           names + "))";
}

std::string SqlMarkAllRead() {
    return "delete from item_unread";
}

std::string SqlSearchItems(std::string_view matchExpression, int limit) {
    // The index hands out its keys in the list's order, so the newest `limit` matches are
    // the first ones it finds; only those are read from the item table.
    return "select item.*, channel.rss_title as channel_title, (select count(*) from item_unread "
           "where item_unread.item_id = item.ID) as item_unread from (select rowid as found from "
           "item_search where item_search match '" +
           SqlEscape(matchExpression) + "' order by rowid limit " + std::to_string(limit) +
           ") inner join item on item.ID = " + SqlItemIdOfSearchKey("found") +
           " inner join channel on channel.ID = item.rss_channelID order by found";
}
