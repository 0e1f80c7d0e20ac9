#include "store/statements.h"

#include "store/search_index.h"
#include "store/source_status.h"

namespace {

// The condition that leaves out an item a rule hid, on the statement's `item` row. Whether
// any item is hidden is asked once per statement (the subquery is not correlated), so that
// with none hidden a list or count over thousands of rows costs no look-up per row.
constexpr char kNotHidden[] =
    " and (not exists (select 1 from item_hidden) or item.ID not in (select item_id from "
    "item_hidden))";

}  // namespace

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

namespace {

std::string WithoutApostrophes(std::string_view text) {
    std::string out(text);
    std::erase(out, '\'');
    return out;
}

// The condition of SqlSelectItem. Titles compare through the expression the index
// item_by_channel_bare_title holds, so that the look-up is one index search.
std::string SameItem(const ItemKey& key, int channelId) {
    std::string condition =
        "rss_channelID=" + std::to_string(channelId) + " and replace(rss_title, '''', '') = '";
    if (!IsUntitled(key.title)) {
        return condition + SqlEscape(WithoutApostrophes(key.title)) + "' collate nocase";
    }
    condition += "' collate nocase and ";
    if (!key.guid.empty()) {
        return condition + "rss_guid = '" + SqlEscape(key.guid) + "'";
    }
    if (!key.link.empty()) {
        return condition + "rss_link = '" + SqlEscape(key.link) + "'";
    }
    return condition + "replace(rss_description, '''', '') = '" +
           SqlEscape(WithoutApostrophes(key.description)) + "'";
}

std::string ItemColumns() {
    return "(rss_channelID, rss_title, rss_link, rss_description, rss_author, rss_category, "
           " rss_comments, rss_enclosure, rss_guid, rss_pubDate, rss_source, rss_pubTime )";
}

std::string ItemValueList(const ItemValues& item) {
    return std::to_string(item.channelId) + ",'" + SqlEscape(item.title) + "','" +
           SqlEscape(item.link) + "','" + SqlEscape(item.description) + "','" +
           SqlEscape(item.author) + "','" + SqlEscape(item.category) + "','" +
           SqlEscape(item.comments) + "','" + SqlEscape(item.enclosure) + "','" +
           SqlEscape(item.guid) + "'," + AccessDateLiteral(item.pubDate) + ",'" +
           SqlEscape(item.source) + "'," +
           (item.pubTime.empty() ? std::string("NULL") : "'" + SqlEscape(item.pubTime) + "'");
}

}  // namespace

bool IsUntitled(std::string_view title) {
    return title.find_first_not_of(" \t\r\n'") == std::string_view::npos;
}

std::string SqlSelectItem(const ItemKey& key, int channelId) {
    return "select * from item where " + SameItem(key, channelId);
}

std::string SqlSelectItem(std::string_view title, int channelId) {
    return SqlSelectItem(ItemKey{title, {}, {}, {}}, channelId);
}

std::string SqlInsertItem(const ItemValues& item) {
    return "insert into item " + ItemColumns() + " values(" + ItemValueList(item) + ")";
}

std::string SqlInsertNewItem(const ItemValues& item) {
    const ItemKey key{item.title, item.guid, item.link, item.description};
    // An item dated before the channel's last clean-up was removed by it, or would have been:
    // it is not stored again as new.
    return "insert into item " + ItemColumns() + " select " + ItemValueList(item) +
           " where not exists (select ID from item where " + SameItem(key, item.channelId) +
           ") and not exists (select 1 from channel_cleaned where channel_id = " +
           std::to_string(item.channelId) + " and before_day > " + AccessDateLiteral(item.pubDate) +
           ")";
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

std::string SqlDeleteOpml(std::string_view title, std::string_view address) {
    return "delete from opml where opml_key='" + SqlEscape(title) + "' and opml_xml_url='" +
           SqlEscape(address) + "'";
}

std::string SqlCopyOpml(std::string_view from, std::string_view to) {
    return "insert into opml (opml_key, opml_xml_url, opml_html_url) select '" + SqlEscape(to) +
           "', opml_xml_url, opml_html_url from opml where opml_key='" + SqlEscape(from) +
           "' order by ID";
}

std::vector<std::string> SqlRenameChannel(std::string_view from, std::string_view to) {
    const std::string fromText = "'" + SqlEscape(from) + "'";
    const std::string toText = "'" + SqlEscape(to) + "'";
    return {
        "update channel set rss_title=" + toText + " where rss_title=" + fromText,
        "update opml set opml_key=" + toText + " where opml_key=" + fromText,
        "update feed_validator set opml_key=" + toText + " where opml_key=" + fromText,
        "update source_status set channel=" + toText + " where channel=" + fromText,
    };
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

std::string SqlSelectItemById(long long id) {
    return "select *, " + SqlItemStarredColumn() + " from item where ID = " + std::to_string(id);
}

std::string SqlItemFilterCondition(const ItemFilter& filter) {
    std::string condition = filter.showHidden ? std::string() : std::string(kNotHidden);
    if (!filter.unreadOnly) {
        return condition;
    }
    condition += " and (exists (select 1 from item_unread where " + SqlUnreadRowOfItem() + ")";
    if (!filter.alsoIds.empty()) {
        condition += " or item.ID in (";
        for (std::size_t i = 0; i < filter.alsoIds.size(); ++i) {
            condition += (i == 0 ? "" : ", ") + std::to_string(filter.alsoIds[i]);
        }
        condition += ")";
    }
    return condition + ")";
}

std::string SqlItemStarredColumn() {
    return "exists (select 1 from item_star where item_star.item_id = item.ID) as item_starred" +
           SqlItemRuleColumns();
}

std::string SqlItemRuleColumns() {
    return ", (select colour from item_colour where item_colour.item_id = item.ID) as "
           "item_colour, exists (select 1 from item_hidden where item_hidden.item_id = item.ID) "
           "as item_hidden";
}

// The unread items are kept in the order of channel, date and ID, and looked up by all three.
std::string SqlUnreadRowOfItem() {
    return "item_unread.channel_id = ifnull(item.rss_channelID, 0) and item_unread.pub_date = "
           "ifnull(item.rss_pubDate, '') and item_unread.item_id = item.ID";
}

namespace {

// A channel's items with their star, on `dateCondition`, newest first.
std::string SelectItemsOfChannel(std::string_view keyword, const std::string& dateCondition,
                                 const ItemFilter& filter) {
    return "select *, " + SqlItemStarredColumn() +
           " from item where rss_channelID = ( select ID from channel where rss_title = '" +
           SqlEscape(keyword) + "') and rss_pubDate" + dateCondition +
           SqlItemFilterCondition(filter) + " order by rss_pubDate desc";
}

}  // namespace

std::string SqlSelectRecentItems(std::string_view keyword, const AccessDate& cutoff,
                                 const ItemFilter& filter) {
    return SelectItemsOfChannel(keyword, ">" + AccessDateLiteral(cutoff), filter);
}

namespace {

// The condition on a date column for `day` and the days after it. Only real dates: a text
// that is no date sorts after every one of them and would otherwise count as ahead.
std::string FromDayOn(const AccessDate& day) {
    return " between " + AccessDateLiteral(day) + " and " + AccessDateLiteral({9999, 12, 31});
}

}  // namespace

std::string SqlSelectItemsOfDay(std::string_view keyword, const AccessDate& day,
                                const ItemFilter& filter) {
    return SelectItemsOfChannel(keyword, FromDayOn(day), filter);
}

namespace {

// "with names(keyword_index, name) as (values (0, 'K0'), (1, 'K1'), ...)"
std::string NamesTable(const std::vector<std::string>& keywords) {
    std::string sql = "with names(keyword_index, name) as (values ";
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        sql += i == 0 ? "(" : ", (";
        sql += std::to_string(i) + ", '" + SqlEscape(keywords[i]) + "')";
    }
    return sql + ") ";
}

std::string UnreadRowOfItem() {
    return SqlUnreadRowOfItem();
}

// The channel's column comes first in the comparison, so it decides the collation: names
// match channels ignoring ASCII case, as everywhere.
std::string SelectItemsOfChannels(const std::vector<std::string>& keywords,
                                  const std::string& dateCondition, int limit, int offset,
                                  const ItemFilter& filter) {
    return NamesTable(keywords) +
           "select item.ID, item.rss_title, item.rss_guid, item.rss_link, item.rss_author, "
           "item.rss_source, item.rss_pubDate, item.rss_pubTime, names.keyword_index, case when "
           "trim(ifnull(item.rss_title, ''), char(32, 39, 9, 10, 13)) = '' then "
           "item.rss_description end as "
           "rss_description, exists (select 1 from "
           "item_unread where " +
           UnreadRowOfItem() + ") as item_unread, " + SqlItemStarredColumn() +
           " from names inner join channel on channel.rss_title = names.name "
           "inner join item on item.rss_channelID = channel.ID where item.rss_pubDate" +
           dateCondition + SqlItemFilterCondition(filter) +
           " order by date(item.rss_pubDate) is null, item.rss_pubDate desc, "
           "names.name collate nocase, names.keyword_index, item.ID desc limit " +
           std::to_string(limit) + " offset " + std::to_string(offset);
}

}  // namespace

std::string SqlSelectRecentItemsOfChannels(const std::vector<std::string>& keywords,
                                           const AccessDate& cutoff, int limit, int offset,
                                           const ItemFilter& filter) {
    return SelectItemsOfChannels(keywords, ">" + AccessDateLiteral(cutoff), limit, offset, filter);
}

std::string SqlSelectItemsOfChannelsOfDay(const std::vector<std::string>& keywords,
                                          const AccessDate& day, int limit, int offset,
                                          const ItemFilter& filter) {
    return SelectItemsOfChannels(keywords, FromDayOn(day), limit, offset, filter);
}

std::string SqlSelectItemsOfChannelsBetween(const std::vector<std::string>& keywords,
                                            const AccessDate& first, const AccessDate& last) {
    return NamesTable(keywords) +
           "select item.ID, item.rss_title, item.rss_description, item.rss_pubDate, "
           "names.keyword_index, exists (select 1 from item_unread where " +
           UnreadRowOfItem() +
           ") as item_unread from names inner join channel on channel.rss_title = names.name "
           "inner join item on item.rss_channelID = channel.ID where item.rss_pubDate>=" +
           AccessDateLiteral(first) + " and item.rss_pubDate<=" + AccessDateLiteral(last) +
           kNotHidden + " order by names.keyword_index, item.rss_pubDate desc, item.ID desc";
}

std::string SqlCountUnreadItemsOfChannelsOutside(const std::vector<std::string>& keywords,
                                                 const AccessDate& first, const AccessDate& last) {
    return NamesTable(keywords) +
           "select count(*) from names inner join channel on channel.rss_title = names.name "
           "inner join item_unread on item_unread.channel_id = channel.ID where "
           "item_unread.pub_date<" +
           AccessDateLiteral(first) + " or item_unread.pub_date>" + AccessDateLiteral(last);
}

std::string SqlCountItemsOfChannels(const std::vector<std::string>& keywords) {
    return NamesTable(keywords) +
           "select count(*) from names inner join channel on channel.rss_title = names.name "
           "inner join item on item.rss_channelID = channel.ID";
}

std::string SqlCountRecentItems(std::string_view keyword, const AccessDate& cutoff) {
    return "select * from item where rss_channelID = ( select ID from channel where "
           "rss_title = '" +
           SqlEscape(keyword) + "') and rss_pubDate>" + AccessDateLiteral(cutoff) + kNotHidden;
}

std::string SqlCountRecentItemsByChannel(const AccessDate& cutoff,
                                         const std::vector<std::string>& channels) {
    // Driven from the channel table, so that each channel's count is a range of the index on
    // channel and date holding only its recent items, not a scan of every item; the unread
    // count a range of the small table of unread items.
    const std::string after = AccessDateLiteral(cutoff);
    std::string only;
    for (const std::string& channel : channels) {
        only += (only.empty() ? " and channel.rss_title in ('" : ", '") + SqlEscape(channel) + "'";
    }
    if (!only.empty()) {
        only += ")";
    }
    return "select channel.rss_title, count(*), (select count(*) from item_unread where "
           "item_unread.channel_id = channel.ID and item_unread.pub_date>" +
           after +
           ") from channel inner join item on item.rss_channelID = channel.ID where "
           "item.rss_pubDate>" +
           after + kNotHidden + only + " group by channel.ID";
}

std::string SqlSelectUnreadItems(std::string_view keyword, const AccessDate& day,
                                 bool fromThatDay) {
    return "select item_id from item_unread where channel_id = ( select ID from channel where "
           "rss_title = '" +
           SqlEscape(keyword) + "') and pub_date" +
           (fromThatDay ? FromDayOn(day) : ">" + AccessDateLiteral(day));
}

std::string SqlMarkItemRead(std::int64_t itemId) {
    const std::string id = std::to_string(itemId);
    return "delete from item_unread where channel_id = (select ifnull(rss_channelID, 0) from "
           "item where ID = " +
           id + ") and pub_date = (select ifnull(rss_pubDate, '') from item where ID = " + id +
           ") and item_id = " + id;
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

std::string SqlSearchItems(std::string_view matchExpression, int limit,
                           const std::vector<std::int64_t>& excludedChannels,
                           const std::vector<std::string>& textPatterns) {
    // The index hands out its keys in the list's order, so the newest `limit` matches are
    // the first ones it finds; only those are read from the item table. Channels left out
    // are checked on each match's item row as it comes, so the order still ends the scan.
    // Hidden items are left out before the limit, so that they take no place of a match.
    const std::string notHidden = " and (not exists (select 1 from item_hidden) or " +
                                  SqlItemIdOfSearchKey("item_search.rowid") +
                                  " not in (select item_id from item_hidden))";
    std::string found = "select rowid as found from item_search where item_search match '" +
                        SqlEscape(matchExpression) + "'" + notHidden + " order by rowid";
    if (!excludedChannels.empty() || !textPatterns.empty()) {
        std::string conditions;
        if (!excludedChannels.empty()) {
            std::string ids;
            for (std::int64_t id : excludedChannels) {
                ids += (ids.empty() ? "" : ", ") + std::to_string(id);
            }
            conditions += " and matched.rss_channelID not in (" + ids + ")";
        }
        for (const std::string& pattern : textPatterns) {
            conditions +=
                " and quillon_search_holds(matched.rss_title, matched.rss_description, '" +
                SqlEscape(pattern) + "')";
        }
        found =
            "select item_search.rowid as found from item_search inner join item as matched "
            "on matched.ID = " +
            SqlItemIdOfSearchKey("item_search.rowid") + " where item_search match '" +
            SqlEscape(matchExpression) + "'" + conditions + notHidden +
            " order by item_search.rowid";
    }
    return "select item.*, channel.rss_title as channel_title, exists (select 1 from item_unread "
           "where " +
           UnreadRowOfItem() + ") as item_unread, " + SqlItemStarredColumn() + " from (" + found +
           " limit " + std::to_string(limit) +
           ") inner join item on item.ID = " + SqlItemIdOfSearchKey("found") +
           " inner join channel on channel.ID = item.rss_channelID order by found";
}

std::string SqlSelectAllSourceStatus() {
    return "select * from source_status order by channel, address";
}

std::string SqlSelectLatestSourceStatus() {
    return "select * from source_status s where s.pass_time = (select max(t.pass_time) from "
           "source_status t where t.channel = s.channel) order by s.channel, s.address";
}

std::string SqlSelectLatestSourceStatus(const std::vector<std::string>& channels) {
    std::string names;
    for (const std::string& channel : channels) {
        names += (names.empty() ? "'" : ", '") + SqlEscape(channel) + "'";
    }
    return "select * from source_status s where s.channel in (" + names +
           ") and s.pass_time = (select max(t.pass_time) from source_status t where t.channel = "
           "s.channel) order by s.channel, s.address";
}

std::string SqlSelectLatestServiceStatus() {
    return "select * from source_status s where s.service <> '' and s.last_attempt = (select "
           "max(t.last_attempt) from source_status t where t.service = s.service)";
}
