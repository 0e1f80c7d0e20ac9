#include "model/subscription.h"

#include <gtest/gtest.h>

#include <memory>

#include "feeds/feed_store.h"
#include "model/tree_file_subscription.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

class Subscribing : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();
        m_folder.WriteFile("document/keywordlist.xml",
                           "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>r</TEXT>"
                           "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>博客</TEXT>"
                           "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>Tech</TEXT>"
                           "</KEYWORDNODE></KEYWORDNODE>"
                           "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                           "</KEYWORDNODE></KEYWORDTREE>");
        ASSERT_EQ(m_store.Execute(SqlInsertOpml("Tech", "http://a.test/tech", "")), 1);
        m_file = std::make_unique<CKeywordTreeFile>(m_folder.File("document/keywordlist.xml"));
        m_tree = std::make_unique<TreeFileSubscription>(*m_file);
    }

    Rows Feeds() const {
        return QueryRows(m_folder.File("data/data.dat"),
                         "select opml_key, opml_xml_url from opml order by ID");
    }

    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
    std::unique_ptr<CKeywordTreeFile> m_file;
    std::unique_ptr<TreeFileSubscription> m_tree;
};

}  // namespace

// A feed never joins another channel's news: a name another channel uses for other feeds, or
// a search word's, is numbered; a channel elsewhere of the same feed is shared by name; a
// folder that has the feed already gets nothing.
TEST_F(Subscribing, NamesAFeedsChannelSoThatNoFeedJoinsAnothersNews) {
    const int top = 0;
    const int blogs = 1;
    struct Case {
        int folder;
        const char* name;
        const char* address;
        OneFeedResult::Outcome outcome;
        const char* channel;
    };
    const Case cases[] = {
        {top, "Tech", "http://b.test/other", OneFeedResult::kAdded, "Tech (2)"},
        {top, "Tech", "http://c.test/third", OneFeedResult::kAdded, "Tech (3)"},
        {top, "tech", "http://a.test/tech", OneFeedResult::kAdded, "tech"},
        {blogs, "Anything", "http://a.test/tech", OneFeedResult::kAlreadyThere, "Tech"},
        {top, "足球", "http://d.test/football", OneFeedResult::kAdded, "足球 (2)"},
        {blogs, "新站", "http://e.test/new", OneFeedResult::kAdded, "新站"},
    };
    for (const Case& c : cases) {
        const OneFeedResult result = SubscribeFeed(*m_tree, m_store, c.folder, c.name, c.address);
        EXPECT_EQ(result.outcome, c.outcome) << c.address;
        EXPECT_EQ(result.name, c.channel) << c.address;
    }
    EXPECT_EQ(Feeds(), (Rows{{"Tech", "http://a.test/tech"},
                             {"Tech (2)", "http://b.test/other"},
                             {"Tech (3)", "http://c.test/third"},
                             {"足球 (2)", "http://d.test/football"},
                             {"新站", "http://e.test/new"}}));
    // Channels of a subscription are their feeds: they do not search for their names.
    EXPECT_EQ(ReadTreeChannels(m_folder.File("document/keywordlist.xml")),
              (std::vector<ChannelKeyword>{{"Tech", true},
                                           {"新站", false},
                                           {"足球", true},
                                           {"Tech (2)", false},
                                           {"Tech (3)", false},
                                           {"tech", false},
                                           {"足球 (2)", false}}));
}

TEST_F(Subscribing, FoldersOfAPathAreFoundOrMadeAtAnyDepth) {
    int made = 0;
    const int deep = FolderAtPath(*m_tree, 0, {"博客", "技术", "数据库"}, &made);
    ASSERT_GT(deep, 0);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(FolderAtPath(*m_tree, 0, {"博客", "技术", "数据库"}, &made), deep);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(FolderAtPath(*m_tree, 0, {}), 0);
    // A channel is no folder: one of that name is made beside it.
    EXPECT_GT(FolderAtPath(*m_tree, 0, {"足球"}, &made), 0);
    EXPECT_EQ(made, 3);
}

TEST(NumberedName, KeepsTheNumberWholeWithinTheNameLimit) {
    EXPECT_EQ(NumberedName("新闻", 2), "新闻 (2)");
    const std::string longName(600, 'x');
    const std::string numbered = NumberedName(longName, 12);
    EXPECT_EQ(numbered.size(), kMaxNodeNameCodePageBytes);
    EXPECT_TRUE(numbered.ends_with("x (12)"));
}
