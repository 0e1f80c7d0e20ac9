// What hostile or old input costs.
//
//   build/bench/input_bench [--benchmark_filter=...]
// The filled databases are cached in $QUILLON_BENCH_DIR (default /tmp/quillon-bench).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "bench_database.h"
#include "feeds/feed_date.h"
#include "feeds/feed_store.h"
#include "store/xml_document.h"

namespace {

std::string BenchFolder() {
    const char* folder = std::getenv("QUILLON_BENCH_DIR");
    return folder ? folder : "/tmp/quillon-bench";
}

std::string FeedOf(int items) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>t</title>";
    for (int i = 0; i < items; ++i) {
        feed += "<item><title>新闻 " + std::to_string(i) + "</title><description>" +
                std::string(500, 'x') + "</description><pubDate>2010-04-07</pubDate></item>";
    }
    return feed + "</channel></rss>";
}

// A whole feed through the push parser, 64 KiB at a time.
void BM_ParseFeed(benchmark::State& state) {
    const std::string feed = FeedOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CXmlDocument document;
        benchmark::DoNotOptimize(document.loadBytes(feed));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(feed.size()));
}
BENCHMARK(BM_ParseFeed)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

// The document that held libxml2 for minutes: one element with a million attributes.
void BM_RefuseCrowdedElement(benchmark::State& state) {
    std::string feed = "<rss><channel><item";
    for (int i = 0; i < 1'000'000; ++i) {
        feed += " a" + std::to_string(i) + "=\"v\"";
    }
    feed += "/></channel></rss>";
    for (auto _ : state) {
        CXmlDocument document;
        benchmark::DoNotOptimize(document.loadBytes(feed));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(feed.size()));
}
BENCHMARK(BM_RefuseCrowdedElement)->Unit(benchmark::kMillisecond);

void BM_ReadFeedDate(benchmark::State& state) {
    const char* kForms[] = {
        "Wed, 02 Oct 2002 13:00:00 GMT", "2010-04-07",         "2006-05-12T10:20:30+08:00",
        "02 Oct 2002 13:00:00 GMT",      "2008/5/12 12:00:00", "no date at all",
    };
    for (auto _ : state) {
        for (const char* form : kForms) {
            benchmark::DoNotOptimize(ReadFeedDate(form));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(std::size(kForms)));
}
BENCHMARK(BM_ReadFeedDate);

// The first open of a data.dat of an earlier build rebuilds its tables once.
void BM_OpenEarlierDatabase(benchmark::State& state) {
    const std::string folder = BenchFolder() + "/earlier";
    for (auto _ : state) {
        state.PauseTiming();
        PrefilledDatabase(folder, static_cast<int>(state.range(0)), QUILLON_SCHEMA_V0_PATH);
        CFeedStore store(folder);
        state.ResumeTiming();
        if (!store.Open()) {
            state.SkipWithError("cannot open the database");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OpenEarlierDatabase)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
