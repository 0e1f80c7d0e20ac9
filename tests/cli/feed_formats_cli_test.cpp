// Atom, RSS 1.0, JSON Feed and mended feeds from end to end: subscribed for a channel, fetched by
// the update engine from the local server, stored and listed as RSS 2.0 items are.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_support.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using namespace std::chrono;

namespace {

// The local date `daysAgo` days before today; the tool runs on the real clock.
year_month_day LocalDay(int daysAgo) {
    return year_month_day(LocalToday() - days{daysAgo});
}

// ISO 8601, as Atom and Dublin Core write dates, at noon of that day in China.
std::string IsoDate(int daysAgo) {
    const year_month_day ymd = LocalDay(daysAgo);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT12:00:00+08:00", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

// Today's and yesterday's rows show the local time of day after the date: that of noon in
// China.
nlohmann::ordered_json ListRow(int daysAgo, const std::string& title, const std::string& author,
                               const std::string& source) {
    nlohmann::ordered_json row =
        ExpectedListRow(LocalToday() - days{daysAgo}, title, "订阅", author, source);
    if (daysAgo <= 1) {
        const std::time_t noonInChina =
            system_clock::to_time_t(sys_days(LocalDay(daysAgo)) + hours(4));
        std::tm local{};
        localtime_r(&noonInChina, &local);
        char time[16];
        std::strftime(time, sizeof time, " %H:%M", &local);
        row["date"] = row["date"].get<std::string>() + time;
    }
    return row;
}

std::string AtomFeed() {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">"
           "<title>Atom 频道</title><link href=\"http://atom.test/\"/><author><name>编辑部</name>"
           "</author><entry><title>原子一</title><link href=\"http://atom.test/1\"/>"
           "<id>atom-1</id><published>" +
           IsoDate(0) + "</published><author><name>张三</name></author>" +
           "<source><title>来源</title></source><content type=\"xhtml\"><div "
           "xmlns=\"http://www.w3.org/1999/xhtml\"><p>It's <b>news</b></p></div></content>"
           "</entry><entry><title>原子二</title><link href=\"http://atom.test/2\"/><updated>" +
           IsoDate(2) + "</updated></entry></feed>";
}

std::string RdfFeed() {
    return "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
           "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
           "<channel><title>RDF</title></channel><item rdf:about=\"http://rdf.test/1\">"
           "<title>资源一</title><link>http://rdf.test/1</link><dc:creator>李四</dc:creator>"
           "<dc:date>" +
           IsoDate(1) + "</dc:date></item></rdf:RDF>";
}

std::string JsonFeed() {
    return R"({"version": "https://jsonfeed.org/version/1.1", "title": "杰森",
               "authors": [{"name": "王五"}], "items": [
               {"id": "json-1", "url": "http://json.test/1", "title": "杰森一",
                "content_text": "a < b", "date_published": ")" +
           IsoDate(4) + R"("}]})";
}

// Blank lines before the declaration, a bare "&" and HTML's entities.
std::string BrokenFeed() {
    return "\n\n<?xml version=\"1.0\"?><rss><channel><title>Broken</title><item>"
           "<title>Tom & Jerry&nbsp;&copy;</title><link>http://broken.test/?a=1&b=2</link>"
           "<pubDate>" +
           IsoDate(3) + "</pubDate></item></channel></rss>";
}

}  // namespace

TEST(CliFeedFormats, SubscribedAtomRss1AndJsonFeedsAreStoredAndListedLikeRss) {
    LocalHttpServer server;
    server.Serve("/json", JsonFeed(), "application/feed+json");
    server.Serve("/atom", AtomFeed(), "application/atom+xml");
    server.Serve("/rdf", RdfFeed(), "application/rdf+xml");
    server.Serve("/broken", BrokenFeed());
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.CopySeedSettings();
    // The search service knows nothing of the channel: only its subscribed feeds give news.
    folder.WriteFile("data/services.conf", "search.baidu = " + server.BaseUrl() + "\n");
    folder.WriteFile("document/keywordlist.xml",
                     "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>订阅</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
    ExecSql(folder.File("data/data.dat"),
            "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('订阅', '" +
                server.Url("/atom") + "', 'h'), ('订阅', '" + server.Url("/rdf") +
                "', 'h'), ('订阅', '" + server.Url("/broken") + "', 'h'), ('订阅', '" +
                server.Url("/json") + "', 'h')");

    const ProcessResult update = Cli({"update", "--no-pauses"}, folder.Path());
    ASSERT_EQ(update.exitCode, 0) << update.err;
    EXPECT_NE(update.out.find("\t5 new items\t"), std::string::npos) << update.out;

    const ProcessResult list = Cli({"list", "订阅"}, folder.Path());
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(
        ListedRows(list.out),
        nlohmann::ordered_json(
            {ListRow(0, "原子一", "张三", "来源"), ListRow(1, "资源一", "李四", ""),
             ListRow(2, "原子二", "编辑部", ""), ListRow(3, "Tom & Jerry\u00A0\u00A9", "", ""),
             ListRow(4, "杰森一", "王五", "")}));
    // Links, identifiers and descriptions are stored as for RSS; the item page shows them.
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"),
                        "select rss_link, rss_guid, rss_description from item order by rss_link"),
              (Rows{{"http://atom.test/1", "atom-1", "<p>It's <b>news</b></p>"},
                    {"http://atom.test/2", "", ""},
                    {"http://broken.test/?a=1&b=2", "", ""},
                    {"http://json.test/1", "json-1", "a &lt; b"},
                    {"http://rdf.test/1", "http://rdf.test/1", ""}}));
}
