// Keeping a big collection in shape: cleaning up half of a million items (its time, the file
// before and after compacting), and the 星标新闻 list with 10 000 starred items among them.
//
//   build/bench/keeping_bench [--benchmark_filter=...]
// The filled databases are cached in $QUILLON_BENCH_DIR (default /tmp/quillon-bench).

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "bench_database.h"
#include "feeds/feed_store.h"
#include "model/news_age.h"
#include "store/ado_recordset.h"
#include "store/automation_date.h"
#include "store/news_cleanup.h"
#include "store/star_statements.h"
#include "store/statements.h"

namespace {

constexpr int kItems = 1'000'000;
constexpr int kStarred = 10'000;

std::string BenchFolder() {
    const char* folder = std::getenv("QUILLON_BENCH_DIR");
    return folder ? folder : "/tmp/quillon-bench";
}

double Megabytes(std::int64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The prefilled items are spread evenly over two years: a year's cut-off removes about half.
// Every item is unread, so none is kept for that.
void CleanUpHalfOfAMillion(benchmark::State& state) {
    const std::string folder = BenchFolder() + "/keeping-clean";
    CleanResult result;
    for (auto _ : state) {
        state.PauseTiming();
        PrefilledDatabase(folder, kItems);
        CFeedStore store(folder);
        if (!store.Open()) {
            state.SkipWithError(store.LastError().c_str());
            return;
        }
        state.ResumeTiming();
        std::string failure;
        result = CleanResult{};
        if (!CleanOldNews(store, {CleanCutoffDay(365), false}, &result, &failure)) {
            state.SkipWithError(failure.c_str());
            return;
        }
    }
    state.counters["items removed"] = static_cast<double>(result.itemsRemoved);
    state.counters["MB before"] = Megabytes(result.sizeBefore);
    state.counters["MB after"] = Megabytes(result.sizeAfter);
    state.counters["compacted"] = result.compacted ? 1 : 0;
}
BENCHMARK(CleanUpHalfOfAMillion)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// 星标新闻 reads every starred item newest first, up to the list's 1001 rows, with the columns
// the list shows.
void StarredListOfTenThousand(benchmark::State& state) {
    const std::string folder = BenchFolder() + "/keeping-stars";
    const std::string path = PrefilledDatabase(folder, kItems);
    sqlite3* db = nullptr;
    CheckSqlite(sqlite3_open(path.c_str(), &db), db, "open");
    // Every hundredth item, so the stars spread over every channel and day.
    CheckSqlite(sqlite3_exec(db,
                             ("insert into item_star (item_id) select ID from item where ID % 100 "
                              "= 0 limit " +
                              std::to_string(kStarred))
                                 .c_str(),
                             nullptr, nullptr, nullptr),
                db, "star");
    sqlite3_close(db);
    CFeedStore store(folder);
    if (!store.Open()) {
        state.SkipWithError(store.LastError().c_str());
        return;
    }
    const std::string sql = SqlSelectStarredItems({}, 1001);
    int rows = 0;
    for (auto _ : state) {
        CAdoRecordset records(store);
        records.Open(sql);
        char title[512] = {};
        char channel[512] = {};
        CAdoDateValue date;
        std::int32_t unread = 0;
        records.BindColumnByName("rss_title", title, sizeof title, kBindText);
        records.BindColumnByName("channel_title", channel, sizeof channel, kBindText);
        records.BindColumnByName("rss_pubDate", &date, sizeof date, kBindDate);
        records.BindColumnByName("item_unread", &unread, sizeof unread, kBindNumber);
        rows = 0;
        for (; !records.IsEOF(); records.MoveNext()) {
            records.Fetch();
            benchmark::DoNotOptimize(title);
            ++rows;
        }
        records.Close();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(StarredListOfTenThousand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
