// quillon-cli subscribe: one feed by its address, or the feed a web page announces, as a
// channel of the tree that is fetched at once and does not search for its name.

#include <gtest/gtest.h>

#include <string>

#include "cli/cli_support.h"
#include "store/keyword_tree_file.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

std::string Rss(const std::string& title) {
    return "<rss version=\"2.0\"><channel><title>" + title +
           "</title><item><title>第一条</title><link>http://x.test/1</link></item>"
           "<item><title>第二条</title></item></channel></rss>";
}

std::string PageWith(const std::string& links) {
    return "<html><head><title>站点</title>" + links + "</head><body></body></html>";
}

class CliSubscribe : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.CopySeedSettings();
        m_folder.WriteFile("document/keywordlist.xml",
                           "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE>"
                           "<TEXT>我的频道</TEXT></KEYWORDTREE>");
        // A search of the service would show in its hit count.
        m_folder.WriteFile("data/services.conf", "search.baidu = " + m_server.BaseUrl() + "\n");
        m_server.Serve("/feed.xml", Rss("技术博客"));
        m_server.Serve("/other.xml", Rss("另一个"));
        m_server.Serve("/one.html",
                       PageWith("<link rel=\"alternate\" type=\"application/rss+xml\" "
                                "href=\"/feed.xml\">"),
                       "text/html");
        m_server.Serve("/two.html",
                       PageWith("<link rel=\"alternate\" type=\"application/rss+xml\" title=\"甲\" "
                                "href=\"feed.xml\"><link rel=\"alternate\" "
                                "type=\"application/atom+xml\" title=\"乙\" href=\"other.xml\">"),
                       "text/html");
        m_server.Serve("/none.html", PageWith(""), "text/html");
    }

    ProcessResult Subscribe(std::vector<std::string> args) {
        args.insert(args.begin(), "subscribe");
        args.push_back("--no-pauses");
        return Cli(args, m_folder.Path());
    }

    std::vector<ChannelKeyword> Channels() const {
        return ReadTreeChannels(m_folder.File("document/keywordlist.xml"));
    }

    LocalHttpServer m_server;
    TempDataFolder m_folder;
};

}  // namespace

TEST_F(CliSubscribe, AFeedBecomesAChannelNamedByItsTitleAndIsFetchedAtOnce) {
    const ProcessResult run = Subscribe({m_server.Url("/feed.xml"), "--folder", "博客/技术"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "技术博客\t" + m_server.Url("/feed.xml") + "\tRSS 2.0\t2 new items\t0 failed\n");
    EXPECT_EQ(Channels(), (std::vector<ChannelKeyword>{{"技术博客", false}}));
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "select count(*) from item i join channel c on c.ID = i.rss_channelID "
                        "where c.rss_title = '技术博客'"),
              (Rows{{"2"}}));
    // The channel is its feed: the news service was never asked for its name.
    EXPECT_EQ(m_server.Targets(), (std::vector<std::string>{"/feed.xml", "/feed.xml"}));

    // The same feed in the same folder is refused; a name given is taken, numbered when a
    // channel elsewhere has other feeds under it.
    const ProcessResult again = Subscribe({m_server.Url("/feed.xml"), "--folder", "博客/技术"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("has this feed already"), std::string::npos) << again.err;
    const ProcessResult named = Subscribe({m_server.Url("/other.xml"), "--name", "技术博客"});
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(named.out.substr(0, named.out.find('\t')), "技术博客 (2)");
}

TEST_F(CliSubscribe, AWebPageGivesTheFeedItAnnouncesOrListsSeveral) {
    const ProcessResult one = Subscribe({m_server.Url("/one.html")});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(Channels(), (std::vector<ChannelKeyword>{{"技术博客", false}}));

    const ProcessResult two = Subscribe({m_server.Url("/two.html")});
    EXPECT_EQ(two.exitCode, 1);
    EXPECT_EQ(two.out,
              m_server.Url("/feed.xml") + "\t甲\n" + m_server.Url("/other.xml") + "\t乙\n");
    EXPECT_NE(two.err.find("announces 2 feeds"), std::string::npos) << two.err;

    for (const std::string path : {"/none.html", "/missing.xml"}) {
        const ProcessResult failed = Subscribe({m_server.Url(path)});
        EXPECT_EQ(failed.exitCode, 1) << path;
        EXPECT_FALSE(failed.err.empty()) << path;
    }
    EXPECT_NE(Subscribe({m_server.Url("/none.html")}).err.find("announces no feed"),
              std::string::npos);
    EXPECT_NE(Subscribe({m_server.Url("/missing.xml")}).err.find("HTTP 404"), std::string::npos);
    EXPECT_EQ(Channels().size(), 1u);
    EXPECT_EQ(Cli({"subscribe"}, m_folder.Path()).exitCode, 2);
}
