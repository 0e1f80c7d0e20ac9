#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "support/local_http_server.h"
#include "support/raw_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

TEST(CliRead, PrintsEveryFieldOfTheChannelAndItsItemsAsJson) {
    LocalHttpServer server;
    server.Serve("/feed", ReadTestData("feeds/basic.xml"));
    TempDataFolder folder;
    const ProcessResult run = Cli({"read", server.Url("/feed")}, folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = nlohmann::ordered_json::parse(run.out);
    EXPECT_EQ(json["itemCount"], 2);
    std::vector<std::string> channelKeys;
    for (const auto& [key, value] : json["channel"].items()) {
        channelKeys.push_back(key);
    }
    EXPECT_EQ(channelKeys,
              (std::vector<std::string>{"title", "link", "description", "language", "copyright",
                                        "managingEditor", "webMaster", "pubDate", "lastBuildDate",
                                        "category", "generator", "docs", "image", "url", "cloud",
                                        "ttl", "rating", "skipHours", "skipDays"}));
    EXPECT_EQ(json["channel"]["title"], "新闻搜索：足球");
    EXPECT_EQ(json["channel"]["cloud"], "");  // empty fields are printed too
    ASSERT_EQ(json["items"].size(), 2u);
    std::vector<std::string> itemKeys;
    for (const auto& [key, value] : json["items"][0].items()) {
        itemKeys.push_back(key);
    }
    EXPECT_EQ(itemKeys,
              (std::vector<std::string>{"title", "link", "description", "author", "category",
                                        "comments", "enclosure", "guid", "pubDate", "source"}));
    EXPECT_EQ(json["items"][1]["title"], "Second item's title");
    EXPECT_EQ(json["format"], "RSS 2.0");
    EXPECT_EQ(json["recovered"], false);
}

// Every format shows in the same records; the tool says which one it read, and whether the
// document had to be mended first.
TEST(CliRead, SaysWhichFormatItReadAndWhetherItWasMended) {
    const struct {
        const char* fixture;
        const char* format;
        bool recovered;
    } kCases[] = {
        {"atom.xml", "Atom 1.0", false},
        {"atom03.xml", "Atom 0.3", false},
        {"rdf.xml", "RSS 1.0", false},
        {"recover_html_entities.xml", "RSS 2.0", true},
        {"json_feed_11_zh.json", "JSON Feed 1.1", false},
        {"json_adactio.json", "JSON Feed 1.0", false},
    };
    TempDataFolder folder;
    for (const auto& c : kCases) {
        const ProcessResult run =
            Cli({"read", TestDataPath(std::string("feeds/") + c.fixture)}, folder.Path());
        ASSERT_EQ(run.exitCode, 0) << c.fixture << ": " << run.err;
        const auto json = nlohmann::json::parse(run.out);
        EXPECT_EQ(json["format"], c.format) << c.fixture;
        EXPECT_EQ(json["recovered"], c.recovered) << c.fixture;
        EXPECT_EQ(json["items"][0].size(), 10u) << c.fixture;
    }
}

TEST(CliRead, AFeedWithoutItemsSaysWhyOnStderr) {
    LocalHttpServer server;
    server.Serve("/not-a-feed", ReadTestData("feeds/not_a_feed.xml"));
    TempDataFolder folder;
    for (const std::string path : {"/not-a-feed", "/missing"}) {
        const ProcessResult run = Cli({"read", server.Url(path)}, folder.Path());
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(nlohmann::json::parse(run.out)["itemCount"], 0) << path;
        EXPECT_NE(run.err.find("no items read"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Cli({"read"}, folder.Path()).exitCode, 2);
}

TEST(CliUpdate, WithAnUnusableDatabaseItFailsWithAClearMessage) {
    TempDataFolder folder;
    folder.WriteFile("data/data.dat", "not a database");
    const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("the database"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("data/data.dat"), std::string::npos) << run.err;
    EXPECT_EQ(folder.ReadFile("data/data.dat"), "not a database");
}

TEST(CliUpdate, FetchesTheTreesChannelsAndReportsWhatItStored) {
    LocalHttpServer server;
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.CopySeedSettings();
    folder.WriteFile("data/services.conf", "search.baidu = " + server.BaseUrl() + "\n");
    folder.WriteFile("document/keywordlist.xml",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
                     "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>体育</TEXT>"
                     "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                     "</KEYWORDNODE></KEYWORDNODE>"
                     "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>silent</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
    server.Handle("/ns", [](const httplib::Request& request, httplib::Response& response) {
        if (request.get_param_value("word").find("silent") != std::string::npos) {
            response.status = 404;
            return;
        }
        response.set_content(
            "<rss><channel><title>t</title><item><title>one</title></item>"
            "<item><title>two</title></item></channel></rss>",
            "application/rss+xml");
    });
    const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Five pages of the default settings: the items arrive five times and are stored once.
    // The last line is the one the window's status bar shows.
    EXPECT_EQ(run.out,
              "足球\t5 feeds\t2 new items\t0 failed\t0 unchanged\t0 partial\n"
              "silent\t0 feeds\t0 new items\t5 failed\t0 unchanged\t0 partial\n"
              "更新完成：新增 2 条新闻，5 个来源失败（silent）\n");
    EXPECT_EQ(server.HitCount("/ns"), 10);
    // The update leaves the search index to the next search, which takes the queue in first.
    const std::string db = folder.File("data/data.dat");
    EXPECT_EQ(QueryRows(db, "select count(*) from item_search_queue"), (Rows{{"2"}}));
    const ProcessResult found = Cli({"search", "two", "--json"}, folder.Path());
    EXPECT_EQ(nlohmann::json::parse(found.out).size(), 1u) << found.err;
    EXPECT_EQ(QueryRows(db, "select count(*) from item_search_queue"), (Rows{{"0"}}));

    // What became of each source: one object per search page of each channel.
    const ProcessResult status = Cli({"status", "--json"}, folder.Path());
    ASSERT_EQ(status.exitCode, 0) << status.err;
    const nlohmann::json sources = nlohmann::json::parse(status.out);
    ASSERT_EQ(sources.size(), 10u);
    std::map<std::string, int> outcomes;
    for (const nlohmann::json& source : sources) {
        std::vector<std::string> keys;
        for (const auto& [key, value] : source.items()) {
            keys.push_back(key);
        }
        EXPECT_EQ(keys,
                  (std::vector<std::string>{"address", "channel", "failures", "httpStatus",
                                            "lastAttempt", "lastSuccess", "newItems", "outcome"}));
        const bool ok = source["channel"] == "足球";
        ++outcomes[source["outcome"].get<std::string>()];
        EXPECT_EQ(source["outcome"], ok ? "ok" : "http-error");
        EXPECT_EQ(source["httpStatus"], ok ? 200 : 404);
        EXPECT_EQ(source["failures"], ok ? 0 : 1);
        EXPECT_TRUE(source["lastAttempt"].is_string());
        EXPECT_EQ(source["lastSuccess"].is_string(), ok);
        EXPECT_EQ(source["lastSuccess"].is_null(), !ok);
        EXPECT_TRUE(source["address"].get<std::string>().starts_with(server.Url("/ns?")));
    }
    EXPECT_EQ(outcomes, (std::map<std::string, int>{{"http-error", 5}, {"ok", 5}}));
    // The first page brought both items, the others nothing new.
    EXPECT_EQ(sources[0]["channel"], "silent");
    int newItems = 0;
    for (const nlohmann::json& source : sources) {
        newItems += source["newItems"].get<int>();
    }
    EXPECT_EQ(newItems, 2);
    const ProcessResult lines = Cli({"status"}, folder.Path());
    ASSERT_EQ(lines.exitCode, 0) << lines.err;
    EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), 10);
}

namespace {

// A data folder whose one channel, 足球, is served by the server at `base`.
void SeedFolder(const TempDataFolder& folder, const std::string& base) {
    folder.CreateDatabase();
    folder.CopySeedSettings();
    folder.WriteFile("data/services.conf", "search.baidu = " + base + "\n");
    folder.WriteFile("document/keywordlist.xml",
                     "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
}

std::string FeedOf(int items) {
    std::string feed = "<rss><channel><title>t</title>";
    for (int i = 0; i < items; ++i) {
        feed += "<item><title>item " + std::to_string(i) + "</title></item>";
    }
    return feed + "</channel></rss>";
}

}  // namespace

// A search service that answered 410 is left for a day, and the summary says so; refresh
// asks it again at once, as 刷新该频道 does, and stores what it now gives.
TEST(CliRefresh, TriesAChannelsSourcesAgainThatUpdatesLeaveForLater) {
    LocalHttpServer server;
    TempDataFolder folder;
    SeedFolder(folder, server.BaseUrl());
    std::atomic<bool> back{false};
    server.Handle("/ns", [&back](const httplib::Request&, httplib::Response& response) {
        if (!back) {
            response.status = 410;
            return;
        }
        response.set_content(FeedOf(2), "application/rss+xml");
    });
    EXPECT_EQ(Cli({"update", "--no-pauses"}, folder.Path()).exitCode, 1);  // every fetch failed
    const int asked = server.HitCount("/ns");
    ASSERT_GT(asked, 0);
    const ProcessResult again = Cli({"update", "--no-pauses"}, folder.Path());
    EXPECT_EQ(server.HitCount("/ns"), asked);
    EXPECT_NE(
        again.out.find("更新完成：新增 0 条新闻，" + std::to_string(asked) + " 个来源稍后再试\n"),
        std::string::npos)
        << again.out;

    back = true;
    const ProcessResult refresh = Cli({"refresh", "足球", "--no-pauses"}, folder.Path());
    ASSERT_EQ(refresh.exitCode, 0) << refresh.err;
    EXPECT_EQ(server.HitCount("/ns"), asked + 1);  // page 0
    EXPECT_TRUE(refresh.out.starts_with(
        "足球\t1 feeds\t2 new items\t0 failed\t0 unchanged\t0 partial\n  " + server.Url("/ns")))
        << refresh.out;
    EXPECT_NE(refresh.out.find("\tok\tHTTP 200\n"), std::string::npos) << refresh.out;

    const ProcessResult unknown = Cli({"refresh", "网球"}, folder.Path());
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no channel named '网球'"), std::string::npos) << unknown.err;
    EXPECT_EQ(Cli({"refresh"}, folder.Path()).exitCode, 2);
}

// Each way the update cannot do its work ends with a non-zero status and a line that says
// why; a run that did its work ends with 0 even when it had something to report.
TEST(CliUpdate, ExitsNonZeroWithAReasonWhenItCannotDoItsWork) {
    LocalHttpServer server;
    server.Serve("/ns", FeedOf(20));
    struct Case {
        const char* name;
        std::function<void(const TempDataFolder&)> spoil;
        int exitCode;
        const char* message;
    };
    const Case kCases[] = {
        {"a damaged tree file",
         [](const TempDataFolder& folder) {
             folder.WriteFile("document/keywordlist.xml", "<KEYWORDTREE><ID>0</ID>");
         },
         1, "the tree file"},
        {"an empty database file",
         [](const TempDataFolder& folder) { folder.WriteFile("data/data.dat", ""); }, 1,
         "is empty (0 bytes); it is left as it is"},
        {"every fetch failing",
         [](const TempDataFolder& folder) {
             folder.WriteFile("data/services.conf", "search.baidu = http://127.0.0.1:1\n");
         },
         1, "every one of the 5 fetches failed"},
        {"storing failing halfway",
         [](const TempDataFolder& folder) {
             ExecSql(folder.File("data/data.dat"),
                     "CREATE TRIGGER full BEFORE INSERT ON item WHEN NEW.rss_title = 'item 7' "
                     "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;");
         },
         1, "storing stopped: the database could not do it"},
        {"a line of the services file not understood",
         [&server](const TempDataFolder& folder) {
             folder.WriteFile("data/services.conf",
                              "search.baidu = " + server.BaseUrl() + "\nsearch.bing = x\n");
         },
         0, "data/services.conf line 2 is not understood: search.bing = x"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDataFolder folder;
        SeedFolder(folder, server.BaseUrl());
        c.spoil(folder);
        const std::string tree = folder.ReadFile("document/keywordlist.xml");
        const std::string database = folder.ReadFile("data/data.dat");
        const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(folder.ReadFile("document/keywordlist.xml"), tree);
        if (database.empty()) {
            EXPECT_EQ(folder.ReadFile("data/data.dat"), "");
        }
    }
}

TEST(CliRead, ATypedPathIsReadOnlyWhenItIsARegularFile) {
    TempDataFolder folder;
    folder.WriteFile("feed.xml", FeedOf(3));
    ASSERT_EQ(::mkfifo(folder.File("pipe").c_str(), 0600), 0);
    EXPECT_EQ(Cli({"read", folder.File("feed.xml")}, folder.Path()).exitCode, 0);
    const ProcessResult pipe = Cli({"read", folder.File("pipe")}, folder.Path());
    EXPECT_EQ(pipe.exitCode, 1);
    EXPECT_NE(pipe.err.find("not a regular file"), std::string::npos) << pipe.err;
}

// A server that closes the connection mid-item, with no Content-Length to give it away: the
// complete items are stored, the cut one is not (neither now nor later), and the tool says
// the documents were partial.
TEST(CliUpdate, ADocumentCutOffMidItemStoresOnlyItsCompleteItems) {
    RawHttpServer server(
        "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\nConnection: close\r\n\r\n" +
            ReadTestData("feeds/recover_cut_off.xml"),
        RawHttpServer::Ending::kClose);
    TempDataFolder folder;
    SeedFolder(folder, server.BaseUrl());
    const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "足球\t5 feeds\t2 new items\t0 failed\t0 unchanged\t5 partial\n"
              "更新完成：新增 2 条新闻\n");
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"),
                        "select rss_title, rss_description from item order by ID"),
              (Rows{{"Headline one", "Full text of story one"},
                    {"Headline two", "<p>Full text of story two</p>"}}));
}
