#include "model/ttrss_sync.h"

#include <gtest/gtest.h>

#include <set>

#include "base/charset.h"
#include "feeds/feed_store.h"
#include "model/account_sync.h"
#include "model/tree_file_subscription.h"
#include "store/keyword_tree_file.h"
#include "store/secret_store.h"
#include "store/star_statements.h"
#include "store/statements.h"
#include "store/sync_settings.h"
#include "support/local_http_server.h"
#include "support/run_process.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "support/ttrss_server.h"

namespace {

std::string Rss(const std::string& encoding, const std::string& title,
                const std::vector<std::string>& items) {
    std::string rss = "<?xml version=\"1.0\" encoding=\"" + encoding +
                      "\"?><rss version=\"2.0\">"
                      "<channel><title>" +
                      title + "</title><link>http://example.com/</link>";
    int n = 0;
    for (const std::string& item : items) {
        ++n;
        rss += "<item><title>" + item + "</title><link>http://example.com/" + title + "/" +
               std::to_string(n) + "</link><description>" + item +
               " &amp; 正文</description><pubDate>Wed, 09 Dec 2026 10:0" + std::to_string(n % 10) +
               ":00 GMT</pubDate></item>";
    }
    return rss + "</channel></rss>";
}

std::string Gb2312(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(ConvertCharset("UTF-8", "GB2312", utf8, &out)) << utf8;
    return out;
}

// A server with the user alice, her feeds served on 127.0.0.1:80 and subscribed there as
// http://0.0.0.0/..., and a data folder of this program to sync into.
class SyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TtRssServer::Available()) {
            GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
        }
        m_feeds = std::make_unique<LocalHttpServer>(80);
        ASSERT_EQ(m_feeds->Port(), 80) << "port 80 of 127.0.0.1 is taken";
        m_server = std::make_unique<TtRssServer>();
        ASSERT_TRUE(m_server->Started());
        m_user = m_server->AddUser("alice", "pw");
        m_folder.CreateDatabase();
        m_store = std::make_unique<CFeedStore>(m_folder.Path());
        ASSERT_TRUE(m_store->Open()) << m_store->LastError();
    }

    // Subscribes the feed at `path` on the server (in `category`, 0 for none) and has the
    // server fetch it; its feed id.
    int Subscribe(const std::string& path, int category = 0) {
        CTtRssClient client(m_server->Address(), "alice", "pw");
        const TtRssAnswer added = client.Call(
            "subscribeToFeed", {{"feed_url", "http://0.0.0.0" + path}, {"category_id", category}});
        EXPECT_TRUE(added.ok()) << added.detail;
        const int id = added.content["status"]["feed_id"].get<int>();
        Fetch(id);
        return id;
    }
    void Fetch(int feedId) {
        CTtRssClient client(m_server->Address(), "alice", "pw");
        EXPECT_TRUE(client.Call("updateFeed", {{"feed_id", feedId}}).ok());
    }
    // The server's article ids of the titles, by title.
    std::map<std::string, int> ServerArticles() {
        std::map<std::string, int> ids;
        for (const std::string& line : Split(m_server->Sql(
                 "select e.title || '|' || e.id from ttrss_entries e order by e.id"))) {
            const auto bar = line.rfind('|');
            ids[line.substr(0, bar)] = std::stoi(line.substr(bar + 1));
        }
        return ids;
    }
    std::string ServerState(int articleId, const std::string& column) {
        return m_server->Sql("select " + column + " from ttrss_user_entries where ref_id = " +
                             std::to_string(articleId));
    }
    void ServerUpdate(int articleId, int field, int mode) {
        CTtRssClient client(m_server->Address(), "alice", "pw");
        EXPECT_TRUE(client
                        .Call("updateArticle", {{"article_ids", std::to_string(articleId)},
                                                {"mode", mode},
                                                {"field", field}})
                        .ok());
    }

    SyncSummary Sync(const SyncProgressFn& progress = nullptr) {
        CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
        TreeFileSubscription tree(file);
        CTtRssClient client(m_server->Address(), "alice", "pw");
        const SyncSummary summary = RunTtRssSync(
            client, *m_store, tree, [&file](int id) { return file.RemoveNode(id); }, {}, nullptr,
            progress);
        EXPECT_TRUE(summary.ok()) << TtRssFailureName(summary.failure) << ": " << summary.detail;
        return summary;
    }

    // Each channel of the tree file with its folder path below the root: "127.0.0.1/科技/name".
    std::set<std::string> TreeChannels() {
        CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
        std::map<int, std::pair<int, CKeywordNode>> nodes;
        std::set<std::string> channels;
        file.Load([&](const CKeywordNode& node, int parent) { nodes[node.id] = {parent, node}; });
        for (const auto& [id, entry] : nodes) {
            if (entry.second.type != NODE_KEY) {
                continue;
            }
            std::string path = entry.second.name;
            for (int parent = entry.first; parent != 0; parent = nodes[parent].first) {
                path = std::string(nodes[parent].second.name) + "/" + path;
            }
            channels.insert(path);
        }
        return channels;
    }

    Rows Items(const std::string& where = "1") {
        return QueryRows(m_folder.File("data/data.dat"),
                         "SELECT c.rss_title, i.rss_title, "
                         "EXISTS (SELECT 1 FROM item_unread u WHERE u.item_id = i.ID), "
                         "EXISTS (SELECT 1 FROM item_star s WHERE s.item_id = i.ID) "
                         "FROM item i JOIN channel c ON c.ID = i.rss_channelID WHERE " +
                             where + " ORDER BY c.rss_title, i.rss_title");
    }
    std::int64_t ItemId(const std::string& title) {
        return std::stoll(QueryRows(m_folder.File("data/data.dat"),
                                    "SELECT ID FROM item WHERE rss_title = '" + title + "'")
                              .at(0)
                              .at(0));
    }

    static std::vector<std::string> Split(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

    std::unique_ptr<LocalHttpServer> m_feeds;
    std::unique_ptr<TtRssServer> m_server;
    int m_user = 0;
    TempDataFolder m_folder;
    std::unique_ptr<CFeedStore> m_store;
};

TEST_F(SyncTest, FeedsArriveInTheHostFolderWithTheirArticlesAndTheServersState) {
    m_feeds->Serve("/utf8.xml", Rss("UTF-8", "新闻", {"北京下雪", "上海晴天", "广州下雨"}));
    m_feeds->Serve("/gb.xml", Gb2312(Rss("GB2312", "科技日报", {"芯片突破", "火箭发射"})));
    const int category = m_server->AddCategory(m_user, "科技");
    Subscribe("/utf8.xml");
    Subscribe("/gb.xml", category);
    const auto ids = ServerArticles();
    ServerUpdate(ids.at("北京下雪"), 2, 0);  // read on the server
    ServerUpdate(ids.at("芯片突破"), 0, 1);  // starred there

    const SyncSummary first = Sync();
    EXPECT_EQ(first.feedsAdded, 2);
    EXPECT_EQ(first.itemsStored, 5);
    EXPECT_EQ(TreeChannels(), (std::set<std::string>{"127.0.0.1/新闻", "127.0.0.1/科技/科技日报"}));
    EXPECT_EQ(Items(), (Rows{{"新闻", "上海晴天", "1", "0"},
                             {"新闻", "北京下雪", "0", "0"},
                             {"新闻", "广州下雨", "1", "0"},
                             {"科技日报", "火箭发射", "1", "0"},
                             {"科技日报", "芯片突破", "1", "1"}}));
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "SELECT rss_description FROM item WHERE rss_title = '芯片突破'"),
              (Rows{{"芯片突破 & 正文"}}));

    // Nothing new: nothing stored, a handful of requests.
    const SyncSummary second = Sync();
    EXPECT_EQ(second.itemsStored, 0);
    EXPECT_EQ(second.feedsAdded, 0);
    EXPECT_LE(second.requests, 6);
    EXPECT_EQ(Items().size(), 5u);

    // A new article on the server arrives once; a feed the server drops leaves the tree and
    // keeps its news here.
    m_feeds->Serve("/utf8.xml", Rss("UTF-8", "新闻", {"北京下雪", "上海晴天", "广州下雨", "深圳"}));
    Fetch(1);
    CTtRssClient client(m_server->Address(), "alice", "pw");
    ASSERT_TRUE(client.Call("unsubscribeFeed", {{"feed_id", 2}}).ok());
    const SyncSummary third = Sync();
    EXPECT_EQ(third.itemsStored, 1);
    EXPECT_EQ(third.feedsRemoved, 1);
    EXPECT_EQ(TreeChannels(), (std::set<std::string>{"127.0.0.1/新闻"}));
    EXPECT_EQ(Items("c.rss_title = '科技日报'").size(), 2u);
}

TEST_F(SyncTest, ReadAndStarredChangesGoBothWaysAndALocalChangeWinsAConflict) {
    m_feeds->Serve("/a.xml", Rss("UTF-8", "频道", {"一", "二", "三", "四"}));
    Subscribe("/a.xml");
    Sync();
    const auto ids = ServerArticles();

    // Here: 一 read; 二 read and unread again, and starred. There: 三 read, 四 starred, and
    // 二 read in between: the change made here wins.
    m_store->Execute(SqlMarkItemRead(ItemId("一")));
    m_store->Execute(SqlMarkItemRead(ItemId("二")));
    m_store->Execute(SqlMarkItemUnread(ItemId("二")));
    m_store->Execute(SqlStarItem(ItemId("二")));
    ServerUpdate(ids.at("三"), 2, 0);
    ServerUpdate(ids.at("四"), 0, 1);
    ServerUpdate(ids.at("二"), 2, 0);

    const SyncSummary summary = Sync();
    EXPECT_EQ(summary.changesSent, 3);
    EXPECT_EQ(summary.markedRead, 1);
    EXPECT_EQ(summary.starsChanged, 1);
    EXPECT_EQ(Items(), (Rows{{"频道", "一", "0", "0"},
                             {"频道", "三", "0", "0"},
                             {"频道", "二", "1", "1"},
                             {"频道", "四", "1", "1"}}));
    EXPECT_EQ(ServerState(ids.at("一"), "unread"), "f");
    EXPECT_EQ(ServerState(ids.at("二"), "unread"), "t");
    EXPECT_EQ(ServerState(ids.at("二"), "marked"), "t");

    // Unread again here goes back too; nothing is left to send.
    m_store->Execute(SqlMarkItemUnread(ItemId("一")));
    EXPECT_EQ(Sync().changesSent, 1);
    EXPECT_EQ(ServerState(ids.at("一"), "unread"), "t");
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), "SELECT count(*) FROM sync_queue"),
              (Rows{{"0"}}));
}

TEST_F(SyncTest, ChangesMadeWhileTheServerIsDownAreKeptAcrossARestartAndSentLater) {
    m_feeds->Serve("/a.xml", Rss("UTF-8", "频道", {"一", "二"}));
    Subscribe("/a.xml");
    Sync();
    const auto ids = ServerArticles();
    m_server->StopWeb();
    m_store->Execute(SqlMarkItemRead(ItemId("一")));
    {
        CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
        TreeFileSubscription tree(file);
        CTtRssClient client(m_server->Address(), "alice", "pw");
        const SyncSummary failed = RunTtRssSync(client, *m_store, tree, [](int) { return false; });
        EXPECT_EQ(failed.failure, TtRssFailure::kNoConnection);
    }
    // The program ends and starts again: the change is still to be sent.
    m_store.reset();
    m_store = std::make_unique<CFeedStore>(m_folder.Path());
    ASSERT_TRUE(m_store->Open());
    m_server->StartWeb();
    EXPECT_EQ(Sync().changesSent, 1);
    EXPECT_EQ(ServerState(ids.at("一"), "unread"), "f");
    EXPECT_EQ(ServerState(ids.at("二"), "unread"), "t");
}

// A pass cut short (the program killed between two pages) has not moved its mark: the next
// pass reads the same pages again and stores nothing twice. Each step and page is told first.
TEST_F(SyncTest, APassThatIsRepeatedStoresNothingTwice) {
    std::vector<std::string> titles;
    for (int i = 0; i < 450; ++i) {
        titles.push_back("新闻 " + std::to_string(i));
    }
    m_feeds->Serve("/many.xml", Rss("UTF-8", "多", titles));
    Subscribe("/many.xml");
    std::vector<std::string> steps;
    const SyncSummary first = Sync([&steps](const SyncProgress& step) {
        steps.push_back(std::to_string(step.step) + ":" + std::to_string(step.page) + ":" +
                        std::to_string(step.stored));
    });
    EXPECT_EQ(first.itemsStored, 450);
    EXPECT_EQ(steps, (std::vector<std::string>{"0:0:0", "1:1:0", "1:2:200", "1:3:400", "2:0:450"}));
    m_store->Execute("DELETE FROM sync_state");
    const SyncSummary again = Sync();
    EXPECT_EQ(again.itemsStored, 0);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), "SELECT count(*) FROM item"),
              (Rows{{"450"}}));
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), "SELECT count(*) FROM sync_item"),
              (Rows{{"450"}}));
}

// An article this program fetched itself before is the same item when the server sends it.
TEST_F(SyncTest, AnArticleStoredHereAlreadyIsNotStoredAgain) {
    m_feeds->Serve("/a.xml", Rss("UTF-8", "频道", {"一", "二"}));
    Subscribe("/a.xml");
    m_store->Execute("INSERT INTO channel (rss_title) VALUES ('频道')");
    m_store->Execute(
        "INSERT INTO item (rss_channelID, rss_title, rss_pubDate) SELECT ID, '一', "
        "'2026-12-09' FROM channel");
    m_store->Execute(SqlMarkItemRead(ItemId("一")));
    const SyncSummary summary = Sync();
    EXPECT_EQ(summary.itemsStored, 1);
    EXPECT_EQ(Items(), (Rows{{"频道", "一", "0", "0"}, {"频道", "二", "1", "0"}}));
    // Read here: sent as read.
    EXPECT_EQ(ServerState(ServerArticles().at("一"), "unread"), "f");
}

}  // namespace

namespace {

// A keyword channel watched by the server: its search feed is subscribed there, its articles
// come into the keyword channel and never into the server's folder, and the subscription goes
// when the channel does.
TEST_F(SyncTest, AWatchedKeywordIsSubscribedOnTheServerAndItsArticlesGoToItsChannel) {
    m_feeds->Serve("/ns", Rss("UTF-8", "百度新闻搜索", {"足球比赛", "足球新闻"}));
    const std::vector<WatchedKeyword> watched{
        {"足球", "http://0.0.0.0/ns?word=%E8%B6%B3%E7%90%83"}};
    CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
    TreeFileSubscription tree(file);
    CTtRssClient client(m_server->Address(), "alice", "pw");
    const auto remove = [&file](int id) { return file.RemoveNode(id); };
    const SyncSummary first = RunTtRssSync(client, *m_store, tree, remove, watched);
    ASSERT_TRUE(first.ok()) << first.detail;
    EXPECT_EQ(first.keywordsWatched, 1);
    EXPECT_EQ(m_server->Sql("select feed_url from ttrss_feeds"),
              "http://0.0.0.0/ns?word=%E8%B6%B3%E7%90%83");

    Fetch(std::stoi(m_server->Sql("select id from ttrss_feeds")));
    const SyncSummary second = RunTtRssSync(client, *m_store, tree, remove, watched);
    EXPECT_EQ(second.keywordsWatched, 0);
    EXPECT_EQ(second.itemsStored, 2);
    EXPECT_EQ(Items(), (Rows{{"足球", "足球新闻", "1", "0"}, {"足球", "足球比赛", "1", "0"}}));
    EXPECT_TRUE(TreeChannels().empty());

    // The channel was deleted here: the server stops fetching for it; its news stay.
    const SyncSummary third = RunTtRssSync(client, *m_store, tree, remove, {});
    EXPECT_EQ(third.keywordsUnwatched, 1);
    EXPECT_EQ(m_server->Sql("select count(*) from ttrss_feeds"), "0");
    EXPECT_TRUE(TreeChannels().empty());
    EXPECT_EQ(Items().size(), 2u);
}

// A tree file that cannot be read names no keyword channel: the server goes on watching the
// keywords it watched, rather than each being unsubscribed there.
TEST_F(SyncTest, ADamagedTreeFileLeavesTheWatchedKeywordsAlone) {
    m_feeds->Serve("/ns", Rss("UTF-8", "百度新闻搜索", {"足球比赛"}));
    CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
    TreeFileSubscription tree(file);
    CTtRssClient client(m_server->Address(), "alice", "pw");
    const auto remove = [&file](int id) { return file.RemoveNode(id); };
    const SyncSummary watching = RunTtRssSync(
        client, *m_store, tree, remove, {{"足球", "http://0.0.0.0/ns?word=%E8%B6%B3%E7%90%83"}});
    ASSERT_TRUE(watching.ok()) << watching.detail;
    ASSERT_EQ(watching.keywordsWatched, 1);

    m_store->MoreSettings().Set(kSyncServerKey, m_server->Address());
    m_store->MoreSettings().Set(kSyncUserKey, "alice");
    ASSERT_TRUE(
        CSecretStore(m_store->DataPath("")).Save(kSyncSecretName, kSyncSecretLabel, "pw").ok);
    m_folder.WriteFile("document/keywordlist.xml", "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLD");
    const std::optional<SyncSummary> summary = SyncWithAccount(*m_store, tree, remove);
    ASSERT_TRUE(summary && summary->ok()) << (summary ? summary->detail : "no account");
    EXPECT_EQ(summary->keywordsUnwatched, 0);
    EXPECT_EQ(m_server->Sql("select feed_url from ttrss_feeds"),
              "http://0.0.0.0/ns?word=%E8%B6%B3%E7%90%83");
}

// Channels deleted here, alone or with their folder, are unsubscribed on the server by the next
// sync that reaches it, even across a restart, and do not come back; their news stay.
TEST_F(SyncTest, ChannelsDeletedHereAreUnsubscribedThereOnceTheServerAnswers) {
    m_feeds->Serve("/a.xml", Rss("UTF-8", "要闻", {"一"}));
    m_feeds->Serve("/b.xml", Rss("UTF-8", "芯片", {"二"}));
    m_feeds->Serve("/c.xml", Rss("UTF-8", "火箭", {"三"}));
    const int category = m_server->AddCategory(m_user, "科技");
    Subscribe("/a.xml");
    Subscribe("/b.xml", category);
    Subscribe("/c.xml", category);
    Sync();
    m_store->MoreSettings().Set(kSyncServerKey, m_server->Address());
    {
        CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
        TreeFileSubscription tree(file);
        const int host = tree.Children(0).at(0).id;
        for (const auto& node : tree.Children(host)) {
            if (node.name == "科技") {
                ASSERT_TRUE(file.RemoveBranch(node.id));
            }
        }
        // Deleted elsewhere than in the server's folder: nothing is queued.
        ASSERT_TRUE(QueueDeletedChannels(*m_store, {"要闻"}, "其他"));
        ASSERT_TRUE(QueueDeletedChannels(*m_store, {"芯片", "火箭"}, "127.0.0.1"));
    }
    m_server->StopWeb();
    {
        CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
        TreeFileSubscription tree(file);
        CTtRssClient client(m_server->Address(), "alice", "pw");
        EXPECT_FALSE(RunTtRssSync(client, *m_store, tree, [](int) { return false; }).ok());
    }
    m_store.reset();
    m_store = std::make_unique<CFeedStore>(m_folder.Path());
    ASSERT_TRUE(m_store->Open());
    m_server->StartWeb();

    EXPECT_EQ(Sync().feedsUnsubscribed, 2);
    EXPECT_EQ(m_server->Sql("select title from ttrss_feeds"), "要闻");
    EXPECT_EQ(TreeChannels(), (std::set<std::string>{"127.0.0.1/要闻"}));
    const SyncSummary again = Sync();
    EXPECT_EQ(again.feedsAdded + again.feedsUnsubscribed, 0);
    EXPECT_EQ(TreeChannels(), (std::set<std::string>{"127.0.0.1/要闻"}));
    EXPECT_EQ(Items().size(), 3u);
}

// A feed renamed on the server renames its channel here, with its news; a category renamed
// renames its folder; a feed moved to another category moves its channel. The channel is the
// feed's by the server's id, whatever its name: a feed taking another's old title is no match.
TEST_F(SyncTest, RenamesAndMovesOnTheServerAreFollowedKeepingTheNews) {
    m_feeds->Serve("/a.xml", Rss("UTF-8", "要闻", {"一", "二"}));
    m_feeds->Serve("/b.xml", Rss("UTF-8", "芯片", {"三"}));
    m_feeds->Serve("/c.xml", Rss("UTF-8", "火箭", {"四"}));
    const int tech = m_server->AddCategory(m_user, "科技");
    const int sport = m_server->AddCategory(m_user, "体育");
    const int a = Subscribe("/a.xml");
    const int b = Subscribe("/b.xml", tech);
    const int c = Subscribe("/c.xml", tech);
    Sync();
    m_store->Execute(SqlMarkItemRead(ItemId("一")));

    m_server->Sql("update ttrss_feeds set title = '头条' where id = " + std::to_string(a));
    m_server->Sql("update ttrss_feeds set title = '要闻' where id = " + std::to_string(b));
    m_server->Sql("update ttrss_feed_categories set title = '科学' where id = " +
                  std::to_string(tech));
    m_server->Sql("update ttrss_feeds set cat_id = " + std::to_string(sport) +
                  " where id = " + std::to_string(c));
    const SyncSummary summary = Sync();
    EXPECT_EQ(summary.feedsRenamed, 2);
    EXPECT_EQ(summary.foldersRenamed, 1);
    EXPECT_EQ(summary.feedsMoved, 1);
    EXPECT_EQ(summary.feedsAdded, 0);
    EXPECT_EQ(TreeChannels(), (std::set<std::string>{"127.0.0.1/头条", "127.0.0.1/科学/要闻",
                                                     "127.0.0.1/体育/火箭"}));
    EXPECT_EQ(Items(), (Rows{{"头条", "一", "0", "0"},
                             {"头条", "二", "1", "0"},
                             {"火箭", "四", "1", "0"},
                             {"要闻", "三", "1", "0"}}));

    // The next sync finds everything in place, and new articles go to the renamed channels.
    m_feeds->Serve("/a.xml", Rss("UTF-8", "要闻", {"一", "二", "五"}));
    Fetch(a);
    const SyncSummary next = Sync();
    EXPECT_EQ(next.feedsRenamed + next.feedsMoved + next.foldersRenamed + next.feedsAdded, 0);
    EXPECT_EQ(next.itemsStored, 1);
    EXPECT_EQ(Items("i.rss_title = '五'"), (Rows{{"头条", "五", "1", "0"}}));
}

}  // namespace

namespace {

// What the server read from a GB2312 feed and from a UTF-8 one arrives here as the same
// Chinese, titles and texts, and the search finds it in either.
TEST_F(SyncTest, ChineseOfAGb2312FeedAndOfAUtf8FeedIsStoredAsWrittenAndFoundBySearch) {
    m_feeds->Serve("/gb.xml", Gb2312(Rss("GB2312", "南方日报",
                                         {"《广州》评论：珠江两岸降雨", "国产处理器发布"})));
    m_feeds->Serve("/utf8.xml", Rss("UTF-8", "新华快讯", {"长江流域降雨偏多", "嫦娥探月"}));
    Subscribe("/gb.xml");
    Subscribe("/utf8.xml");
    EXPECT_EQ(Sync().itemsStored, 4);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "SELECT c.rss_title, i.rss_title, i.rss_description FROM item i JOIN "
                        "channel c ON c.ID = i.rss_channelID ORDER BY i.rss_title"),
              (Rows{{"南方日报", "《广州》评论：珠江两岸降雨", "《广州》评论：珠江两岸降雨 & 正文"},
                    {"南方日报", "国产处理器发布", "国产处理器发布 & 正文"},
                    {"新华快讯", "嫦娥探月", "嫦娥探月 & 正文"},
                    {"新华快讯", "长江流域降雨偏多", "长江流域降雨偏多 & 正文"}}));

    // A word of both feeds' titles, and one of the texts only: "正文" is in every text.
    const auto search = [this](const std::string& text) {
        const ProcessResult result =
            RunProcess(QUILLON_CLI_PATH, {"--data", m_folder.Path(), "search", text}, "/");
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::set<std::string> titles;
        for (const std::string& line : Split(result.out)) {
            titles.insert(line.substr(line.rfind('\t') + 1));
        }
        return titles;
    };
    EXPECT_EQ(search("降雨"),
              (std::set<std::string>{"* 《广州》评论：珠江两岸降雨", "* 长江流域降雨偏多"}));
    EXPECT_EQ(search("处理器"), (std::set<std::string>{"* 国产处理器发布"}));
    EXPECT_EQ(search("正文").size(), 4u);
}

}  // namespace
