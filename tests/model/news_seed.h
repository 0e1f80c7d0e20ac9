#pragma once

// Fast seeding of a test database with channels and items, straight through SQLite.

#include <string>

#include "store/sql_text.h"
#include "support/sqlite_rows.h"

namespace news_seed {

inline std::string Literal(const std::string& text) {
    return "'" + SqlEscape(text) + "'";
}

inline void AddChannel(const std::string& db, int id, const std::string& name) {
    ExecSql(db, "insert into channel (ID, rss_title) values(" + std::to_string(id) + ", " +
                    Literal(name) + ")");
}

struct Item {
    std::string title;
    std::string date;  // stored as it is; "NULL" stores no date
    std::string link = "http://news.test/item";
    std::string author = "记者";
    std::string source = "新华网";
    std::string description = "<p>news</p>";
    std::string time = "";  // rss_pubTime; empty leaves it out (older files have no such column)
};

inline void AddItem(const std::string& db, int channelId, const Item& item) {
    ExecSql(db,
            "insert into item (rss_channelID, rss_title, rss_link, rss_description, rss_author, "
            "rss_pubDate, rss_source" +
                (item.time.empty() ? std::string() : ", rss_pubTime") + ") values(" +
                std::to_string(channelId) + ", " + Literal(item.title) + ", " + Literal(item.link) +
                ", " + Literal(item.description) + ", " + Literal(item.author) + ", " +
                (item.date == "NULL" ? "NULL" : Literal(item.date)) + ", " + Literal(item.source) +
                (item.time.empty() ? std::string() : ", " + Literal(item.time)) + ")");
}

// `count` items titled `prefix` + 0, 1, ...; item i is dated (i % spreadDays) days before
// `newest` (YYYY-MM-DD).
inline void AddNumberedItems(const std::string& db, int channelId, int count,
                             const std::string& prefix, const std::string& newest, int spreadDays) {
    const std::string channel = std::to_string(channelId);
    ExecSql(db,
            "insert into item (rss_channelID, rss_title, rss_link, rss_author, rss_source, "
            "rss_pubDate) with recursive n(i) as (select 0 union all select i + 1 from n where "
            "i + 1 < " +
                std::to_string(count) + ") select " + channel + ", " + Literal(prefix) +
                " || i, 'http://news.test/" + channel + "/' || i, 'author', 'source', date(" +
                Literal(newest) + ", '-' || (i % " + std::to_string(spreadDays) +
                ") || ' days') from n");
}

}  // namespace news_seed
