#include "model/list_subscription.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "feeds/feed_store.h"
#include "feeds/opml_document.h"
#include "model/subscription_texts.h"
#include "model/tree_file_subscription.h"
#include "store/source_status.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kSite[] = "http://publisher.example.test";

// A data folder with its database open and its tree file as a subscription adds to it.
struct DataFolder {
    DataFolder() {
        folder.CreateDatabase();
        EXPECT_TRUE(store.Open()) << store.LastError();
    }
    std::string TreePath() const { return folder.File("document/keywordlist.xml"); }
    // Reads the tree file afresh, as the next subscription would.
    TreeFileSubscription& Tree() {
        file = std::make_unique<CKeywordTreeFile>(TreePath());
        tree = std::make_unique<TreeFileSubscription>(*file);
        return *tree;
    }
    // The tree below `folderId`, one line a node, indented by depth: a folder "name/", a
    // channel "name" with "[搜索]" when it searches for its name and its feeds' addresses.
    Strings Dump(int folderId) {
        Strings lines;
        std::vector<OpmlTreeNode> nodes;
        CKeywordTreeFile(TreePath()).Load([&nodes](const CKeywordNode& node, int parentId) {
            nodes.push_back({node.id, parentId, node.type, node.name, node.searchName});
        });
        DumpBelow(nodes, folderId, "", lines);
        return lines;
    }
    void DumpBelow(const std::vector<OpmlTreeNode>& nodes, int parentId, const std::string& indent,
                   Strings& lines) {
        for (const OpmlTreeNode& node : nodes) {
            if (node.parentId != parentId) {
                continue;
            }
            if (node.type == NODE_FOLDER) {
                lines.push_back(indent + node.name + "/");
                DumpBelow(nodes, node.id, indent + "  ", lines);
                continue;
            }
            std::string line = indent + node.name + (node.searchName ? " [搜索]" : "");
            for (const Row& feed :
                 QueryRows(folder.File("data/data.dat"), SqlSelectOpmlByKey(node.name))) {
                line += " " + feed[2];  // opml_xml_url
            }
            lines.push_back(line);
        }
    }

    TempDataFolder folder;
    CFeedStore store{folder.Path()};
    std::unique_ptr<CKeywordTreeFile> file;
    std::unique_ptr<TreeFileSubscription> tree;
};

std::vector<COpmlOutline> ReadList(const std::string& path) {
    COpmlDocument document;
    EXPECT_TRUE(document.ReadOutlines(path, AddressOrigin::kTypedByUser)) << path;
    return document.ReadList();
}

}  // namespace

// A list as readers export it: categories become folders at any depth, a name another
// channel has is numbered, outlines that are no feed are skipped and counted; subscribing it
// again adds nothing.
TEST(ListSubscription, CategoriesBecomeFoldersAndTheSummaryCountsEverything) {
    DataFolder data;
    const int into = data.Tree().Add(NODE_FOLDER, 0, "订阅", true);
    ASSERT_GT(into, 0);
    const std::vector<COpmlOutline> outlines = ReadList(TestDataPath("opml/categories.opml"));
    const ListSubscription first = SubscribeOutlines(data.Tree(), data.store, into, outlines);
    EXPECT_EQ(first.added, 8);
    EXPECT_EQ(first.existing, 0);
    EXPECT_EQ(first.folders, 4);
    EXPECT_EQ(first.skipped, 3);
    EXPECT_EQ(first.unstored, 0);
    EXPECT_EQ(first.channels.size(), 8u);
    EXPECT_EQ(data.Dump(into), (Strings{
                                   "科技/",
                                   "  少数派 http://tech.example.test/sspai/feed",
                                   "  Hacker News http://tech.example.test/hn/rss",
                                   "  开发/",
                                   "    Go 博客 http://dev.example.test/go/feed.atom",
                                   "    Rust http://dev.example.test/rust/feed.xml",
                                   "    数据库/",
                                   "      SQLite 新闻 http://dev.example.test/sqlite/news.rss",
                                   "新闻/",
                                   "  联合早报 http://news.example.test/zaobao/realtime.xml",
                                   "  Hacker News (2) http://news.example.test/hn-best/rss",
                                   "天气 http://weather.example.test/rss",
                               }));

    const ListSubscription again = SubscribeOutlines(data.Tree(), data.store, into, outlines);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.existing, 8);
    EXPECT_EQ(again.folders, 0);
    EXPECT_EQ(data.Dump(into).size(), 12u);
}

// Export, then subscribe the file into an empty folder of another data folder: the same
// tree comes back, keyword channels, channels of several feeds, empty folders, the
// search-name choice and a feed two channels share included.
TEST(ListSubscription, AnExportSubscribedIntoAnEmptyFolderGivesTheSameTree) {
    DataFolder source;
    TreeFileSubscription& tree = source.Tree();
    const int news = tree.Add(NODE_FOLDER, 0, "新闻", true);
    const int home = tree.Add(NODE_FOLDER, news, "国内", true);
    tree.Add(NODE_KEY, home, "人工智能", true);
    tree.Add(NODE_KEY, home, "Ben & Jerry's", false);
    const int empty = tree.Add(NODE_FOLDER, news, "空的", true);
    ASSERT_GT(empty, 0);
    tree.Add(NODE_KEY, news, "足球", true);
    const int blogs = tree.Add(NODE_FOLDER, 0, "博客", true);
    tree.Add(NODE_KEY, blogs, "技术", false);
    tree.Add(NODE_KEY, blogs, "足球", false);
    tree.Add(NODE_KEY, 0, "没有新闻源", false);
    for (const auto& [key, address] : std::vector<std::pair<std::string, std::string>>{
             {"Ben & Jerry's", "http://bj.example.test/feed?a=1&b=2"},
             {"技术", "http://a.example.test/tech.xml"},
             {"技术", "http://b.example.test/atom"},
             {"足球", "http://sports.example.test/足球.xml"}}) {
        ASSERT_EQ(source.store.Execute(SqlInsertOpml(key, address, "")), 1);
    }
    const Strings original = source.Dump(0);
    ASSERT_EQ(original.size(), 10u);

    source.store.LoadSettings();
    const std::string exported = source.folder.File("export.opml");
    OpmlExportCount count;
    ASSERT_TRUE(COpmlDocument().ExportSubscriptions(
        source.store, exported, kOpmlOwnerName, kSite,
        ReadExportTree(source.TreePath(), source.store.Settings()), &count));
    // Three keyword outlines (one of a channel that searches nothing) and five feeds (the
    // shared one under each of its two channels); four folders.
    EXPECT_EQ(count.feeds, 8);
    EXPECT_EQ(count.folders, 4);

    DataFolder target;
    const int into = target.Tree().Add(NODE_FOLDER, 0, "导入", true);
    const ListSubscription result =
        SubscribeOutlines(target.Tree(), target.store, into, ReadList(exported));
    EXPECT_EQ(result.added, 6);
    EXPECT_EQ(result.folders, 4);
    EXPECT_EQ(result.skipped, 0);
    EXPECT_EQ(target.Dump(into), original);
}

// A feed counts as fetched only by an attempt made since the subscription began: a shared
// feed's older row is no news of this fetch. Failures carry their reason in the user's words.
TEST(FeedFetchWatch, CountsOnlyAttemptsSinceItBeganAndWordsTheFailures) {
    DataFolder data;
    const auto save = [&data](const char* channel, const char* address, SourceOutcome outcome,
                              int status, const char* attempt) {
        SourceStatus row;
        row.channel = channel;
        row.address = address;
        row.outcome = outcome;
        row.httpStatus = status;
        row.lastAttempt = attempt;
        ASSERT_TRUE(SaveSourceStatus(data.store, row));
    };
    save("旧", "http://a.test/old", SourceOutcome::kOk, 200, "2026-12-09T08:00:00Z");
    CFeedFetchWatch watch(
        data.store,
        {{"旧", "http://a.test/old"}, {"新", "http://b.test/new"}, {"坏", "http://c.test/missing"}},
        "2026-12-10T02:00:00Z");
    EXPECT_FALSE(watch.Poll());
    EXPECT_EQ(FetchProgressText(watch), "正在获取：0/3");
    save("新", "http://b.test/new", SourceOutcome::kOk, 200, "2026-12-10T02:00:01Z");
    save("坏", "http://c.test/missing", SourceOutcome::kHttpError, 404, "2026-12-10T02:00:02Z");
    EXPECT_FALSE(watch.Poll());
    EXPECT_EQ(FetchProgressText(watch), "正在获取：2/3");
    save("旧", "http://a.test/old", SourceOutcome::kNetworkError, 0, "2026-12-10T02:00:03Z");
    EXPECT_TRUE(watch.Poll());
    EXPECT_EQ(FetchResultText(watch),
              "3 个新闻源中 2 个获取失败：\n坏：找不到该页面（HTTP 404）（http://c.test/missing）\n"
              "旧：无法连接（http://a.test/old）");
    EXPECT_EQ(FetchedSummaryText("已订阅 3 个频道", watch), "已订阅 3 个频道，2 个新闻源获取失败");
}
