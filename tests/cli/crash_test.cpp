// quillon-cli update killed at random moments: the store and the tree file survive whole, and
// a following update completes the store without duplicates.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <random>

#include "base/charset.h"
#include "store/schema.h"

#include "support/local_http_server.h"
#include "support/run_process.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using namespace std::chrono;

namespace {

constexpr int kRounds = 30;
constexpr int kItemsPerFeed = 100;
constexpr int kPages = 5;  // the default settings' maximum pages
const std::vector<std::string> kChannels = {"足球", "tennis", "Weather", "天气"};

std::string TreeFile() {
    std::string tree =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER"
        "</NODETYPE><TEXT>我的频道</TEXT>";
    for (std::size_t i = 0; i < kChannels.size(); ++i) {
        tree += "<KEYWORDNODE><ID>" + std::to_string(i + 1) +
                "</ID><NODETYPE>KEY</NODETYPE><TEXT>" + kChannels[i] + "</TEXT></KEYWORDNODE>";
    }
    return tree + "</KEYWORDTREE>";
}

// Each page of each word's search feed has items of its own, and new ones in each round, so
// that every run has the whole store to write.
void ServeFeeds(LocalHttpServer& server, const std::atomic<int>& round) {
    server.Handle("/ns", [&round](const httplib::Request& request, httplib::Response& response) {
        std::string word;
        ConvertCharset("GB18030", "UTF-8", request.get_param_value("word"), &word);
        const std::string page = request.get_param_value("ct");
        std::string feed = "<rss><channel><title>" + word + "</title>";
        for (int i = 0; i < kItemsPerFeed; ++i) {
            feed += "<item><title>" + word + " round " + std::to_string(round) + " page " + page +
                    " item " + std::to_string(i) + "</title><link>http://news.test/" +
                    std::to_string(i) + "</link><pubDate>2010-04-07</pubDate></item>";
        }
        response.set_content(feed + "</channel></rss>", "application/rss+xml");
    });
}

void Seed(const TempDataFolder& folder, const LocalHttpServer& server) {
    // A file of the earlier schema: the first kills may land in its upgrade.
    folder.CreateDatabaseWith(ReadTestData("db/schema_v0.sql"));
    folder.CopySeedSettings();
    folder.WriteFile("data/services.conf", "search.baidu = " + server.BaseUrl() + "\n");
    folder.WriteFile("document/keywordlist.xml", TreeFile());
}

ProcessResult Update(const TempDataFolder& folder, std::optional<microseconds> killAfter = {}) {
    return RunProcess(QUILLON_CLI_PATH, {"--data", folder.Path(), "update", "--no-pauses"},
                      folder.Path(), killAfter);
}

Rows Duplicates(const std::string& db) {
    return QueryRows(db,
                     "SELECT 'item', rss_channelID, rss_title FROM item GROUP BY rss_channelID, "
                     "rss_title COLLATE NOCASE HAVING count(*) > 1 UNION ALL "
                     "SELECT 'channel', rss_title, '' FROM channel GROUP BY rss_title "
                     "COLLATE NOCASE HAVING count(*) > 1");
}

}  // namespace

TEST(CliCrash, KilledUpdatesLeaveAWholeStoreThatTheNextUpdateCompletes) {
    std::atomic<int> round{0};
    LocalHttpServer server;
    ServeFeeds(server, round);

    // How long a whole run takes here, so that the kills spread over all of it. The first
    // measure is a run on a new store, which also upgrades it; each run that ends before its kill
    // measures again, since later runs differ from the first (no upgrade, a larger store) and a
    // loaded machine makes all of them slower or quicker together.
    microseconds whole{0};
    {
        TempDataFolder measured;
        Seed(measured, server);
        const auto started = steady_clock::now();
        ASSERT_EQ(Update(measured).exitCode, 0);
        whole = duration_cast<microseconds>(steady_clock::now() - started);
    }

    TempDataFolder folder;
    Seed(folder, server);
    const std::string db = folder.File("data/data.dat");
    const std::string tree = folder.ReadFile("document/keywordlist.xml");
    std::mt19937 random(20100407);
    int killed = 0;
    for (round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto started = steady_clock::now();
        const microseconds killAfter{std::uniform_int_distribution<long>(0, whole.count())(random)};
        const ProcessResult run = Update(folder, killAfter);
        if (run.killed) {
            ++killed;
        } else {
            whole = duration_cast<microseconds>(steady_clock::now() - started);
        }
        ASSERT_TRUE(run.killed || run.exitCode == 0) << run.err;
        ASSERT_EQ(QueryRows(db, "PRAGMA integrity_check"), (Rows{{"ok"}}));
        ASSERT_EQ(folder.ReadFile("document/keywordlist.xml"), tree);
        ASSERT_EQ(Duplicates(db), Rows{});
    }
    EXPECT_GE(killed, kRounds / 2);

    const ProcessResult last = Update(folder);
    ASSERT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(QueryRows(db, "PRAGMA integrity_check"), (Rows{{"ok"}}));
    EXPECT_EQ(QueryRows(db, "SELECT count(*) FROM channel"),
              (Rows{{std::to_string(kChannels.size())}}));
    const std::string lastRound = " round " + std::to_string(round) + " ";
    EXPECT_EQ(
        QueryRows(db, "SELECT count(*) FROM item WHERE instr(rss_title, '" + lastRound + "') > 0"),
        (Rows{{std::to_string(kChannels.size() * kPages * kItemsPerFeed)}}));
    EXPECT_EQ(Duplicates(db), Rows{});
    EXPECT_EQ(QueryRows(db, "PRAGMA user_version"), (Rows{{std::to_string(kSchemaVersion)}}));
}
