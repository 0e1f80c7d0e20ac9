#include "model/newspaper_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/clock.h"
#include "feeds/feed_store.h"
#include "model/item_link.h"
#include "model/news_seed.h"
#include "support/temp_data_folder.h"

using namespace std::chrono;

TEST(Newspaper, ExcerptsAreTheDescriptionsTextCutAfterTheirFirstWords) {
    const struct {
        const char* html;
        std::size_t maxChars;
        const char* excerpt;
    } cases[] = {
        {"<p>First <i>half</i> &amp; more</p>", 120, "First half & more"},
        {"a<br>b\n\n  c", 120, "a b c"},
        {"<script>alert(1)</script>safe<style>p{}</style>", 120, "safe"},
        {"&#26032;&#x95FB; &nbsp;&bogus; &#0; & x", 120, "新闻 &bogus; &#0; & x"},
        {"足球比赛今天举行", 4, "足球比赛…"},
        {"<a href=\"x\">unclosed", 120, "unclosed"},
        {"text <unclosed", 120, "text"},
        {"Caf\xE9", 120, "Café"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlainExcerpt(c.html, c.maxChars), c.excerpt) << c.html;
    }
}

TEST(Newspaper, ItemLinksNameTheItemAndNothingElse) {
    EXPECT_EQ(ItemLinkAddress(42), "quillon-item:42");
    EXPECT_EQ(ItemIdOfLink("quillon-item:42"), 42);
    EXPECT_EQ(ItemIdOfLink("QUILLON-ITEM:7"), 7);
    for (const char* other : {"quillon-item:", "quillon-item:4x", "quillon-item:-1",
                              "quillon-item:99999999999999999999", "http://x/quillon-item:1",
                              "quillon-items:1", "quillon-item:1/2"}) {
        EXPECT_FALSE(ItemIdOfLink(other).has_value()) << other;
    }
}

TEST(Newspaper, EveryTextOfThePageIsEscaped) {
    const std::vector<NewspaperSection> sections = {
        {"<b>Folder</b>",
         true,
         {{"<i>chan</i>", {{7, "</a><script>x()</script>", "\"q\" & <tag>", true}}}}},
        {"empty", true, {{"quiet", {}}}},
    };
    const std::string page = BuildNewspaperPage(sections, "<date>");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<b>Folder"), std::string::npos);
    EXPECT_EQ(page.find("<i>chan"), std::string::npos);
    EXPECT_EQ(page.find("<date>"), std::string::npos);
    EXPECT_NE(page.find("&lt;/a&gt;&lt;script&gt;x()&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("href=\"quillon-item:7\""), std::string::npos);
    EXPECT_EQ(page.find("empty"), std::string::npos);  // a section without news is left out
    EXPECT_NE(BuildNewspaperPage({}, "").find("今日和昨日还没有新闻。"), std::string::npos);
}

// The tree: 体育 {足球, 球类 {网球}}, weather. Today is 14 June 2023.
TEST(Newspaper, ReadsTodayAndYesterdayOfTheWholeTreeByTopLevelNode) {
    setenv("TZ", "UTC", 1);
    tzset();
    const ScopedFixedClock clock(sys_days{2023y / 6 / 14} + 12h);
    TempDataFolder folder;
    folder.CreateDatabase();
    const std::string db = folder.File("data/data.dat");
    news_seed::AddChannel(db, 1, "足球");
    news_seed::AddChannel(db, 2, "网球");
    news_seed::AddChannel(db, 3, "weather");
    news_seed::AddItem(db, 1, {"goal", "2023-06-14"});
    news_seed::AddItem(db, 1, {"old goal", "2023-06-12"});
    news_seed::AddItem(db, 2, {"ace", "2023-06-13"});
    news_seed::AddItem(db, 3, {"sun", "2023-06-14"});
    news_seed::AddItem(db, 3, {"rain ahead", "2023-06-15"});  // dated ahead: today's news
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open());

    CNodeMap nodes;
    const auto node = [&](CNodeMap::Handle item, CNodeMap::Handle parent, const char* name,
                          int type) {
        nodes.Insert(item, parent, CKeywordNode::NewNode(name, type));
    };
    node(1, CNodeMap::kNoItem, "我的频道", NODE_FOLDER);
    node(2, 1, "体育", NODE_FOLDER);
    node(3, 2, "足球", NODE_KEY);
    node(4, 2, "球类", NODE_FOLDER);
    node(5, 4, "网球", NODE_KEY);
    node(6, 1, "weather", NODE_KEY);
    const std::string page = ReadNewspaper(nodes, 1, store);

    const auto at = [&page](const std::string& text) { return page.find(text); };
    EXPECT_NE(at("今日 23年06月14日 和昨日 23年06月13日 的新闻"), std::string::npos);
    EXPECT_EQ(at("old goal"), std::string::npos);
    ASSERT_NE(at("<h2>体育</h2>"), std::string::npos);
    EXPECT_LT(at("<h2>体育</h2>"), at("<h3>足球</h3>"));
    EXPECT_LT(at("<h3>足球</h3>"), at(">goal<"));
    EXPECT_LT(at(">goal<"), at("<h3>网球</h3>"));
    EXPECT_LT(at("<h3>网球</h3>"), at(">ace<"));
    EXPECT_LT(at(">ace<"), at("<h2>weather</h2>"));
    EXPECT_LT(at("<h2>weather</h2>"), at(">sun<"));
    EXPECT_NE(at(">rain ahead</strong></a> <font color=#999999 size=2>今日"), std::string::npos);
    EXPECT_EQ(at("<h3>weather</h3>"), std::string::npos);
    EXPECT_EQ(at("球类"), std::string::npos);  // a folder below the top is no heading
}
