#include "feeds/update_engine.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "base/charset.h"
#include "base/clock.h"
#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "feeds/search_url.h"
#include "feeds/services_config.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "support/time_zone.h"

using namespace std::chrono_literals;

namespace {

std::string Item(const std::string& title, const std::string& date, const std::string& link) {
    return "<item><title>" + EscapeMarkup(title) + "</title><link>" + link +
           "</link><description>It's <b>news</b></description><pubDate>" + date +
           "</pubDate></item>";
}

// An item dated only by Dublin Core, or not at all.
std::string UndatedItem(const std::string& title, const std::string& dcDate) {
    return "<item><title>" + EscapeMarkup(title) + "</title>" +
           (dcDate.empty() ? "" : "<dc:date>" + dcDate + "</dc:date>") + "</item>";
}

std::string Feed(const std::string& title, const std::string& link, const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><title>" +
           EscapeMarkup(title) + "</title><link>" + link + "</link>" + items + "</channel></rss>";
}

// The result feed of one service for one word, shaped so that every storing rule shows:
// cleaned titles, the date forms feeds write, items without a date, and a title that is a
// duplicate once cleaned.
std::string ResultFeed(const std::string& service, const std::string& word) {
    const std::string s = service;
    const std::string w = word;
    const std::string link = "http://" + s + ".test/";
    return Feed(
        s + " " + w, link,
        Item("&quot;" + w + "&quot; <b>" + s + "</b>", "Wed, 02 Oct 2002 13:00:00 GMT",
             link + "1") +
            Item("It's " + s + " " + w, "2006-05-12 10:20:30", link + "2") +
            Item("It<b>'</b>s " + s + " " + w, "2006-05-13 10:20:30", link + "3") +
            Item(s + " " + w + " no time", "Wed, 02 Oct 2002", link + "4") +
            Item(s + " " + w + " one-digit month", "2006-5-12 10:20:30", link + "5") +
            Item(s + " " + w + " iso", "2006-05-12T10:20:30", link + "6") +
            Item(s + " " + w + " lower-case month", "Wed, 02 oct 2002 13:00:00 GMT", link + "7") +
            UndatedItem(s + " " + w + " dc date", "2007-03-04T05:06:07+08:00") +
            UndatedItem(s + " " + w + " no date", ""));
}

std::string LocalToday() {
    const CalendarTime today = LocalNow();
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", today.year, today.month, today.day);
    return text;
}

// Stored titles keep their apostrophes, also those of the word itself. Dates with a zone
// land on their day in the machine's zone (the tests' is China's); an item without a date is
// dated the day it is stored.
Rows ExpectedItems(const std::string& service, const std::string& w) {
    return {
        {w, ";" + w + "; " + service, "2002-10-02"},
        {w, "It's " + service + " " + w, "2006-05-12"},
        {w, service + " " + w + " no time", "2002-10-02"},
        {w, service + " " + w + " one-digit month", "2006-05-12"},
        {w, service + " " + w + " iso", "2006-05-12"},
        {w, service + " " + w + " lower-case month", "2002-10-02"},
        {w, service + " " + w + " dc date", "2007-03-04"},
        {w, service + " " + w + " no date", LocalToday()},
    };
}

std::string ManyItems(int count) {
    std::string items;
    for (int i = 0; i < count; ++i) {
        items += Item("many " + std::to_string(i), "Wed, 02 Oct 2002 13:00:00 GMT",
                      "http://many.test/" + std::to_string(i));
    }
    return Feed("many", "http://many.test/", items);
}

struct Service {
    const char* name;
    const char* path;
    const char* parameter;
    bool gbk;  // the word arrives GBK-encoded
};

constexpr Service kServices[] = {
    {"baidu", "/ns", "word", true},
    {"google", "/news", "q", false},
    {"yahoo", "/searchrss.html", "p", false},
    {"sogou", "/xml", "query", true},
};

const std::string kLongKeyword =
    "一个比六十三个字节长得多的频道名称用来检查引擎不会截断关键词";  // 90 bytes
const std::vector<std::string> kKeywords = {
    "足球", "tennis", "Rock 'n' Roll", kLongKeyword, "订阅", "many", "足球",
};

std::string Trim(std::string text) {
    while (!text.empty() && text.front() == ' ') {
        text.erase(text.begin());
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

class UpdateEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.WriteFile("data/services.conf",
                           "search.baidu = " + m_server.BaseUrl() + "\nsearch.google = " +
                               m_server.BaseUrl() + "\nsearch.yahoo = " + m_server.BaseUrl() +
                               "\nsearch.sogou = " + m_server.BaseUrl() + "\n");
        for (const Service& service : kServices) {
            m_server.Handle(service.path, [service](const httplib::Request& request,
                                                    httplib::Response& response) {
                std::string word = request.get_param_value(service.parameter);
                std::string utf8;
                if (service.gbk && ConvertCharset("GB18030", "UTF-8", word, &utf8)) {
                    word = utf8;
                }
                word = Trim(word);
                if (word == "订阅") {
                    response.status = 404;
                } else if (word == "many") {
                    response.set_content(ManyItems(150), "application/rss+xml");
                } else {
                    response.set_content(ResultFeed(service.name, word), "application/rss+xml");
                }
            });
        }
        m_server.Serve("/subscribed/1",
                       Feed("subscribed", "http://subscribed.test/",
                            Item("subscribed one", "Wed, 02 Oct 2002 13:00:00 GMT", "s1") +
                                Item("subscribed two", "Thu, 03 Oct 2002 13:00:00 GMT", "s2")));
        m_server.Serve("/subscribed/2",
                       Feed("second", "http://second.test/",
                            Item("subscribed two", "Thu, 03 Oct 2002 13:00:00 GMT", "s2") +
                                Item("subscribed three", "Fri, 04 Oct 2002 13:00:00 GMT", "s3")));
        ExecSql(m_folder.File("data/data.dat"),
                "insert into opml (opml_key, opml_xml_url, opml_html_url) values "
                "('订阅', '" +
                    m_server.Url("/subscribed/1") +
                    "', 'h'), "
                    "('订阅', '" +
                    m_server.Url("/subscribed/2") + "', 'h')");
    }

    // One whole run of the engine over kKeywords, without its pauses.
    void RunOnce() {
        CFeedStore store(m_folder.Path());
        store.Engine().pacing().SetEnabled(false);
        for (const std::string& keyword : kKeywords) {
            store.AddKeyword(keyword);
        }
        ASSERT_TRUE(store.Startup());
        store.Engine().WaitForPasses();
        store.Engine().WaitForStoreThreads();
        store.Shutdown();
    }

    Rows Channels() {
        return QueryRows(
            m_folder.File("data/data.dat"),
            "select rss_title, rss_link from channel order by rss_title collate binary");
    }
    Rows ItemsOf(const std::string& keyword) {
        return QueryRows(m_folder.File("data/data.dat"),
                         "select c.rss_title, i.rss_title, i.rss_pubDate from item i join channel "
                         "c on c.ID = i.rss_channelID where c.rss_title = '" +
                             SqlEscapeForTest(keyword) + "' order by i.ID");
    }
    static std::string SqlEscapeForTest(const std::string& text) {
        std::string out;
        for (char c : text) {
            out += c == '\'' ? std::string("''") : std::string(1, c);
        }
        return out;
    }

    ScopedTimeZone m_zone{"CST-8"};
    LocalHttpServer m_server;
    TempDataFolder m_folder;
};

}  // namespace

// Each service's address shape, served with its own result feed: after one run the rows are
// exactly the expected ones; a second run adds nothing.
TEST_F(UpdateEngineTest, StoresEveryKeywordOfEveryServiceExactlyOnce) {
    for (int engine = 0; engine < 4; ++engine) {
        const Service& service = kServices[engine];
        SCOPED_TRACE(service.name);
        ExecSql(m_folder.File("data/data.dat"), "delete from item; delete from channel");
        m_folder.WriteSettings(engine, 2);
        const int hitsBefore = m_server.HitCount(service.path);
        RunOnce();

        const std::string link = std::string("http://") + service.name + ".test/";
        // One row per keyword, made from the first feed stored for it: the search result, or
        // for the keyword that only has subscribed feeds, one of those two.
        Rows expectedChannels = {{"Rock 'n' Roll", link}, {"many", "http://many.test/"},
                                 {"tennis", link},        {kLongKeyword, link},
                                 {"足球", link},          {"订阅", "subscribed"}};
        std::sort(expectedChannels.begin(), expectedChannels.end());
        Rows channels = Channels();
        for (Row& row : channels) {
            if (row[0] == "订阅" &&
                (row[1] == "http://subscribed.test/" || row[1] == "http://second.test/")) {
                row[1] = "subscribed";
            }
        }
        EXPECT_EQ(channels, expectedChannels);
        for (const std::string& keyword : {std::string("足球"), std::string("tennis"),
                                           std::string("Rock 'n' Roll"), kLongKeyword}) {
            EXPECT_EQ(ItemsOf(keyword), ExpectedItems(service.name, keyword)) << keyword;
        }
        EXPECT_EQ(ItemsOf("many").size(), 100u);
        Rows subscribed = ItemsOf("订阅");
        std::sort(subscribed.begin(), subscribed.end());
        EXPECT_EQ(subscribed, (Rows{{"订阅", "subscribed one", "2002-10-02"},
                                    {"订阅", "subscribed three", "2002-10-04"},
                                    {"订阅", "subscribed two", "2002-10-03"}}));
        // Every keyword of the list on both pages, the one the list holds twice once; the
        // Google address is the same on every page, so it is fetched once.
        EXPECT_EQ(m_server.HitCount(service.path) - hitsBefore,
                  (engine == kEngineGoogle ? 1 : 2) * 6);

        const Rows allItems =
            QueryRows(m_folder.File("data/data.dat"), "select count(*) from item");
        RunOnce();
        EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), "select count(*) from item"), allItems);
        EXPECT_EQ(Channels().size(), expectedChannels.size());
    }
}

// A subscribed feed has no pages: however many result pages the search feeds get, it is
// fetched once per update.
TEST_F(UpdateEngineTest, EachSubscribedFeedIsFetchedOncePerUpdate) {
    m_folder.WriteSettings(0, 3);
    RunOnce();
    EXPECT_EQ(m_server.HitCount("/subscribed/1"), 1);
    EXPECT_EQ(m_server.HitCount("/subscribed/2"), 1);
    EXPECT_EQ(ItemsOf("订阅").size(), 3u);
}

// 0 pages turns the searches off, and only them: a subscribed feed has no pages.
TEST_F(UpdateEngineTest, MaximumPagesZeroFetchesOnlyTheSubscribedFeeds) {
    m_folder.WriteSettings(0, 0);
    RunOnce();
    std::vector<std::string> targets = m_server.Targets();
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets, (std::vector<std::string>{"/subscribed/1", "/subscribed/2"}));
    EXPECT_EQ(ItemsOf("订阅").size(), 3u);
}

TEST_F(UpdateEngineTest, ARefreshStoresOnlyWhatIsNew) {
    m_folder.WriteSettings(2, 1);
    RunOnce();
    const Rows before = ItemsOf("tennis");
    CFeedStore store(m_folder.Path());
    store.Engine().pacing().SetEnabled(false);
    ASSERT_TRUE(store.Open());
    store.LoadSettings();
    m_server.Handle("/searchrss.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(ResultFeed("yahoo", "tennis") + "",  // the same items again
                             "application/rss+xml");
    });
    store.RefreshChannel("tennis");
    store.Engine().WaitForStoreThreads();
    EXPECT_EQ(ItemsOf("tennis"), before);
    m_server.Serve("/searchrss.html",
                   Feed("yahoo", "http://yahoo.test/",
                        Item("brand new", "Sat, 05 Oct 2002 13:00:00 GMT", "n")));
    store.RefreshChannel("tennis");
    store.Engine().WaitForStoreThreads();
    EXPECT_EQ(ItemsOf("tennis").size(), before.size() + 1);
    store.Shutdown();
}

TEST_F(UpdateEngineTest, WithoutADatabaseNoPassRuns) {
    std::filesystem::remove(m_folder.File("data/data.dat"));
    CFeedStore store(m_folder.Path());
    store.AddKeyword("足球");
    EXPECT_FALSE(store.Startup());
    store.Shutdown();
    EXPECT_TRUE(m_server.Targets().empty());
    EXPECT_FALSE(m_folder.Exists("data/data.dat"));
}

// Closing during a pass: the settings are written first, the stalled fetch is abandoned, the
// storing thread finishes its feed, and no thread is left behind.
TEST_F(UpdateEngineTest, ShutdownDuringAStalledPassReturnsPromptly) {
    m_folder.WriteSettings(0, 1);
    // Held by the server's handler, which may still wait a moment after the test ends.
    auto released = std::make_shared<std::atomic<bool>>(false);
    m_server.Handle("/ns",
                    [released](const httplib::Request& request, httplib::Response& response) {
                        if (Trim(request.get_param_value("word")) == "many") {
                            response.set_content(ManyItems(100), "application/rss+xml");
                            return;
                        }
                        const auto stalled = std::chrono::steady_clock::now();
                        while (!*released && std::chrono::steady_clock::now() - stalled < 60s) {
                            std::this_thread::sleep_for(5ms);
                        }
                        response.set_content("never", "text/plain");
                    });
    const int threadsBefore = ThreadCount();
    {
        CFeedStore store(m_folder.Path());
        store.AddKeyword("many");  // stored with the 10 ms pause per item: about a second
        store.AddKeyword("stalled");
        ASSERT_TRUE(store.Startup());
        const auto waitStart = std::chrono::steady_clock::now();
        while (m_server.HitCount("/ns") < 2 && std::chrono::steady_clock::now() - waitStart < 10s) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_EQ(m_server.HitCount("/ns"), 2);  // the second fetch stalls
        store.Settings().SetItemsPerPage(33);

        std::atomic<bool> watching{true};
        std::chrono::steady_clock::time_point settingsWritten{};
        std::thread watcher([&] {
            while (watching) {
                const std::string bytes = m_folder.ReadFile("data/sysdata.dat");
                if (bytes.size() >= 4 && bytes[0] == 33) {
                    settingsWritten = std::chrono::steady_clock::now();
                    return;
                }
                std::this_thread::sleep_for(5ms);
            }
        });
        const auto started = std::chrono::steady_clock::now();
        store.Shutdown();
        const auto returned = std::chrono::steady_clock::now();
        watching = false;
        watcher.join();
        EXPECT_LT(returned - started, 5s);
        ASSERT_NE(settingsWritten, std::chrono::steady_clock::time_point{});
        EXPECT_LT(settingsWritten, returned);
        EXPECT_EQ(store.Engine().StoreThreads(), 0);
        EXPECT_EQ(ItemsOf("many").size(), 100u);  // the feed in hand was stored whole
    }
    *released = true;
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

// The opml table is data: its addresses are fetched over the network or not at all. A named
// pipe held the pass (and the shutdown waiting for it) for ever; a local file must not be read.
TEST_F(UpdateEngineTest, SubscribedAddressesThatAreNoNetworkAddressesAreNeverRead) {
    m_folder.WriteSettings(0, 1);
    ASSERT_EQ(::mkfifo(m_folder.File("pipe").c_str(), 0600), 0);
    m_folder.WriteFile("local.xml", Feed("local", "http://local.test/",
                                         Item("read from a local file", "2006-05-12", "l")));
    ExecSql(m_folder.File("data/data.dat"),
            "insert into opml (opml_key, opml_xml_url, opml_html_url) values "
            "('订阅', '" +
                m_folder.File("pipe") + "', ''), ('订阅', '" + m_folder.File("local.xml") +
                "', ''), ('订阅', 'file://" + m_folder.File("local.xml") + "', '')");
    CFeedStore store(m_folder.Path());
    store.Engine().pacing().SetEnabled(false);
    store.AddKeyword("订阅");
    ASSERT_TRUE(store.Startup());
    EXPECT_TRUE(store.Engine().WaitForPassesFor(5s));
    const auto started = std::chrono::steady_clock::now();
    store.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    Rows subscribed = ItemsOf("订阅");
    std::sort(subscribed.begin(), subscribed.end());
    EXPECT_EQ(subscribed, (Rows{{"订阅", "subscribed one", "2002-10-02"},
                                {"订阅", "subscribed three", "2002-10-04"},
                                {"订阅", "subscribed two", "2002-10-03"}}));
}

// A full disk, a table gone, a file turned read-only: a statement that fails for another
// reason than a duplicate is no skipped item. It is reported once and storing stops.
TEST_F(UpdateEngineTest, AStatementFailingForAnotherReasonThanADuplicateStopsStoring) {
    m_folder.WriteSettings(0, 50);
    ExecSql(m_folder.File("data/data.dat"),
            "CREATE TRIGGER full BEFORE INSERT ON item WHEN NEW.rss_title = 'many 50' "
            "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;");
    std::mutex mutex;
    std::vector<EngineReport> reports;
    std::optional<UpdateTally> ended;
    CFeedStore store(m_folder.Path());
    store.SetReporter([&](const EngineReport& report) {
        std::lock_guard lock(mutex);
        if (report.kind == EngineReport::kUpdateDone) {
            ended = report.tally;
        } else if (report.kind != EngineReport::kUpdateProgress) {
            reports.push_back(report);
        }
    });
    store.Engine().pacing().SetEnabled(false);
    store.AddKeyword("many");
    store.AddKeyword("tennis");
    ASSERT_TRUE(store.Startup());
    EXPECT_TRUE(store.Engine().WaitForPassesFor(10s));
    store.Engine().WaitForStoreThreads();
    store.Shutdown();
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->stopped);  // the window keeps the failure in sight, not a summary

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].kind, EngineReport::kStoreFailed);
    EXPECT_NE(reports[0].detail.find("database or disk is full"), std::string::npos)
        << reports[0].detail;
    EXPECT_EQ(store.Engine().StoreFailure(), reports[0].detail);
    EXPECT_EQ(ItemsOf("many").size(), 50u);  // the items before the failing one
    // The passes stopped: far from every page of every keyword was fetched.
    EXPECT_LT(m_server.HitCount("/ns"), 50);
}

TEST_F(UpdateEngineTest, LinesOfTheServicesFileNotUnderstoodAreReported) {
    m_folder.WriteFile("data/services.conf", "search.baidu = " + m_server.BaseUrl() +
                                                 "\nsearch.bing = http://bing.test\n"
                                                 "search.google = news.google.test\n");
    std::vector<EngineReport> reports;
    CFeedStore store(m_folder.Path());
    store.SetReporter([&](const EngineReport& report) {
        if (report.kind == EngineReport::kServicesLine) {
            reports.push_back(report);
        }
    });
    ASSERT_TRUE(store.Startup());
    store.Shutdown();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].kind, EngineReport::kServicesLine);
    EXPECT_EQ(reports[0].line, 2);
    EXPECT_EQ(reports[0].detail, "search.bing = http://bing.test");
    EXPECT_EQ(reports[1].line, 3);
}

TEST_F(UpdateEngineTest, FetchesThatFailAreCountedPerKeyword) {
    m_folder.WriteSettings(0, 2);
    CFeedStore store(m_folder.Path());
    store.Engine().pacing().SetEnabled(false);
    store.AddKeyword("订阅");  // its search feed answers 404; its two subscribed feeds load
    store.AddKeyword("tennis");
    ASSERT_TRUE(store.Startup());
    store.Engine().WaitForUpdate();
    store.Shutdown();
    const auto progress = store.Engine().Progress();
    EXPECT_EQ(progress.at("订阅").feedsTried, 2 + 2);
    EXPECT_EQ(progress.at("订阅").feedsFailed, 2);
    EXPECT_EQ(progress.at("订阅").feedsFetched, 2);
    EXPECT_EQ(progress.at("tennis").feedsTried, 2);
    EXPECT_EQ(progress.at("tennis").feedsFailed, 0);
    EXPECT_EQ(store.Engine().StoreFailure(), "");
    const UpdateTally tally = store.Engine().Tally();
    EXPECT_EQ(tally.total, 6);
    EXPECT_EQ(tally.done, 6);
    EXPECT_EQ(tally.failedSources, 2);
    EXPECT_EQ(tally.newItems, 3 + 8);  // the second page repeats the first
    EXPECT_FALSE(tally.SearchServiceSilent());
}

// 刷新该频道 fetches the channel's page-0 search feed and every feed subscribed for it.
TEST_F(UpdateEngineTest, ARefreshAlsoFetchesTheSubscribedFeeds) {
    m_folder.WriteSettings(0, 3);
    CFeedStore store(m_folder.Path());
    store.Engine().pacing().SetEnabled(false);
    ASSERT_TRUE(store.Open());
    store.LoadSettings();
    Services().LoadFile(m_folder.File("data/services.conf"));
    store.RefreshChannel("订阅");
    store.Engine().WaitForStoreThreads();
    EXPECT_EQ(m_server.HitCount("/ns"), 1);
    EXPECT_EQ(m_server.HitCount("/subscribed/1"), 1);
    EXPECT_EQ(m_server.HitCount("/subscribed/2"), 1);
    EXPECT_EQ(ItemsOf("订阅").size(), 3u);
    store.Shutdown();
}

// 全部更新 and the timer start an update only when none runs: the passes never overlap.
TEST_F(UpdateEngineTest, AnUpdateStartsOnlyWhenNoneRuns) {
    m_folder.WriteSettings(0, 1);
    auto released = std::make_shared<std::atomic<bool>>(false);
    m_server.Handle("/subscribed/1",
                    [released](const httplib::Request&, httplib::Response& response) {
                        const auto stalled = std::chrono::steady_clock::now();
                        while (!*released && std::chrono::steady_clock::now() - stalled < 60s) {
                            std::this_thread::sleep_for(5ms);
                        }
                        response.set_content(ManyItems(3), "application/rss+xml");
                    });
    CFeedStore store(m_folder.Path());
    store.Engine().pacing().SetEnabled(false);
    store.AddKeyword("订阅");
    ASSERT_TRUE(store.Startup());
    ASSERT_TRUE(store.Engine().Updating());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(store.UpdateAll(), CFeedStore::UpdateStart::kAlreadyRunning);
    }
    EXPECT_EQ(store.Engine().UpdatesStarted(), 1);
    *released = true;
    store.Engine().WaitForUpdate();
    EXPECT_EQ(store.UpdateAll(), CFeedStore::UpdateStart::kStarted);
    store.Engine().WaitForUpdate();
    EXPECT_EQ(store.Engine().UpdatesStarted(), 2);
    EXPECT_EQ(m_server.HitCount("/subscribed/1"), 2);
    store.Shutdown();
}

TEST_F(UpdateEngineTest, StartingTwiceLeavesNoThreadBehind) {
    m_folder.WriteSettings(0, 1);
    const int threadsBefore = ThreadCount();
    {
        CFeedStore store(m_folder.Path());
        store.Engine().pacing().SetEnabled(false);
        store.AddKeyword("足球");
        ASSERT_TRUE(store.Startup());
        ASSERT_TRUE(store.Startup());
        store.Engine().WaitForPasses();
        store.Shutdown();
        EXPECT_EQ(ItemsOf("足球"), ExpectedItems("baidu", "足球"));
    }
    EXPECT_EQ(ThreadCount(), threadsBefore);
}
