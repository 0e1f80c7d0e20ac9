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
    EXPECT_TRUE(read.loaded);
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.outlines.size(), 2u);
    EXPECT_STREQ(read.outlines[0].xmlUrl, "http://feeds.test/o'brien");
    EXPECT_STREQ(read.outlines[1].title, "足球");

    // Joined, it can read again; an unreachable address reads as nothing.
    std::promise<OpmlListRead> missing;
    ASSERT_TRUE(fetch.Start(server.Url("/missing.opml"),
                            [&](OpmlListRead read) { missing.set_value(std::move(read)); }));
    const OpmlListRead none = missing.get_future().get();
    EXPECT_FALSE(none.loaded);
    EXPECT_TRUE(none.outlines.empty());
}

TEST(OpmlListFetch, StoppingAbandonsAStalledServerPromptly) {
    LocalHttpServer server;
    server.ServeSlowly("/stalled.opml", std::chrono::seconds(30), kList);
    std::atomic<int> reports{0};
    std::atomic<bool> loaded{true};
    {
        COpmlListFetch fetch;
        ASSERT_TRUE(fetch.Start(server.Url("/stalled.opml"), [&](OpmlListRead read) {
            loaded = read.loaded;
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
    EXPECT_FALSE(loaded.load());
}
