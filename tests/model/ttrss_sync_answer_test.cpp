// The sync against answers a real server cannot be made to give: a small server that answers
// each operation as the test says.

#include <gtest/gtest.h>
#include <httplib.h>

#include <mutex>

#include <nlohmann/json.hpp>

#include "feeds/feed_store.h"
#include "model/tree_file_subscription.h"
#include "model/ttrss_sync.h"
#include "store/keyword_tree_file.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

using nlohmann::json;

// The envelope of a successful answer.
std::string Ok(const json& content) {
    return json{{"seq", 0}, {"status", 0}, {"content", content}}.dump();
}

class SyncAnswerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_answers["login"] = Ok({{"session_id", "s"}, {"api_level", 15}});
        m_answers["getVersion"] = Ok({{"version", "21"}});
        m_answers["getFeeds"] = Ok(json::array(
            {{{"id", 7}, {"title", "频道"}, {"feed_url", "http://0.0.0.0/a.xml"}, {"cat_id", 0}}}));
        m_answers["getCounters"] = Ok(json::array());
        m_answers["getHeadlines"] = Ok(json::array());
        m_server.Handle(
            "/api/", [this](const httplib::Request& request, httplib::Response& response) {
                const json body = json::parse(request.body, nullptr, false);
                const std::string op = body.is_object() ? body.value("op", "") : "";
                std::lock_guard lock(m_mutex);
                if (op == "updateArticle") {
                    m_updates.push_back(body);
                }
                response.set_content(m_answers.count(op) ? m_answers[op] : Ok(json::object()),
                                     "text/json");
            });
        m_folder.CreateDatabase();
        m_store = std::make_unique<CFeedStore>(m_folder.Path());
        ASSERT_TRUE(m_store->Open());
    }

    SyncSummary Sync() {
        CKeywordTreeFile file(m_folder.File("document/keywordlist.xml"));
        TreeFileSubscription tree(file);
        CTtRssClient client(m_server.BaseUrl(), "alice", "pw");
        return RunTtRssSync(client, *m_store, tree, [](int) { return false; });
    }
    Rows Query(const std::string& sql) { return QueryRows(m_folder.File("data/data.dat"), sql); }

    void Answer(const std::string& op, std::string answer) {
        std::lock_guard lock(m_mutex);
        m_answers[op] = std::move(answer);
    }
    std::vector<json> Updates() {
        std::lock_guard lock(m_mutex);
        return m_updates;
    }

    // What the server's threads read and write; guarded by m_mutex.
    std::mutex m_mutex;
    std::map<std::string, std::string> m_answers;  // by operation
    std::vector<json> m_updates;                   // the updateArticle requests, in order
    LocalHttpServer m_server;
    TempDataFolder m_folder;
    std::unique_ptr<CFeedStore> m_store;
};

TEST_F(SyncAnswerTest, AnswersOfTheWrongShapeStopTheSyncAndStoreNothing) {
    const std::string wrong[] = {
        Ok({{"feeds", 1}}),
        Ok(json::array({{{"id", "x"}, {"feed_url", "http://0.0.0.0/a.xml"}}})),
        R"({"seq":0,"status":0,"content":[{"id":7,"tit)",
    };
    for (const std::string& answer : wrong) {
        Answer("getFeeds", answer);
        const SyncSummary summary = Sync();
        EXPECT_FALSE(summary.ok()) << answer;
        EXPECT_EQ(summary.failure, TtRssFailure::kBadAnswer) << answer;
    }
    EXPECT_EQ(Query("SELECT count(*) FROM sync_feed"), (Rows{{"0"}}));

    // A page with an article that has no id: nothing of the page is kept, and the next sync
    // asks for the same articles again.
    Answer("getFeeds", Ok(json::array({{{"id", 7},
                                        {"title", "频道"},
                                        {"feed_url", "http://0.0.0.0/a.xml"},
                                        {"cat_id", 0}}})));
    Answer("getHeadlines",
           Ok(json::array({{{"id", 1}, {"feed_id", 7}, {"title", "一"}, {"unread", true}},
                           {{"title", "没有编号"}, {"feed_id", 7}}})));
    EXPECT_EQ(Sync().failure, TtRssFailure::kBadAnswer);
    EXPECT_EQ(Query("SELECT count(*) FROM item"), (Rows{{"0"}}));
    EXPECT_EQ(Query("SELECT count(*) FROM sync_state"), (Rows{{"0"}}));
}

TEST_F(SyncAnswerTest, AnArticleWithoutTitleOrLinkIsStoredByItsText) {
    Answer(
        "getHeadlines",
        Ok(json::array(
            {{{"id", 1},
              {"feed_id", 7},
              {"title", ""},
              {"link", ""},
              {"content", "只有正文"},
              {"unread", true},
              {"updated", 1796810400}},
             {{"id", 2}, {"feed_id", 7}, {"content", "只有正文"}, {"unread", false}},
             {{"id", 3}, {"feed_id", 7}, {"title", "标题"}, {"unread", true}, {"marked", true}}})));
    // After the read state went back: only the titled article is unread there.
    Answer("getCounters", Ok(json::array({{{"id", 7}, {"counter", 1}, {"markedcounter", 1}}})));
    const SyncSummary summary = Sync();
    ASSERT_TRUE(summary.ok()) << summary.detail;
    // The second is the first by the duplicate rule: one item, read since one copy is read,
    // and that read state is sent to the server for the other.
    EXPECT_EQ(summary.itemsStored, 2);
    EXPECT_EQ(Query("SELECT rss_title, rss_description, "
                    "EXISTS (SELECT 1 FROM item_unread WHERE item_id = item.ID), "
                    "EXISTS (SELECT 1 FROM item_star WHERE item_id = item.ID) "
                    "FROM item ORDER BY ID"),
              (Rows{{"", "只有正文", "0", "0"}, {"标题", "", "1", "1"}}));
    const std::vector<json> updates = Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0]["article_ids"], "1");
    EXPECT_EQ(updates[0]["mode"], 0);
    EXPECT_EQ(updates[0]["field"], 2);
    EXPECT_EQ(Query("SELECT count(*) FROM sync_queue"), (Rows{{"0"}}));
}

// A feed added on the server between the feed list and the articles: its articles are asked
// for again at the next sync, when it is a channel here.
TEST_F(SyncAnswerTest, ArticlesOfAFeedAddedMeanwhileComeAtTheNextSync) {
    Answer("getHeadlines", Ok(json::array({{{"id", 5}, {"feed_id", 9}, {"title", "新的"}},
                                           {{"id", 6}, {"feed_id", 7}, {"title", "旧的"}}})));
    ASSERT_TRUE(Sync().ok());
    EXPECT_EQ(Query("SELECT rss_title FROM item"), (Rows{{"旧的"}}));
    EXPECT_EQ(Query("SELECT value FROM sync_state"), (Rows{{"4"}}));

    Answer("getFeeds",
           Ok(json::array(
               {{{"id", 7}, {"title", "频道"}, {"feed_url", "http://0.0.0.0/a.xml"}, {"cat_id", 0}},
                {{"id", 9},
                 {"title", "新频道"},
                 {"feed_url", "http://0.0.0.0/b.xml"},
                 {"cat_id", 0}}})));
    const SyncSummary summary = Sync();
    EXPECT_EQ(summary.itemsStored, 1);
    EXPECT_EQ(Query("SELECT c.rss_title, i.rss_title FROM item i JOIN channel c "
                    "ON c.ID = i.rss_channelID ORDER BY i.ID"),
              (Rows{{"频道", "旧的"}, {"新频道", "新的"}}));
    EXPECT_EQ(Query("SELECT value FROM sync_state"), (Rows{{"6"}}));
}

}  // namespace
