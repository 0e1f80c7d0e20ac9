#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "feeds/opml_list_fetch.h"
#include "feeds/subscribed_feed.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

constexpr char kList[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\"><body>"
    "<outline title=\"Rock 'n' Roll\" xmlUrl=\"http://feeds.test/o'brien\"/>"
    "<outline title=\"足球\" xmlUrl=\"http://feeds.test/football\"/>"
    "</body></opml>";

COpmlOutline Outline(const std::string& title, const std::string& xmlUrl,
                     const std::string& htmlUrl = "") {
    COpmlOutline outline;
    CopyToField(outline.title, title);
    CopyToField(outline.xmlUrl, xmlUrl);
    CopyToField(outline.htmlUrl, htmlUrl);
    return outline;
}

class SubscribedFeeds : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();
    }

    Rows Stored() const {
        return QueryRows(m_folder.File("data/data.dat"),
                         "select opml_key, opml_xml_url, opml_html_url from opml order by ID");
    }

    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
};

}  // namespace

TEST_F(SubscribedFeeds, EachNewPairIsStoredOnceApostrophesAndAll) {
    const COpmlOutline quoted = Outline("Rock 'n' Roll", "http://feeds.test/o'brien", "http://x/");
    EXPECT_EQ(StoreSubscribedFeed(m_store, quoted), SubscribedFeedResult::kStored);
    EXPECT_EQ(StoreSubscribedFeed(m_store, quoted), SubscribedFeedResult::kKnown);
    // The same title at another address is another feed of that channel.
    EXPECT_EQ(StoreSubscribedFeed(m_store, Outline("Rock 'n' Roll", "http://feeds.test/2")),
              SubscribedFeedResult::kStored);
    // A single quote cannot end the value and run the rest as SQL.
    const COpmlOutline hostile = Outline("x'); delete from opml; --", "http://feeds.test/h");
    EXPECT_EQ(StoreSubscribedFeed(m_store, hostile), SubscribedFeedResult::kStored);
    EXPECT_EQ(StoreSubscribedFeed(m_store, hostile), SubscribedFeedResult::kKnown);
    EXPECT_EQ(Stored(), (Rows{{"Rock 'n' Roll", "http://feeds.test/o'brien", "http://x/"},
                              {"Rock 'n' Roll", "http://feeds.test/2", ""},
                              {"x'); delete from opml; --", "http://feeds.test/h", ""}}));

    m_store.Close();
    EXPECT_EQ(StoreSubscribedFeed(m_store, Outline("new", "http://feeds.test/n")),
              SubscribedFeedResult::kFailed);
    EXPECT_EQ(Stored().size(), 3u);
}

TEST(OpmlListFetch, ReadsAListOnItsOwnThreadAndReportsOnce) {
    LocalHttpServer server;
    server.Serve("/list.opml", kList, "text/x-opml");
    COpmlListFetch fetch;
    std::promise<OpmlListRead> result;
    ASSERT_TRUE(fetch.Start(server.Url("/list.opml"),
                            [&](OpmlListRead read) { result.set_value(std::move(read)); }));
    EXPECT_FALSE(fetch.Start(server.Url("/list.opml"), [](OpmlListRead) {}));  // one at a time
    const OpmlListRead read = result.get_future().get();
    fetch.Join();
    EXPECT_FALSE(fetch.Running());
    EXPECT_TRUE(read.ok());
    ASSERT_EQ(read.outlines.size(), 2u);
    EXPECT_STREQ(read.outlines[0].xmlUrl, "http://feeds.test/o'brien");
    EXPECT_STREQ(read.outlines[1].title, "足球");

    // Joined, it can read again.
    std::promise<OpmlListRead> missing;
    ASSERT_TRUE(fetch.Start(server.Url("/missing.opml"),
                            [&](OpmlListRead read) { missing.set_value(std::move(read)); }));
    const OpmlListRead none = missing.get_future().get();
    EXPECT_EQ(none.failure, OpmlListFailure::kHttpStatus);
    EXPECT_TRUE(none.outlines.empty());
}

// Each way a list can fail to be read is told apart, so that the user learns why.
TEST(OpmlListFetch, SaysWhyAListCannotBeRead) {
    TempDataFolder folder;
    LocalHttpServer server;
    server.Serve("/list.opml", kList, "text/x-opml");
    server.Serve("/page.html", "<html><body><p>a web page<br></body></html>", "text/html");
    server.Serve("/xhtml", "<html><body/></html>", "application/xhtml+xml");
    server.Serve("/empty.opml", "<opml version=\"1.0\"><body></body></opml>", "text/x-opml");
    server.Serve("/folders.opml",
                 "<opml version=\"1.0\"><body><outline text=\"a\"/><outline text=\"b\"/>"
                 "</body></opml>",
                 "text/x-opml");
    folder.WriteFile("list.opml", kList);
    std::string closedPort;
    {
        LocalHttpServer closed;
        closedPort = closed.Url("/list.opml");
    }
    const struct {
        std::string address;
        OpmlListFailure failure;
        long status;
    } cases[] = {
        {server.Url("/list.opml"), OpmlListFailure::kNone, 0},
        {folder.File("list.opml"), OpmlListFailure::kNone, 0},
        {server.Url("/missing.opml"), OpmlListFailure::kHttpStatus, 404},
        {closedPort, OpmlListFailure::kUnreachable, 0},
        {server.Url("/page.html"), OpmlListFailure::kNotOpml, 0},
        {server.Url("/xhtml"), OpmlListFailure::kNotOpml, 0},
        {server.Url("/empty.opml"), OpmlListFailure::kNoFeeds, 0},
        {server.Url("/folders.opml"), OpmlListFailure::kNoFeeds, 0},
        {folder.File("no-such.opml"), OpmlListFailure::kFileMissing, 0},
        {folder.Path(), OpmlListFailure::kFileUnreadable, 0},
    };
    for (const auto& c : cases) {
        const OpmlListRead read = ReadOpmlList(c.address);
        EXPECT_EQ(read.failure, c.failure) << c.address << ": " << read.detail;
        EXPECT_EQ(read.status, c.status) << c.address;
        EXPECT_EQ(read.ok(), read.detail.empty()) << c.address;
    }
}

TEST(OpmlListFetch, StoppingAbandonsAStalledServerPromptly) {
    LocalHttpServer server;
    server.ServeSlowly("/stalled.opml", std::chrono::seconds(30), kList);
    std::atomic<int> reports{0};
    std::atomic<OpmlListFailure> failure{OpmlListFailure::kNone};
    {
        COpmlListFetch fetch;
        ASSERT_TRUE(fetch.Start(server.Url("/stalled.opml"), [&](OpmlListRead read) {
            failure = read.failure;
            ++reports;
        }));
        while (server.HitCount("/stalled.opml") == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(fetch.Running());
        const auto started = std::chrono::steady_clock::now();
        fetch.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    }
    EXPECT_EQ(reports.load(), 1);
    EXPECT_EQ(failure.load(), OpmlListFailure::kAbandoned);
}
