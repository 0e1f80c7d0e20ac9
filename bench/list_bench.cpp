// Loading the news list from a large database, without the loaders' pauses.
//
//   build/bench/list_bench [--benchmark_filter=...]
// The database is filled once per run in $QUILLON_BENCH_DIR/list (default
// /tmp/quillon-bench/list).

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>

#include "base/clock.h"
#include "bench_database.h"
#include "feeds/feed_store.h"
#include "model/list_mode.h"
#include "model/news_loader.h"
#include "store/search_index.h"

namespace {

using namespace std::chrono;

constexpr int kChannelItems = 100000;
constexpr int kFolderChannels = 200;
constexpr int kWideChannels = 20;
constexpr int kWideItems = 5000;
const sys_days kToday = sys_days{2023y / 6 / 14};

std::string BenchFolder() {
    const char* folder = std::getenv("QUILLON_BENCH_DIR");
    return std::string(folder ? folder : "/tmp/quillon-bench") + "/list";
}

void Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(message + " in " + sql.substr(0, 200));
    }
}

// `count` items of channel `id`, spread over the 25 days up to today (inside the default
// 30-day retention period), each with a feed-sized description.
std::string InsertItems(int id, int count) {
    return "insert into item (rss_channelID, rss_title, rss_link, rss_description, rss_author, "
           "rss_pubDate, rss_source) with recursive n(i) as (select 0 union all select i + 1 "
           "from n where i + 1 < " +
           std::to_string(count) + ") select " + std::to_string(id) +
           ", '新闻标题 news title ' || " + std::to_string(id) +
           " || '-' || i, "
           "'http://news.test/' || i, '<p>' || printf('%.600c', 'd') || '</p>', '记者', "
           "date('2023-06-14', '-' || (i % 25) || ' days'), '新华网' from n";
}

// The benchmark channel "bench", and three folders' worth of channels: "small N" (200) with 2
// items each, "mid N" (200) with 50, and "wide N" (20) with 5000, all inside the retention
// period.
void FillDatabase(const std::string& folder) {
    MakeDataFolder(folder);
    const std::string path = folder + "/data/data.dat";
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
    std::ifstream schemaFile(QUILLON_SCHEMA_PATH);
    std::stringstream schema;
    schema << schemaFile.rdbuf();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    std::string failure;
    if (!InstallSearchIndex(db, &failure)) {
        throw std::runtime_error(failure);
    }
    Exec(db, schema.str());
    Exec(db, "BEGIN");
    Exec(db, "insert into channel (ID, rss_title) values(1, 'bench')");
    Exec(db, InsertItems(1, kChannelItems));
    for (int c = 0; c < kFolderChannels; ++c) {
        const int small = 2 + c;
        const int mid = 2 + kFolderChannels + c;
        Exec(db, "insert into channel (ID, rss_title) values(" + std::to_string(small) +
                     ", 'small " + std::to_string(c) + "')");
        Exec(db, "insert into channel (ID, rss_title) values(" + std::to_string(mid) + ", 'mid " +
                     std::to_string(c) + "')");
        Exec(db, InsertItems(small, 2));
        Exec(db, InsertItems(mid, 50));
    }
    for (int c = 0; c < kWideChannels; ++c) {
        const int wide = 2 + 2 * kFolderChannels + c;
        Exec(db, "insert into channel (ID, rss_title) values(" + std::to_string(wide) + ", 'wide " +
                     std::to_string(c) + "')");
        Exec(db, InsertItems(wide, kWideItems));
    }
    Exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE);");
    sqlite3_close(db);
}

CFeedStore& Store() {
    static const std::string folder = [] {
        FillDatabase(BenchFolder());
        return BenchFolder();
    }();
    static CFeedStore store(folder);
    if (!store.IsOpen()) {
        store.Open();
    }
    return store;
}

// Notes when the first 200 rows were published.
class TimingListener : public INewsListListener {
public:
    void PublishCount(int count) override {
        if (count == CNewsList::kFirstPublication) {
            std::lock_guard lock(m_mutex);
            m_first = steady_clock::now();
        }
    }
    void ShowStatus(const std::string&) override {}
    steady_clock::time_point First() const {
        std::lock_guard lock(m_mutex);
        return m_first;
    }

private:
    mutable std::mutex m_mutex;
    steady_clock::time_point m_first;
};

void LoadChannel(benchmark::State& state, bool firstRowsOnly) {
    CFeedStore& store = Store();
    if (!store.IsOpen()) {
        state.SkipWithError("cannot open the database");
        return;
    }
    ScopedFixedClock clock(kToday + hours{12});
    TimingListener listener;
    CNewsList list(store, &listener);
    list.pacing().SetEnabled(false);
    const CKeywordNode node = CKeywordNode::NewNode("bench", NODE_KEY);
    for (auto _ : state) {
        const auto start = steady_clock::now();
        list.RequestLoad(node, kListModeAll);
        list.WaitUntilIdle();
        const auto end = firstRowsOnly ? listener.First() : steady_clock::now();
        state.SetIterationTime(duration<double>(end - start).count());
    }
    state.counters["rows"] = list.RowCount();
}

void BM_ChannelFirst200Rows(benchmark::State& state) {
    LoadChannel(state, true);
}
BENCHMARK(BM_ChannelFirst200Rows)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ChannelAll1001Rows(benchmark::State& state) {
    LoadChannel(state, false);
}
BENCHMARK(BM_ChannelAll1001Rows)->UseManualTime()->Unit(benchmark::kMillisecond);

// A folder load of the channels "`prefix` 0" to "`prefix` `channels - 1`" in `mode`, from the
// request to its last row.
void LoadFolder(benchmark::State& state, const std::string& prefix, int channels, int mode) {
    CFeedStore& store = Store();
    if (!store.IsOpen()) {
        state.SkipWithError("cannot open the database");
        return;
    }
    ScopedFixedClock clock(kToday + hours{12});
    std::vector<std::string> names;
    for (int c = 0; c < channels; ++c) {
        names.push_back(prefix + std::to_string(c));
    }
    CNewsList list(store);
    list.pacing().SetEnabled(false);
    const CKeywordNode node = CKeywordNode::NewNode("folder", NODE_FOLDER);
    for (auto _ : state) {
        list.RequestLoad(node, mode, names);
        list.WaitUntilIdle();
    }
    state.counters["rows"] = list.RowCount();
}

// A folder of 200 channels with range(0) items each.
void BM_Folder200Channels(benchmark::State& state) {
    LoadFolder(state, state.range(0) == 2 ? "small " : "mid ", kFolderChannels, kListModeAll);
}
BENCHMARK(BM_Folder200Channels)->Arg(2)->Arg(50)->Unit(benchmark::kMillisecond);

// A folder of 20 channels with 5000 items each (100 000 in the retention period, 4000 of
// them today): its newest 1001 rows, all news and today's.
void BM_Folder20ChannelsAll(benchmark::State& state) {
    LoadFolder(state, "wide ", kWideChannels, kListModeAll);
}
BENCHMARK(BM_Folder20ChannelsAll)->Unit(benchmark::kMillisecond);

void BM_Folder20ChannelsToday(benchmark::State& state) {
    LoadFolder(state, "wide ", kWideChannels, kListModeToday);
}
BENCHMARK(BM_Folder20ChannelsToday)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
