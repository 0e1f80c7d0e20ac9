#include "store/statements.h"

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

// The channel's column comes first in the comparison, so it decides the collation: names
// match channels ignoring ASCII case, as everywhere.
std::string SelectItemsOfChannels(const std::vector<std::string>& keywords,
                                  const std::string& dateCondition, int limit, int offset) {
    return NamesTable(keywords) +
           "select item.rss_title, item.rss_author, item.rss_source, item.rss_pubDate, "
           "names.keyword_index from names inner join channel on channel.rss_title = names.name "
           "inner join item on item.rss_channelID = channel.ID where item.rss_pubDate" +
           dateCondition +
           " order by date(item.rss_pubDate) is null, item.rss_pubDate desc, "
           "names.name collate nocase, names.keyword_index, item.ID desc limit " +
           std::to_string(limit) + " offset " + std::to_string(offset);
}

}  // namespace

std::string SqlSelectRecentItemsOfChannels(const std::vector<std::string>& keywords,
                                           const AccessDate& cutoff, int limit, int offset) {
    return SelectItemsOfChannels(keywords, ">" + AccessDateLiteral(cutoff), limit, offset);
}

std::string SqlSelectItemsOfChannelsOfDay(const std::vector<std::string>& keywords,
                                          const AccessDate& day, int limit, int offset) {
    return SelectItemsOfChannels(keywords, "=" + AccessDateLiteral(day), limit, offset);
}

std::string SqlSelectItemsOfChannelsBetween(const std::vector<std::string>& keywords,
                                            const AccessDate& first, const AccessDate& last) {
    return NamesTable(keywords) +
           "select item.ID, item.rss_title, item.rss_description, item.rss_pubDate, "
           "names.keyword_index from names inner join channel on channel.rss_title = names.name "
           "inner join item on item.rss_channelID = channel.ID where item.rss_pubDate>=" +
           AccessDateLiteral(first) + " and item.rss_pubDate<=" + AccessDateLiteral(last) +
           " order by names.keyword_index, item.rss_pubDate desc, item.ID desc";
}

std::string SqlSelectItemById(long long id) {
    return "select * from item where ID=" + std::to_string(id);
}

std::string SqlCountItemsOfChannels(const std::vector<std::string>& keywords) {
    return NamesTable(keywords) +
           "select count(*) from names inner join channel on channel.rss_title = names.name "
           "inner join item on item.rss_channelID = channel.ID";
}

std::string SqlCountRecentItems(std::string_view keyword, const AccessDate& cutoff) {
    return "select * from item where rss_channelID = ( select ID from channel where "
           "rss_title = '" +
           SqlEscape(keyword) + "') and rss_pubDate>" + AccessDateLiteral(cutoff);
}

std::string SqlCountRecentItemsByChannel(const AccessDate& cutoff) {
    // Driven from the channel table, so that each channel's count is a range of the index on
    // channel and date holding only its recent items, not a scan of every item.
    return "select channel.rss_title, count(*) from channel inner join item on "
           "item.rss_channelID = channel.ID where item.rss_pubDate>" +
           AccessDateLiteral(cutoff) + " group by channel.ID";
}
