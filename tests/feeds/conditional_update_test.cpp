// Subscribed feeds are fetched conditionally: the validators of the copy stored last go with
// the next request, a 304 costs no parse and no statement, and the validators are remembered
// only once their document's items are stored. Search results are always fetched in full.

#include <gtest/gtest.h>
#include <httplib.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "feeds/feed_store.h"
#include "feeds/update_engine.h"
#include "support/local_http_server.h"
#include "support/raw_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

constexpr char kMonday[] = "Mon, 07 Oct 2002 13:00:00 GMT";

// A subscribed feed whose items and validators a test changes between runs. It answers 304
// when a validator it currently has is sent back, and records what each request sent.
class ChangingFeed {
public:
    struct Request {
        std::string ifNoneMatch;
        std::string ifModifiedSince;
        bool answered304 = false;
        bool operator==(const Request&) const = default;
    };

    void Set(std::vector<std::string> titles, std::string etag, std::string lastModified) {
        std::lock_guard lock(m_mutex);
        m_titles = std::move(titles);
        m_etag = std::move(etag);
        m_lastModified = std::move(lastModified);
    }
    std::vector<Request> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    void Answer(const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        Request seen{request.get_header_value("If-None-Match"),
                     request.get_header_value("If-Modified-Since")};
        seen.answered304 = (!m_etag.empty() && seen.ifNoneMatch == m_etag) ||
                           (!m_lastModified.empty() && seen.ifModifiedSince == m_lastModified);
        m_requests.push_back(seen);
        if (seen.answered304) {
            response.status = 304;
            return;
        }
        std::string feed = "<rss><channel><title>subscribed</title>";
        for (const std::string& title : m_titles) {
            feed += "<item><title>" + title + "</title><pubDate>" + kMonday + "</pubDate></item>";
        }
        if (!m_etag.empty()) {
            response.set_header("ETag", m_etag);
        }
        if (!m_lastModified.empty()) {
            response.set_header("Last-Modified", m_lastModified);
        }
        response.set_content(feed + "</channel></rss>", "application/rss+xml");
    }

private:
    mutable std::mutex m_mutex;  // handlers run on the server's threads
    std::vector<std::string> m_titles;
    std::string m_etag;
    std::string m_lastModified;
    std::vector<Request> m_requests;
};

using Request = ChangingFeed::Request;

class ConditionalUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.WriteSettings(0, 1);
        m_folder.WriteFile("data/services.conf", "search.baidu = " + m_server.BaseUrl() + "\n");
        // The search service answers with validators too, and a feed without items.
        m_server.Handle(
            "/ns", [this](const httplib::Request& request, httplib::Response& response) {
                std::lock_guard lock(m_searchMutex);
                m_searchConditional +=
                    request.has_header("If-None-Match") || request.has_header("If-Modified-Since");
                response.set_header("ETag", "\"search\"");
                response.set_header("Last-Modified", kMonday);
                response.set_content("<rss><channel><title>s</title></channel></rss>",
                                     "application/rss+xml");
            });
        m_server.Handle("/feed",
                        [this](const httplib::Request& request, httplib::Response& response) {
                            m_feed.Answer(request, response);
                        });
        Subscribe("订阅");
    }

    void Subscribe(const std::string& keyword) {
        ExecSql(Db(), "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('" +
                          keyword + "', '" + m_server.Url("/feed") + "', '')");
        m_keywords.push_back(keyword);
    }

    // One whole run of the engine without its pauses; what it counted per keyword.
    std::map<std::string, KeywordProgress> RunOnce() {
        CFeedStore store(m_folder.Path());
        store.Engine().pacing().SetEnabled(false);
        for (const std::string& keyword : m_keywords) {
            store.AddKeyword(keyword);
        }
        EXPECT_TRUE(store.Startup());
        store.Engine().WaitForPasses();
        store.Engine().WaitForStoreThreads();
        store.Shutdown();
        return store.Engine().Progress();
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }
    Rows Items() const {
        return QueryRows(Db(),
                         "select c.rss_title, i.rss_title from item i join channel c on c.ID = "
                         "i.rss_channelID order by c.rss_title, i.rss_title");
    }
    Rows Validators() const {
        return QueryRows(Db(),
                         "select opml_key, etag, last_modified from feed_validator order by 1");
    }
    int SearchRequestsThatWereConditional() {
        std::lock_guard lock(m_searchMutex);
        return m_searchConditional;
    }

    LocalHttpServer m_server;
    TempDataFolder m_folder;
    ChangingFeed m_feed;
    std::vector<std::string> m_keywords;
    std::mutex m_searchMutex;
    int m_searchConditional = 0;  // guarded by m_searchMutex
};

}  // namespace

// The second run sends what the first was told, hears 304 and does nothing more: the fetch
// neither fails (a parse of the empty answer would) nor hands a feed to be stored.
TEST_F(ConditionalUpdate, ASecondRunSendsTheValidatorsAndStoresNothing) {
    m_feed.Set({"one", "two"}, "\"v1\"", kMonday);
    const KeywordProgress first = RunOnce().at("订阅");
    EXPECT_EQ(first.feedsFetched, 1);
    EXPECT_EQ(first.itemsStored, 2);
    EXPECT_EQ(first.feedsUnchanged, 0);
    EXPECT_EQ(Validators(), (Rows{{"订阅", "\"v1\"", kMonday}}));
    const Rows items = Items();

    const KeywordProgress second = RunOnce().at("订阅");
    EXPECT_EQ(m_feed.Requests(),
              (std::vector<Request>{{"", "", false}, {"\"v1\"", kMonday, true}}));
    EXPECT_EQ(second.feedsTried, 2);  // the search result and the subscribed feed
    EXPECT_EQ(second.feedsUnchanged, 1);
    EXPECT_EQ(second.feedsFailed, 0);
    EXPECT_EQ(second.feedsFetched, 0);
    EXPECT_EQ(second.itemsStored, 0);
    EXPECT_EQ(Items(), items);
    EXPECT_EQ(Validators(), (Rows{{"订阅", "\"v1\"", kMonday}}));
    // Search results change with every query: asked for in full although they had validators.
    EXPECT_EQ(SearchRequestsThatWereConditional(), 0);
}

TEST_F(ConditionalUpdate, NewValidatorsReplaceTheOldAndAnAnswerWithoutThemForgetsThem) {
    m_feed.Set({"one"}, "\"v1\"", kMonday);
    RunOnce();
    m_feed.Set({"one", "two"}, "\"v2\"", "");
    EXPECT_EQ(RunOnce().at("订阅").itemsStored, 1);
    EXPECT_EQ(Validators(), (Rows{{"订阅", "\"v2\"", ""}}));

    m_feed.Set({"one", "two", "three"}, "", "");
    EXPECT_EQ(RunOnce().at("订阅").itemsStored, 1);
    EXPECT_EQ(Validators(), Rows{});
    RunOnce();
    EXPECT_EQ(
        m_feed.Requests(),
        (std::vector<Request>{
            {"", "", false}, {"\"v1\"", kMonday, false}, {"\"v2\"", "", false}, {"", "", false}}));
    EXPECT_EQ(Items(), (Rows{{"订阅", "one"}, {"订阅", "three"}, {"订阅", "two"}}));
}

// Storing stopped before the feed's last item: its validators must not be remembered, or
// the next run would hear 304 and never store that item.
TEST_F(ConditionalUpdate, ValidatorsAreRememberedOnlyOnceTheItemsAreStored) {
    m_feed.Set({"one", "two"}, "\"v1\"", kMonday);
    ExecSql(Db(),
            "CREATE TRIGGER full BEFORE INSERT ON item WHEN NEW.rss_title = 'two' "
            "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;");
    RunOnce();
    EXPECT_EQ(Items(), (Rows{{"订阅", "one"}}));
    EXPECT_EQ(Validators(), Rows{});

    ExecSql(Db(), "DROP TRIGGER full");
    RunOnce();
    EXPECT_EQ(m_feed.Requests().back(), (Request{"", "", false}));
    EXPECT_EQ(Items(), (Rows{{"订阅", "one"}, {"订阅", "two"}}));
    EXPECT_EQ(Validators(), (Rows{{"订阅", "\"v1\"", kMonday}}));
}

// One feed under two channels is fetched once per update and stored in each; the first
// channel's validators must not make the second channel's copy come back empty.
TEST_F(ConditionalUpdate, AFeedSubscribedUnderTwoChannelsIsFetchedOnceAndStoredInEach) {
    m_feed.Set({"one"}, "\"v1\"", "");
    RunOnce();
    Subscribe("other");
    const int before = m_server.HitCount("/feed");
    const auto second = RunOnce();
    EXPECT_EQ(m_server.HitCount("/feed") - before, 1);
    EXPECT_EQ(second.at("订阅").feedsUnchanged, 0);
    EXPECT_EQ(second.at("other").feedsUnchanged, 0);
    EXPECT_EQ(Items(), (Rows{{"other", "one"}, {"订阅", "one"}}));
    EXPECT_EQ(Validators(), (Rows{{"other", "\"v1\"", ""}, {"订阅", "\"v1\"", ""}}));
    const auto third = RunOnce();
    EXPECT_EQ(m_server.HitCount("/feed") - before, 2);
    EXPECT_EQ(third.at("订阅").feedsUnchanged, 1);
    EXPECT_EQ(third.at("other").feedsUnchanged, 1);
}

// A server that closes the connection early, without Content-Length, sends a document that
// ends mid-item: the items that arrived whole are stored, but validators of the cut copy
// would make the next run hear 304 and never fetch the lost items. Neither the new ones are
// kept nor those remembered before.
TEST_F(ConditionalUpdate, ACutOffCopyLeavesNoValidatorsSoTheNextRunFetchesItWhole) {
    const RawHttpServer cut(
        "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nETag: \"cut\"\r\n"
        "Last-Modified: Mon, 07 Oct 2002 13:00:00 GMT\r\nConnection: close\r\n\r\n"
        "<rss><channel><title>cut</title><item><title>whole</title></item>"
        "<item><title>lo",
        RawHttpServer::Ending::kClose);
    ExecSql(Db(), "delete from opml");
    ExecSql(Db(), "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('订阅', '" +
                      cut.Url() + "', '')");
    ExecSql(Db(), "insert into feed_validator values ('订阅', '" + cut.Url() + "', '\"old\"', '')");

    const KeywordProgress run = RunOnce().at("订阅");
    EXPECT_EQ(run.feedsPartial, 1);
    EXPECT_EQ(run.itemsStored, 1);
    EXPECT_EQ(Items(), (Rows{{"订阅", "whole"}}));
    EXPECT_EQ(Validators(), Rows{});
}
