// A sync with a real Tiny Tiny RSS server (tests/support/ttrss-server; needs root and the
// packages of scripts/install-deps): a first sync of 10 000 articles in 50 feeds, a second
// one with nothing new, and a sync after a folder of 5 000 articles was marked read here.
// Reports wall time, the requests sent and the process's peak memory.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "feeds/feed_store.h"
#include "model/tree_file_subscription.h"
#include "model/ttrss_sync.h"
#include "store/keyword_tree_file.h"
#include "store/statements.h"
#include "support/local_http_server.h"
#include "support/temp_data_folder.h"
#include "support/ttrss_server.h"

namespace {

constexpr int kFeeds = 50;
constexpr int kItemsPerFeed = 200;

std::string Feed(int feed) {
    std::string rss =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
        "<title>频道 " +
        std::to_string(feed) + "</title>";
    for (int i = 0; i < kItemsPerFeed; ++i) {
        const std::string id = std::to_string(feed) + "-" + std::to_string(i);
        rss += "<item><title>新闻 " + id + " 北京上海广州深圳</title><link>http://example.com/" +
               id + "</link><description>正文 " + id +
               " 这是一段用来测量同步的新闻正文，包含一些文字。</description>"
               "<pubDate>Wed, 09 Dec 2026 10:00:00 GMT</pubDate></item>";
    }
    return rss + "</channel></rss>";
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

SyncSummary SyncOnce(TempDataFolder& folder, CFeedStore& store, const std::string& address) {
    CKeywordTreeFile file(folder.File("document/keywordlist.xml"));
    TreeFileSubscription tree(file);
    CTtRssClient client(address, "bench", "pw");
    return RunTtRssSync(client, store, tree, [&file](int id) { return file.RemoveNode(id); });
}

void BM_Sync(benchmark::State& state) {
    if (!TtRssServer::Available()) {
        state.SkipWithError("needs root and tt-rss with PostgreSQL");
        return;
    }
    LocalHttpServer feeds(80);
    TtRssServer server;
    server.AddUser("bench", "pw");
    {
        CTtRssClient client(server.Address(), "bench", "pw");
        for (int feed = 1; feed <= kFeeds; ++feed) {
            const std::string path = "/feed" + std::to_string(feed) + ".xml";
            feeds.Serve(path, Feed(feed));
            client.Call("subscribeToFeed", {{"feed_url", "http://0.0.0.0" + path}});
            client.Call("updateFeed", {{"feed_id", feed}});
        }
    }
    for (auto _ : state) {
        TempDataFolder folder;
        folder.CreateDatabase();
        CFeedStore store(folder.Path());
        store.Open();
        const auto start = std::chrono::steady_clock::now();
        const SyncSummary first = SyncOnce(folder, store, server.Address());
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const SyncSummary second = SyncOnce(folder, store, server.Address());
        std::vector<std::string> half;
        for (int feed = 1; feed <= kFeeds / 2; ++feed) {
            half.push_back("频道 " + std::to_string(feed));
        }
        store.Execute(SqlMarkChannelsRead(half));
        const SyncSummary third = SyncOnce(folder, store, server.Address());
        state.counters["first_items"] = first.itemsStored;
        state.counters["first_seconds"] = seconds;
        state.counters["first_requests"] = first.requests;
        state.counters["peak_kB"] = static_cast<double>(PeakKilobytes());
        state.counters["second_requests"] = second.requests;
        state.counters["read_5000_sent"] = third.changesSent;
        state.counters["read_5000_requests"] = third.requests;
    }
}
BENCHMARK(BM_Sync)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
