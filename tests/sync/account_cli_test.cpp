// quillon-cli account and sync against a real server.

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>

#include "feeds/ttrss_client.h"

#include "support/local_http_server.h"
#include "support/run_process.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "support/ttrss_server.h"

namespace {

constexpr char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>频道</title>"
    "<item><title>一</title><link>http://example.com/1</link></item>"
    "<item><title>二</title><link>http://example.com/2</link></item></channel></rss>";

// The tool with the password in its environment and no desktop session, so that the password
// goes to the data folder's file; a sanitizer's options are passed on.
ProcessResult Cli(const std::vector<std::string>& args, const std::string& folder,
                  const std::string& password = "") {
    std::vector<std::string> words{"--data", folder};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<std::string> environment{"PATH=/usr/bin:/bin", "HOME=" + folder, "LANG=C.UTF-8"};
    if (const char* options = std::getenv("TSAN_OPTIONS")) {
        environment.push_back(std::string("TSAN_OPTIONS=") + options);
    }
    if (!password.empty()) {
        environment.push_back("QUILLON_PASSWORD=" + password);
    }
    return RunProcessWithEnvironment(QUILLON_CLI_PATH, words, folder, environment);
}

TEST(SyncCli, TheAccountIsTriedKeptWithoutItsPasswordAndRemovedKeepingTheNews) {
    if (!TtRssServer::Available()) {
        GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
    }
    LocalHttpServer feeds(80);
    ASSERT_EQ(feeds.Port(), 80);
    feeds.Serve("/a.xml", kFeed);
    TtRssServer server;
    ASSERT_TRUE(server.Started());
    const int alice = server.AddUser("alice", "s3cret-密码");
    TempDataFolder folder;
    folder.CreateDatabase();

    const ProcessResult wrong = Cli({"account", server.Address(), "alice"}, folder.Path(), "bad");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("wrong user or password"), std::string::npos) << wrong.err;

    server.SetApiAccess(alice, false);
    const ProcessResult off =
        Cli({"account", server.Address(), "alice"}, folder.Path(), "s3cret-密码");
    EXPECT_EQ(off.exitCode, 1);
    EXPECT_NE(off.err.find("API access is switched off"), std::string::npos) << off.err;
    server.SetApiAccess(alice, true);

    const ProcessResult set =
        Cli({"account", server.Address(), "alice"}, folder.Path(), "s3cret-密码");
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_NE(set.out.find("logged in"), std::string::npos) << set.out;
    EXPECT_NE(set.out.find("a file only its owner may read"), std::string::npos) << set.out;
    struct stat info {};
    ASSERT_EQ(stat(folder.File("data/secrets.conf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600);

    const ProcessResult shown = Cli({"account"}, folder.Path());
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("alice"), std::string::npos);
    for (const std::string& text :
         {set.out + set.err, shown.out, folder.ReadFile("data/settings.conf")}) {
        EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    }

    // The server's feed, subscribed there and fetched by it.
    {
        CTtRssClient client(server.Address(), "alice", "s3cret-密码");
        ASSERT_TRUE(client.Call("subscribeToFeed", {{"feed_url", "http://0.0.0.0/a.xml"}}).ok());
        ASSERT_TRUE(client.Call("updateFeed", {{"feed_id", 1}}).ok());
    }
    const ProcessResult sync = Cli({"sync", "--json"}, folder.Path());
    ASSERT_EQ(sync.exitCode, 0) << sync.err;
    const nlohmann::json summary = nlohmann::json::parse(sync.out);
    EXPECT_EQ(summary["newItems"], 2);
    EXPECT_EQ(summary["feedsAdded"], 1);
    const ProcessResult status = Cli({"status"}, folder.Path());
    EXPECT_NE(status.out.find("127.0.0.1\t" + server.Address() + "\tok"), std::string::npos)
        << status.out;

    const ProcessResult removed = Cli({"account", "--remove"}, folder.Path());
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(Cli({"account"}, folder.Path()).out, "no account\n");
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"), "SELECT count(*) FROM item"), (Rows{{"2"}}));
    const ProcessResult none = Cli({"sync"}, folder.Path());
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no account"), std::string::npos);

    // A server that is down: the reason, exit status 1.
    Cli({"account", server.Address(), "alice"}, folder.Path(), "s3cret-密码");
    server.StopWeb();
    const ProcessResult down = Cli({"sync"}, folder.Path());
    EXPECT_EQ(down.exitCode, 1);
    EXPECT_NE(down.err.find("no connection"), std::string::npos) << down.err;
}

// A sync killed at any moment leaves a database from which the next one finishes the job,
// storing nothing twice.
TEST(SyncCli, AKilledSyncIsFinishedByTheNextOne) {
    if (!TtRssServer::Available()) {
        GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
    }
    std::string rss = "<rss version=\"2.0\"><channel><title>多</title>";
    for (int i = 0; i < 450; ++i) {
        rss += "<item><title>新闻 " + std::to_string(i) + "</title><link>http://example.com/" +
               std::to_string(i) + "</link><description>正文</description></item>";
    }
    LocalHttpServer feeds(80);
    ASSERT_EQ(feeds.Port(), 80);
    feeds.Serve("/many.xml", rss + "</channel></rss>");
    TtRssServer server;
    ASSERT_TRUE(server.Started());
    server.AddUser("alice", "pw");
    {
        CTtRssClient client(server.Address(), "alice", "pw");
        ASSERT_TRUE(client.Call("subscribeToFeed", {{"feed_url", "http://0.0.0.0/many.xml"}}).ok());
        ASSERT_TRUE(client.Call("updateFeed", {{"feed_id", 1}}).ok());
    }
    TempDataFolder folder;
    folder.CreateDatabase();
    ASSERT_EQ(Cli({"account", server.Address(), "alice"}, folder.Path(), "pw").exitCode, 0);

    // Killed after a second: in the middle of its pages, or of storing one, on most machines.
    const ProcessResult killed = RunProcess(QUILLON_CLI_PATH, {"--data", folder.Path(), "sync"},
                                            folder.Path(), std::chrono::milliseconds(1000));
    const ProcessResult again = Cli({"sync", "--json"}, folder.Path());
    ASSERT_EQ(again.exitCode, 0) << again.err;
    const Rows expected{{"450", "450"}};
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"),
                        "SELECT count(*), count(DISTINCT rss_title) FROM item"),
              expected)
        << (killed.killed ? "killed" : "not killed");
    EXPECT_EQ(QueryRows(folder.File("data/data.dat"),
                        "SELECT count(*), count(DISTINCT item_id) FROM sync_item"),
              expected);
}

// While the server answers, what it fetches is not fetched here: the channels of its folder
// and the search address of a keyword channel it watches. When it is down, they are.
TEST(SyncCli, UpdateLeavesToTheServerWhatItFetchesWhileItAnswers) {
    if (!TtRssServer::Available()) {
        GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
    }
    LocalHttpServer feeds(80);
    ASSERT_EQ(feeds.Port(), 80);
    std::mutex mutex;
    std::vector<std::string> fetchedHere;  // paths asked for by this program, guarded by mutex
    const auto serve = [&](const std::string& body) {
        return [&mutex, &fetchedHere, body](const httplib::Request& request,
                                            httplib::Response& response) {
            if (request.get_header_value("User-Agent").starts_with("Quillon")) {
                std::lock_guard lock(mutex);
                fetchedHere.push_back(request.path);
            }
            response.set_content(body, "application/rss+xml");
        };
    };
    feeds.Handle("/a.xml", serve(kFeed));
    feeds.Handle("/ns", serve("<rss version=\"2.0\"><channel><title>s</title><item><title>足球新闻"
                              "</title><link>http://example.com/f</link></item></channel></rss>"));
    TtRssServer server;
    ASSERT_TRUE(server.Started());
    server.AddUser("alice", "pw");
    {
        CTtRssClient client(server.Address(), "alice", "pw");
        ASSERT_TRUE(client.Call("subscribeToFeed", {{"feed_url", "http://0.0.0.0/a.xml"}}).ok());
        ASSERT_TRUE(client.Call("updateFeed", {{"feed_id", 1}}).ok());
    }
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.CopySeedSettings(0);
    folder.WriteFile("data/services.conf", "search.baidu = http://0.0.0.0/ns?word={word}\n");
    folder.WriteFile("document/keywordlist.xml",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
                     "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
    ASSERT_EQ(Cli({"account", server.Address(), "alice"}, folder.Path(), "pw").exitCode, 0);

    const ProcessResult first = Cli({"update", "--no-pauses"}, folder.Path());
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("synced: 2 new items"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("同步完成：新增 2 条新闻"), std::string::npos) << first.out;
    EXPECT_EQ(server.Sql("select count(*) from ttrss_feeds"), "2");
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(fetchedHere.empty()) << fetchedHere.front();
    }

    server.StopWeb();
    const ProcessResult down = Cli({"update", "--no-pauses"}, folder.Path());
    EXPECT_EQ(down.exitCode, 1);
    EXPECT_NE(down.err.find("no connection"), std::string::npos) << down.err;
    std::lock_guard lock(mutex);
    std::sort(fetchedHere.begin(), fetchedHere.end());
    EXPECT_EQ(fetchedHere, (std::vector<std::string>{"/a.xml", "/ns"}));
}

// A password that cannot be read here is no wrong password: the tool says so and how to enter it
// again, before any request. Root reads any file, so the unreadable one is a folder.
TEST(SyncCli, APasswordThatCannotBeReadIsNamedAsSuch) {
    TempDataFolder folder;
    folder.CreateDatabase();
    const std::string server = "http://127.0.0.1:9";
    Cli({"account", server, "alice"}, folder.Path(), "pw");
    ASSERT_TRUE(folder.Exists("data/secrets.conf"));
    const std::string again = "run 'quillon-cli account " + server + " alice' again";

    std::filesystem::remove(folder.File("data/secrets.conf"));
    const ProcessResult gone = Cli({"sync"}, folder.Path());
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.err.find("cannot read the account's password"), std::string::npos) << gone.err;
    EXPECT_NE(gone.err.find(again), std::string::npos) << gone.err;
    EXPECT_EQ(gone.err.find("wrong user or password"), std::string::npos) << gone.err;

    std::filesystem::create_directory(folder.File("data/secrets.conf"));
    const ProcessResult unreadable = Cli({"sync", "--json"}, folder.Path());
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_NE(unreadable.err.find("not a regular file; " + again), std::string::npos)
        << unreadable.err;
    EXPECT_EQ(nlohmann::json::parse(unreadable.out)["failure"],
              "cannot read the account's password");
}

}  // namespace
