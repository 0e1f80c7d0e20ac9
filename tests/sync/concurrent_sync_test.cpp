// quillon-cli update and quillon-cli sync at the same moment on one data folder: the update
// syncs too, so two syncs and the update's own fetching share the database and the tree file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <future>

#include "feeds/ttrss_client.h"
#include "support/local_http_server.h"
#include "support/run_process.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "support/ttrss_server.h"

namespace {

// Items `from` to `to` - 1 of a feed.
std::string Feed(const std::string& title, const std::string& prefix, int from, int to) {
    std::string rss =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>" + title +
        "</title>";
    for (int i = from; i < to; ++i) {
        const std::string n = std::to_string(i);
        rss += "<item><title>" + prefix + " " + n + "</title><link>http://example.com/" + prefix +
               "/" + n + "</link><description>" + prefix + "的正文 " + n + "</description></item>";
    }
    return rss + "</channel></rss>";
}

ProcessResult Cli(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<std::string> words{"--data", folder};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<std::string> environment{"PATH=/usr/bin:/bin", "HOME=" + folder, "LANG=C.UTF-8",
                                         "QUILLON_PASSWORD=pw"};
    if (const char* options = std::getenv("TSAN_OPTIONS")) {
        environment.push_back(std::string("TSAN_OPTIONS=") + options);
    }
    return RunProcessWithEnvironment(QUILLON_CLI_PATH, words, folder, environment);
}

// The items of each channel, one "channel: count" a line, for a failure's message.
std::string ItemsByChannel(const std::string& data) {
    std::string text;
    for (const auto& row : QueryRows(data,
                                     "SELECT c.rss_title, count(*) FROM item i JOIN channel c ON "
                                     "c.ID = i.rss_channelID GROUP BY 1")) {
        text += row.at(0) + ": " + row.at(1) + "\n";
    }
    return text;
}

TEST(SyncCliConcurrent, AnUpdateAndASyncAtOnceBothFinishAndStoreEverythingOnce) {
    if (!TtRssServer::Available()) {
        GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
    }
    LocalHttpServer feeds(80);
    ASSERT_EQ(feeds.Port(), 80);
    feeds.Serve("/server.xml", Feed("服务器", "服", 0, 10));
    feeds.Serve("/local.xml", Feed("本地", "本", 0, 10));
    feeds.Serve("/ns", Feed("搜索", "搜", 0, 0));
    TtRssServer server;
    ASSERT_TRUE(server.Started());
    server.AddUser("alice", "pw");
    CTtRssClient client(server.Address(), "alice", "pw");
    ASSERT_TRUE(client.Call("subscribeToFeed", {{"feed_url", "http://0.0.0.0/server.xml"}}).ok());
    ASSERT_TRUE(client.Call("updateFeed", {{"feed_id", 1}}).ok());

    TempDataFolder folder;
    folder.CreateDatabase();
    folder.CopySeedSettings(0);
    folder.WriteFile("data/services.conf", "search.baidu = http://0.0.0.0/ns?word={word}\n");
    const ProcessResult local =
        Cli({"subscribe", "http://127.0.0.1/local.xml", "--name", "本地"}, folder.Path());
    ASSERT_EQ(local.exitCode, 0) << local.err;
    ASSERT_EQ(Cli({"account", server.Address(), "alice"}, folder.Path()).exitCode, 0);
    ASSERT_EQ(Cli({"sync"}, folder.Path()).exitCode, 0);

    // Each round: new articles on the server (more than a page), a feed new there, new items
    // in the local feed; then both commands at once.
    int serverItems = 10;
    int localItems = 10;
    for (int round = 1; round <= 3; ++round) {
        serverItems += 250;
        localItems += 50;  // an update stores at most 100 items of a feed
        const std::string added = "新 " + std::to_string(round);
        feeds.Serve("/server.xml", Feed("服务器", "服", 0, serverItems));
        feeds.Serve("/local.xml", Feed("本地", "本", std::max(0, localItems - 80), localItems));
        feeds.Serve("/new" + std::to_string(round) + ".xml", Feed(added, added, 0, 5));
        const TtRssAnswer subscribed =
            client.Call("subscribeToFeed",
                        {{"feed_url", "http://0.0.0.0/new" + std::to_string(round) + ".xml"}});
        ASSERT_TRUE(subscribed.ok());
        ASSERT_TRUE(client.Call("updateFeed", {{"feed_id", 1}}).ok());
        ASSERT_TRUE(client
                        .Call("updateFeed",
                              {{"feed_id", subscribed.content["status"]["feed_id"].get<int>()}})
                        .ok());

        auto update = std::async(std::launch::async, [&] {
            return Cli({"update", "--no-pauses"}, folder.Path());
        });
        auto sync = std::async(std::launch::async, [&] {
            return Cli({"sync", "--json"}, folder.Path());
        });
        const ProcessResult updated = update.get();
        const ProcessResult synced = sync.get();
        EXPECT_EQ(updated.exitCode, 0)
            << "round " << round << ": " << updated.err << Cli({"status"}, folder.Path()).out;
        EXPECT_EQ(synced.exitCode, 0) << "round " << round << ": " << synced.err;

        const std::string data = folder.File("data/data.dat");
        const int expected = serverItems + localItems + 5 * round;
        EXPECT_EQ(QueryRows(data, "SELECT count(*), count(DISTINCT rss_title) FROM item"),
                  (Rows{{std::to_string(expected), std::to_string(expected)}}))
            << "round " << round << "\n"
            << ItemsByChannel(data) << updated.out << synced.out;
        EXPECT_EQ(QueryRows(data, "SELECT count(*), count(DISTINCT item_id) FROM sync_item"),
                  (Rows{{std::to_string(serverItems + 5 * round),
                         std::to_string(serverItems + 5 * round)}}))
            << "round " << round;
        // Every channel once in the tree, and the new feed's channel there.
        const std::string tree = folder.ReadFile("document/keywordlist.xml");
        for (const std::string& channel : {std::string("服务器"), std::string("本地"), added}) {
            const std::string text = "<TEXT>" + channel + "</TEXT>";
            const std::size_t first = tree.find(text);
            EXPECT_NE(first, std::string::npos) << channel << "\n" << tree;
            EXPECT_EQ(tree.find(text, first + 1), std::string::npos) << channel << "\n" << tree;
        }
    }
}

}  // namespace
