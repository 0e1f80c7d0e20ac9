#include <gtest/gtest.h>

#include "feeds/feed_store.h"
#include "feeds/feed_storer.h"
#include "feeds/rss_reader.h"
#include "store/ado_recordset.h"
#include "store/news_rules.h"
#include "store/rule_applier.h"
#include "store/rule_text.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

// Words are found as the search finds them: Chinese inside a run, other words whole, case and
// full-width forms ignored, the description read as the page shows it.
TEST(NewsRuleWords, AreFoundAsTheSearchCutsText) {
    struct Case {
        const char* word;
        const char* title;
        const char* description;
        bool holds;
    };
    const Case cases[] = {
        {"发布", "新品发布会", "", true},
        {"苹果发布", "苹果，发布", "", false},  // two runs, not one
        {"发布iPhone", "新品发布iPhone 15", "", true},
        {"ai", "AI 芯片", "", true},
        {"ai", "He said so", "", false},
        {"pho", "iPhone", "", false},
        {"ＧＯＯＧＬＥ", "", "<p>google</p>", true},
        {"iphone", "", "<b>I</b>phone", true},   // an inline tag does not part a word
        {"amp", "", "fish &amp; chips", false},  // a reference is its character
        {"don't", "Dont panic", "", true},       // apostrophes take no room
        {"title", "ends with title", "text starts", true},
        {"titletext", "title", "text", false},  // no word runs from the title into the text
        {"!!", "!!", "", false},                // no term at all finds nothing
        // A word joined to Chinese stays within a sentence, while each stands on its own.
        {"5G手机", "5G 手机", "", true},
        {"5G手机", "5G，手机", "", false},
        {"5G手机", "", "<p>5G</p><p>手机</p>", false},
        {"5G", "5G，手机", "", true},
        {"手机", "5G，手机", "", true},
        {"5G，手机", "新5G。手机", "", true},
        {"手机5G", "手机。5G", "", false},
        {"5G手机", "5G", "手机", false},  // nor from the title into the text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RuleTextHolds(RuleFoldedText(c.title, c.description), RuleWordPattern(c.word)),
                  c.holds)
            << c.word << " in " << c.title << " / " << c.description;
    }
    EXPECT_EQ(SplitRuleWords(" 足球，篮球、tennis;golf\n足球 "),
              (std::vector<std::string>{"足球", "篮球", "tennis", "golf"}));
}

namespace {

NewsRule Rule(RuleScope scope, std::string place, RuleMatch match, std::vector<std::string> words,
              RuleAction action, std::string colour = {}) {
    NewsRule rule;
    rule.scope = scope;
    rule.place = std::move(place);
    rule.match = match;
    rule.words = std::move(words);
    rule.action = action;
    rule.colour = std::move(colour);
    return rule;
}

class NewsRulesStore : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open());
    }

    // Stores an RSS channel of `titles` under `keyword` through `rules`.
    int Store(const std::string& keyword, const std::vector<std::string>& titles,
              const NewsRuleSet* rules) {
        std::string feed = "<rss><channel><title>t</title>";
        for (const std::string& title : titles) {
            feed += "<item><title>" + title + "</title><pubDate>2006-05-12</pubDate></item>";
        }
        m_folder.WriteFile("feed.xml", feed + "</channel></rss>");
        CRssReader reader;
        reader.LoadFromUrl(m_folder.File("feed.xml"), AddressOrigin::kTypedByUser);
        Pacing noPauses;
        noPauses.SetEnabled(false);
        const StoreOutcome outcome =
            StoreFeed(m_store, reader, keyword, noPauses, Pacing::Duration(0), nullptr, rules);
        EXPECT_EQ(outcome.failure, "");
        return outcome.itemsStored;
    }

    // The titles the rows of `sql` (of item IDs) name, in title order.
    Rows Titles(const std::string& table) {
        return QueryRows(Db(),
                         "SELECT item.rss_title FROM item WHERE item.ID IN (SELECT item_id "
                         "FROM " +
                             table + ") ORDER BY item.rss_title");
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    int Count(const std::string& sql) {
        CAdoRecordset records(m_store);
        return records.Open(sql) ? records.GetRecordCount() : -1;
    }

    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
};

}  // namespace

// Each action on the items it matches, and only there: a rule of another channel, one that
// matches nothing, and a folder the channel is not in change nothing.
TEST_F(NewsRulesStore, StoringAFeedAppliesEachRuleToTheItemsItMatches) {
    const NewsRuleSet rules(
        {
            Rule(RuleScope::kAll, "", RuleMatch::kAny, {"足球"}, RuleAction::kMarkRead),
            Rule(RuleScope::kChannel, "news", RuleMatch::kAny, {"apple"}, RuleAction::kStar),
            Rule(RuleScope::kFolder, "科技", RuleMatch::kAny, {"芯片"}, RuleAction::kColour,
                 "#ff0000"),
            Rule(RuleScope::kChannel, "News", RuleMatch::kNone, {"news", "新闻"},
                 RuleAction::kHide),
            Rule(RuleScope::kChannel, "Other", RuleMatch::kAny, {"Sport"}, RuleAction::kHide),
            Rule(RuleScope::kFolder, "体育", RuleMatch::kAny, {"Sport"}, RuleAction::kStar),
            Rule(RuleScope::kAll, "", RuleMatch::kAny, {"zzz"}, RuleAction::kHide),
        },
        {{"科技", {"NEWS"}}, {"体育", {"Other"}}});
    ASSERT_EQ(
        Store("News",
              {"足球新闻", "Apple news", "AI 芯片 news", "天气预报", "Sport news", "Plain news"},
              &rules),
        6);

    EXPECT_EQ(QueryRows(Db(),
                        "SELECT rss_title FROM item WHERE ID NOT IN (SELECT item_id FROM "
                        "item_unread) ORDER BY rss_title"),
              (Rows{{"天气预报"}, {"足球新闻"}}));  // read by its rule, and hidden
    EXPECT_EQ(Titles("item_star"), (Rows{{"Apple news"}}));
    EXPECT_EQ(QueryRows(Db(),
                        "SELECT item.rss_title, colour FROM item_colour JOIN item ON "
                        "item.ID = item_id"),
              (Rows{{"AI 芯片 news", "#ff0000"}}));
    EXPECT_EQ(Titles("item_hidden"), (Rows{{"天气预报"}}));

    // The lists leave the hidden item out, but where hidden items are asked for.
    const AccessDate longAgo{2000, 1, 1};
    EXPECT_EQ(Count(SqlSelectRecentItems("News", longAgo)), 5);
    ItemFilter showHidden;
    showHidden.showHidden = true;
    EXPECT_EQ(Count(SqlSelectRecentItems("News", longAgo, showHidden)), 6);

    // A hidden item is stored: it does not come back as new.
    EXPECT_EQ(Store("News", {"天气预报"}, &rules), 0);
    // Without rules, storing changes nothing but the items.
    ASSERT_EQ(Store("News", {"足球 again"}, nullptr), 1);
    EXPECT_EQ(QueryRows(Db(), "SELECT count(*) FROM item_unread"), (Rows{{"5"}}));
}

// A row that cannot be read is skipped and named, and the others still apply; a rule is kept
// across a restart of the store.
TEST_F(NewsRulesStore, ADamagedRuleIsSkippedAndNamedNeverAppliedWrongly) {
    std::int64_t id = 0;
    std::string failure;
    ASSERT_TRUE(SaveNewsRule(m_store,
                             Rule(RuleScope::kAll, "", RuleMatch::kAny, {"b"}, RuleAction::kHide),
                             &id, &failure))
        << failure;
    ExecSql(Db(),
            "INSERT INTO news_rule (ID, scope, place, match, words, action, colour) VALUES "
            "(10, 'all', '', 'any', 'a', 'explode', ''),"
            "(11, 'all', '', 'any', 'a', 'colour', 'red'),"
            "(12, 'folder', '', 'any', 'a', 'hide', ''),"
            "(13, 'all', '', 'any', '', 'hide', ''),"
            "(14, 'all', '', 'some', 'a', 'hide', '')");
    CFeedStore restarted(m_folder.Path());
    restarted.SetIndexInBackground(false);
    ASSERT_TRUE(restarted.Startup(false));
    ASSERT_EQ(restarted.NewsRules()->Rules().size(), 1u);
    EXPECT_EQ(restarted.NewsRules()->Rules()[0].words, (std::vector<std::string>{"b"}));
    std::vector<std::int64_t> damaged;
    for (const DamagedRule& rule : restarted.DamagedRules()) {
        EXPECT_FALSE(rule.reason.empty());
        damaged.push_back(rule.id);
    }
    EXPECT_EQ(damaged, (std::vector<std::int64_t>{10, 11, 12, 13, 14}));
    restarted.Shutdown();
    restarted.Close();

    ASSERT_TRUE(m_store.LoadNewsRules());
    ASSERT_EQ(Store("News", {"a b", "a c"}, m_store.NewsRules().get()), 2);
    EXPECT_EQ(Titles("item_hidden"), (Rows{{"a b"}}));
    EXPECT_EQ(QueryRows(Db(), "SELECT count(*) FROM item_colour"), (Rows{{"0"}}));
}

// Applied to the news already stored, a rule first counts the items it would change, then
// changes those; an edited rule replaces the old one, a removed one is gone.
TEST_F(NewsRulesStore, ARuleOnStoredNewsCountsThenChangesOnlyWhatItWould) {
    ASSERT_EQ(Store("News", {"足球新闻", "篮球新闻", "天气"}, nullptr), 3);
    ASSERT_EQ(Store("Other", {"足球比赛"}, nullptr), 1);
    NewsRule rule =
        Rule(RuleScope::kChannel, "News", RuleMatch::kAny, {"足球", "篮球"}, RuleAction::kStar);
    ExecSql(Db(), "INSERT INTO item_star SELECT ID FROM item WHERE rss_title = '篮球新闻'");
    const NewsRuleSet none;
    std::int64_t items = -1;
    std::string failure;
    ASSERT_TRUE(RuleOnStoredNews(m_store, none, rule, false, &items, &failure)) << failure;
    EXPECT_EQ(items, 1);  // the other one is starred already
    EXPECT_EQ(Titles("item_star"), (Rows{{"篮球新闻"}}));
    ASSERT_TRUE(RuleOnStoredNews(m_store, none, rule, true, &items, &failure)) << failure;
    EXPECT_EQ(items, 1);
    EXPECT_EQ(Titles("item_star"), (Rows{{"篮球新闻"}, {"足球新闻"}}));
    ASSERT_TRUE(RuleOnStoredNews(m_store, none, rule, false, &items, &failure));
    EXPECT_EQ(items, 0);

    rule.action = RuleAction::kColour;
    EXPECT_FALSE(RuleOnStoredNews(m_store, none, rule, true, &items, &failure));
    EXPECT_FALSE(SaveNewsRule(m_store, rule, &rule.id, &failure));
    rule.colour = "#00ff00";
    ASSERT_TRUE(SaveNewsRule(m_store, rule, &rule.id, &failure)) << failure;
    rule.words = {"天气"};
    ASSERT_TRUE(SaveNewsRule(m_store, rule, &rule.id, &failure)) << failure;
    std::vector<NewsRule> rules;
    std::vector<DamagedRule> damaged;
    ASSERT_TRUE(ReadNewsRules(m_store, &rules, &damaged, &failure));
    EXPECT_EQ(rules, (std::vector<NewsRule>{rule}));
    ASSERT_TRUE(RemoveNewsRule(m_store, rule.id, &failure));
    ASSERT_TRUE(ReadNewsRules(m_store, &rules, &damaged, &failure));
    EXPECT_TRUE(rules.empty());
}

// A folder rule reaches the channels anywhere below the folder, as the tree file has them when
// the rules are read, and no channel outside it.
TEST_F(NewsRulesStore, AFolderRuleCoversTheChannelsBelowItInTheTreeFile) {
    m_folder.WriteFile(
        "document/keywordlist.xml",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER"
        "</NODETYPE><TEXT>我的频道</TEXT>"
        "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>体育</TEXT>"
        "<KEYWORDNODE><ID>2</ID><NODETYPE>FOLDER</NODETYPE><TEXT>球类</TEXT>"
        "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT></KEYWORDNODE>"
        "</KEYWORDNODE></KEYWORDNODE>"
        "<KEYWORDNODE><ID>4</ID><NODETYPE>KEY</NODETYPE><TEXT>weather</TEXT></KEYWORDNODE>"
        "</KEYWORDTREE>");
    std::int64_t id = 0;
    std::string failure;
    ASSERT_TRUE(SaveNewsRule(
        m_store, Rule(RuleScope::kFolder, "体育", RuleMatch::kAny, {"ad"}, RuleAction::kStar), &id,
        &failure))
        << failure;
    ASSERT_TRUE(m_store.LoadNewsRules(&failure)) << failure;
    ASSERT_EQ(Store("足球", {"an ad"}, m_store.NewsRules().get()), 1);
    ASSERT_EQ(Store("weather", {"ad again"}, m_store.NewsRules().get()), 1);
    EXPECT_EQ(Titles("item_star"), (Rows{{"an ad"}}));
}
