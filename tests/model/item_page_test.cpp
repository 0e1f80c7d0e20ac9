#include "model/item_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>

#include "base/clock.h"
#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "feeds/feed_storer.h"
#include "feeds/rss_reader.h"
#include "model/list_mode.h"
#include "model/news_loader.h"
#include "model/news_seed.h"
#include "support/temp_data_folder.h"

using namespace std::chrono;
using namespace std::chrono_literals;
using news_seed::AddChannel;
using news_seed::AddItem;

namespace {

const char kExpectedPage[] =
    "<html><body bgcolor = #FFFFDF><table width=100% border=0 cellspacing=0 cellpadding=5>"
    "<tr><td width=96% valign=top align=center><strong>"
    "<a href=\"http://news.test/1?a=1&amp;b=2\"><font color=#990000 size=4> 中国队获胜"
    "</font></a></strong></td></tr><tr><td>"
    "<font color=#999999>新华网</font> <font color=#999999 size=3>06年11月06日"
    "</font> <font color=#000000 size=3>记者</font><br></td></tr><tr><td>"
    "<font size = 3><p>比赛<b>结果</b></p></font></td></tr><tr><td>"
    "<a href=\"http://news.test/1?a=1&amp;b=2\"><strong><font color=#ff0000 size=3>详细内容"
    "</font></strong></a></td></tr><tr></tr></table></body></html>";

CNewsRow RowFor(const std::string& title, const std::string& channel, int y, int m, int d) {
    CAdoDateValue date;
    date.date = AutomationDateFromCivil(y, m, d);
    date.status = kDateValid;
    return MakeNewsRow(title, "", "", date, channel);
}

class ItemPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();
        AddChannel(Db(), 1, "足球");
    }
    std::string Db() const { return m_folder.File("data/data.dat"); }

    ScopedFixedClock m_clock{sys_days{2023y / 6 / 14} + 12h};
    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
};

TEST_F(ItemPageTest, AClickedRowGivesTheItemsPageWithEveryPieceInOrder) {
    AddItem(Db(), 1,
            {"中国队获胜", "2006-11-06", "http://news.test/1?a=1&b=2", "记者", "新华网",
             "<p>比赛<b>结果</b></p>"});
    const std::optional<ItemPage> page =
        ReadItemPage(m_store, RowFor("中国队获胜", "足球", 2006, 11, 6));
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->html, kExpectedPage);
    EXPECT_EQ(page->link, "http://news.test/1?a=1&b=2");
    EXPECT_EQ(page->baseUrl, "http://news.test/1?a=1&b=2");
    EXPECT_EQ(ReadItemLink(m_store, RowFor("中国队获胜", "足球", 2006, 11, 6)),
              "http://news.test/1?a=1&b=2");
}

TEST_F(ItemPageTest, HostileTextsStayTextAndUnsafeLinksAreNotLive) {
    const struct {
        const char* what;
        ItemTexts item;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    } kCases[] = {
        {"script in the title, source and author",
         {"<script>alert(1)</script>", "http://x.test/", "", "\"><img onerror=x>", "a&b"},
         {"&lt;script&gt;alert(1)&lt;/script&gt;", "&quot;&gt;&lt;img onerror=x&gt;", "a&amp;b"},
         {"<script>", "<img"}},
        {"a script address",
         {"t", "javascript:alert(document.cookie)", "", "", ""},
         {"<a><font color=#990000", "<a><strong>"},
         {"javascript:", "href"}},
        {"a local file", {"t", "file:///etc/passwd", "", "", ""}, {"<a><font"}, {"file:", "href"}},
        {"an attribute break-out",
         {"t", "http://x.test/\" onmouseover=\"alert(1)", "", "", ""},
         {"href=\"http://x.test/&quot; onmouseover=&quot;alert(1)\""},
         {"\" onmouseover"}},
        {"a space in the address",
         {"t", "http://x.test/a b", "", "", ""},
         {"href=\"http://x.test/a b\">"},
         {}},
        {"markup in the description",
         {"t", "https://x.test/", "<b>bold</b> &amp; <i>it</i>", "", ""},
         {"<font size = 3><b>bold</b> &amp; <i>it</i></font>"},
         {"&lt;b&gt;"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::string page = BuildItemPage(c.item, "23年06月14日");
        for (const std::string& text : c.present) {
            EXPECT_NE(page.find(text), std::string::npos) << text << "\n" << page;
        }
        for (const std::string& text : c.absent) {
            EXPECT_EQ(page.find(text), std::string::npos) << text << "\n" << page;
        }
    }
}

TEST(ItemLink, OnlyWebAndMailAddressesAreSafe) {
    const struct {
        const char* link;
        bool safe;
    } kCases[] = {
        {"http://news.test/1", true},     {"HTTPS://news.test/1", true},
        {"ftp://files.test/a", true},     {"mailto:editor@news.test", true},
        {"javascript:alert(1)", false},   {"JavaScript:alert(1)", false},
        {" javascript:alert(1)", false},  {"java\nscript:alert(1)", false},
        {"java\tscript:alert(1)", false}, {"http\n://news.test/", false},
        {"vbscript:msgbox(1)", false},    {"data:text/html,<script>alert(1)</script>", false},
        {"file:///etc/passwd", false},    {"/relative/path", false},
        {"news.test/1", false},           {"", false},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(IsSafeLink(c.link), c.safe) << c.link;
    }
}

TEST_F(ItemPageTest, AnItemNoLongerStoredStillGivesAPageWithTheRowsDate) {
    const std::optional<ItemPage> page = ReadItemPage(m_store, RowFor("gone", "足球", 2023, 6, 14));
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->html, BuildItemPage({}, "23年06月14日"));
    EXPECT_EQ(page->link, "");
    EXPECT_EQ(page->baseUrl, "");
    EXPECT_FALSE(ReadItemLink(m_store, RowFor("gone", "足球", 2023, 6, 14)).has_value());

    CAdoDateValue noDate;
    noDate.status = kDateNull;
    const CNewsRow undated = MakeNewsRow("gone", "", "", noDate, "足球");
    EXPECT_EQ(ReadItemPage(m_store, undated)->html, BuildItemPage({}, ""));

    // A closed database cannot run the look-up: no page at all.
    m_store.Close();
    EXPECT_FALSE(ReadItemPage(m_store, undated).has_value());
    EXPECT_FALSE(ReadItemLink(m_store, undated).has_value());
}

TEST_F(ItemPageTest, AScriptLinkIsNeverANavigationTarget) {
    AddItem(Db(), 1, {"trap", "2023-06-14", "javascript:alert(1)"});
    const CNewsRow row = RowFor("trap", "足球", 2023, 6, 14);
    EXPECT_FALSE(ReadItemLink(m_store, row).has_value());
    const std::optional<ItemPage> page = ReadItemPage(m_store, row);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->link, "javascript:alert(1)");
    EXPECT_EQ(page->baseUrl, "");
}

TEST_F(ItemPageTest, LoadedRowsFindTheirItemEvenWithCutTitlesAndApostrophes) {
    std::string longTitle;
    for (int i = 0; i < 130; ++i) {
        longTitle += "长";  // 260 code-page bytes: the row keeps 127 characters
    }
    AddChannel(Db(), 2, "Rock 'n' Roll");
    AddItem(Db(), 2, {longTitle, "2023-06-14", "http://news.test/long"});
    AddItem(Db(), 2, {"It's loud", "2023-06-13", "http://news.test/loud"});
    CNewsList list(m_store);
    list.pacing().SetEnabled(false);
    ASSERT_TRUE(list.RequestLoad(CKeywordNode::NewNode("Rock 'n' Roll", NODE_KEY), kListModeAll));
    list.WaitUntilIdle();
    ASSERT_EQ(list.RowCount(), 2);

    const CNewsRow cut = *list.Row(0);
    EXPECT_EQ(cut.title, longTitle.substr(0, 127 * 3));
    const std::optional<ItemPage> page = ReadItemPage(m_store, cut);
    ASSERT_TRUE(page.has_value());
    // The page, like the row, shows as much as is ever stored.
    EXPECT_NE(page->html.find("> " + cut.title + "</font>"), std::string::npos);
    EXPECT_EQ(page->link, "http://news.test/long");
    EXPECT_EQ(ReadItemLink(m_store, *list.Row(1)), "http://news.test/loud");
    EXPECT_NE(ReadItemPage(m_store, *list.Row(1))->html.find("It&#39;s loud"), std::string::npos);
}

// A feed's untitled items with long addresses (as news searches give): both are stored, both
// are listed as untitled (with the first words of their text where they have any), in a
// channel and in a folder, and each opens its own address, whole.
TEST_F(ItemPageTest, UntitledItemsWithLongLinksAreListedAndOpenedWhole) {
    std::string links[2];
    std::string items;
    for (int i = 0; i < 2; ++i) {
        links[i] =
            "http://news.test/search?i=" + std::to_string(i) + "&q=" + std::string(1500, 'q');
        const std::string text = i == 0 ? "&lt;p&gt;Storm &lt;b&gt;warning&lt;/b&gt; for the "
                                          "whole coast tonight, and rain tomorrow&lt;/p&gt;"
                                        : "";
        items += "<item><link>" + EscapeMarkup(links[i]) + "</link><description>" + text +
                 "</description><pubDate>2023-06-14</pubDate></item>";
    }
    m_folder.WriteFile("feed.xml", "<rss><channel><title>t</title>" + items + "</channel></rss>");
    CRssReader reader;
    reader.LoadFromUrl(m_folder.File("feed.xml"), AddressOrigin::kTypedByUser);
    Pacing noPauses;
    noPauses.SetEnabled(false);
    ASSERT_EQ(StoreFeed(m_store, reader, "足球", noPauses, Pacing::Duration(0)).itemsStored, 2);

    CNewsList list(m_store);
    list.pacing().SetEnabled(false);
    ASSERT_TRUE(list.RequestLoad(CKeywordNode::NewNode("足球", NODE_KEY), kListModeAll));
    list.WaitUntilIdle();
    std::set<std::string> titles;
    for (const CNewsRow& row : list.Rows()) {
        EXPECT_TRUE(row.untitled);
        titles.insert(row.title);
    }
    const std::set<std::string> expected = {"Storm warning for the whole coast…", kUntitledText};
    EXPECT_EQ(titles, expected);
    ASSERT_TRUE(
        list.RequestLoad(CKeywordNode::NewNode("我的频道", NODE_FOLDER), kListModeAll, {"足球"}));
    list.WaitUntilIdle();
    ASSERT_EQ(list.RowCount(), 2);
    titles.clear();
    for (const CNewsRow& row : list.Rows()) {
        titles.insert(row.title);
    }
    EXPECT_EQ(titles, expected);
    for (int i = 0; i < 2; ++i) {
        const CNewsRow row = *list.Row(i);
        EXPECT_TRUE(row.untitled);
        const std::optional<std::string> link = ReadItemLink(m_store, row);
        ASSERT_TRUE(link.has_value());
        EXPECT_TRUE(*link == links[0] || *link == links[1]);
        const std::optional<ItemPage> page = ReadItemPage(m_store, row);
        ASSERT_TRUE(page.has_value());
        EXPECT_EQ(page->link, *link);
        EXPECT_NE(page->html.find("> （无标题）</font>"), std::string::npos);
        EXPECT_NE(page->html.find("href=\"" + EscapeMarkup(*link) + "\""), std::string::npos);
    }
    EXPECT_NE(ReadItemLink(m_store, *list.Row(0)), ReadItemLink(m_store, *list.Row(1)));
}

}  // namespace
