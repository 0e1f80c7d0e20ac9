// Storing and reading at database sizes from empty to a million items, without pauses; and
// reading the sources' latest outcomes as the tree's count refresher does, for every channel
// and for one, with the index of each channel's passes and without it.
//
//   build/bench/store_bench [--benchmark_filter=...]
// The filled databases are cached in $QUILLON_BENCH_DIR (default /tmp/quillon-bench).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench_database.h"
#include "feeds/feed_store.h"
#include "feeds/feed_storer.h"
#include "feeds/rss_reader.h"
#include "model/news_age.h"
#include "store/ado_recordset.h"
#include "store/automation_date.h"
#include "store/news_rules.h"
#include "store/source_status.h"
#include "store/sql_transaction.h"
#include "store/statements.h"

namespace {

std::string BenchFolder() {
    const char* folder = std::getenv("QUILLON_BENCH_DIR");
    return folder ? folder : "/tmp/quillon-bench";
}

// A 100-item feed whose titles start with `prefix`, written where a reader loads it.
std::string WriteFeed(const std::string& folder, const std::string& prefix) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel>"
        "<title>bench</title><link>http://bench.test/</link>";
    for (int i = 0; i < 100; ++i) {
        feed += "<item><title>" + prefix + " 新闻 " + std::to_string(i) +
                "</title><link>http://bench.test/" + std::to_string(i) +
                "</link><description>&lt;p&gt;" + std::string(500, 'x') +
                "&lt;/p&gt;</description><author>记者</author>"
                "<pubDate>Wed, 02 Oct 2002 13:00:00 GMT</pubDate></item>";
    }
    feed += "</channel></rss>";
    const std::string path = folder + "/feed.xml";
    std::ofstream(path, std::ios::trunc) << feed;
    return path;
}

// Twenty rules of every kind on every channel, that each match about one item in ten or none
// (the feed's items hold 新闻 and their round and number).
const NewsRuleSet& BenchRules() {
    static const NewsRuleSet rules = [] {
        std::vector<NewsRule> list;
        for (int i = 0; i < 20; ++i) {
            NewsRule rule;
            rule.words = {i % 2 == 0 ? std::to_string(i) : "没有" + std::to_string(i), "彩票"};
            rule.match = i == 19 ? RuleMatch::kNone : RuleMatch::kAny;
            rule.action = static_cast<RuleAction>(i % 4);
            rule.colour = "#ffc0c0";
            if (i == 19) {
                rule.words = {"新闻"};
            }
            list.push_back(rule);
        }
        return NewsRuleSet(std::move(list), {});
    }();
    return rules;
}

void StoreOneFeed(benchmark::State& state, bool duplicates, const NewsRuleSet* rules = nullptr) {
    const std::string folder = BenchFolder() + "/store-" + std::to_string(state.range(0));
    PrefilledDatabase(BenchFolder(), static_cast<int>(state.range(0)));
    std::filesystem::create_directories(folder + "/data");
    std::filesystem::rename(BenchFolder() + "/data/data.dat", folder + "/data/data.dat");
    CFeedStore store(folder);
    if (!store.Open()) {
        state.SkipWithError("cannot open the database");
        return;
    }
    Pacing noPauses;
    noPauses.SetEnabled(false);
    int round = 0;
    const std::string fixedFeed = WriteFeed(folder, "duplicate");
    if (duplicates) {
        CRssReader reader;
        reader.LoadFromUrl(fixedFeed, AddressOrigin::kTypedByUser);
        StoreFeed(store, reader, "bench", noPauses, Pacing::Duration(0));
    }
    for (auto _ : state) {
        state.PauseTiming();
        CRssReader reader;
        reader.LoadFromUrl(
            duplicates ? fixedFeed : WriteFeed(folder, "round " + std::to_string(round++)),
            AddressOrigin::kTypedByUser);
        state.ResumeTiming();
        const StoreOutcome outcome =
            StoreFeed(store, reader, "bench", noPauses, Pacing::Duration(0), nullptr, rules);
        benchmark::DoNotOptimize(outcome);
    }
    state.SetItemsProcessed(state.iterations() * 100);
}

void BM_StoreNewItems(benchmark::State& state) {
    StoreOneFeed(state, false);
}
void BM_StoreDuplicateItems(benchmark::State& state) {
    StoreOneFeed(state, true);
}
// The same through twenty rules, matched in memory as each item is stored.
void BM_StoreNewItemsThroughRules(benchmark::State& state) {
    StoreOneFeed(state, false, &BenchRules());
}

BENCHMARK(BM_StoreNewItems)->Arg(0)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreNewItemsThroughRules)
    ->Arg(0)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreDuplicateItems)
    ->Arg(0)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

class MillionItems : public benchmark::Fixture {
public:
    void SetUp(benchmark::State&) override {
        if (!m_store) {
            PrefilledDatabase(BenchFolder(), 1'000'000);
            m_store = std::make_unique<CFeedStore>(BenchFolder());
            m_store->Open();
            DateDaysBefore(30, &m_cutoff.year, &m_cutoff.month, &m_cutoff.day);
        }
    }

protected:
    static std::unique_ptr<CFeedStore> m_store;
    static AccessDate m_cutoff;
};
std::unique_ptr<CFeedStore> MillionItems::m_store;
AccessDate MillionItems::m_cutoff;

// The tree's count of a channel's recent items.
BENCHMARK_F(MillionItems, CountStatement)(benchmark::State& state) {
    const std::string sql = SqlCountRecentItems("bench", m_cutoff);
    int count = 0;
    for (auto _ : state) {
        CAdoRecordset records(*m_store);
        records.Open(sql);
        count = records.GetRecordCount();
    }
    state.counters["recent items"] = count;
}

// The channel list, newest first, read as the list reads it: up to 1001 rows with four
// columns bound by name once.
BENCHMARK_F(MillionItems, ListStatement1001Rows)(benchmark::State& state) {
    const std::string sql = SqlSelectRecentItems("bench", m_cutoff);
    int rows = 0;
    for (auto _ : state) {
        CAdoRecordset records(*m_store);
        records.Open(sql);
        char title[512] = {};
        char author[512] = {};
        char source[512] = {};
        CAdoDateValue date;
        records.BindColumnByName("rss_title", title, sizeof title, kBindText);
        records.BindColumnByName("rss_author", author, sizeof author, kBindText);
        records.BindColumnByName("rss_source", source, sizeof source, kBindText);
        records.BindColumnByName("rss_pubDate", &date, sizeof date, kBindDate);
        rows = 0;
        for (; !records.IsEOF() && rows <= 1000; records.MoveNext()) {
            records.Fetch();
            benchmark::DoNotOptimize(title);
            ++rows;
        }
        records.Close();
    }
    state.counters["rows"] = rows;
}

// 500 channels of 21 sources each (10 500 rows), of which the last pass took 14.
class SourceRows : public benchmark::Fixture {
public:
    void SetUp(benchmark::State& state) override {
        const bool indexed = state.range(0) != 0;
        if (m_store && m_indexed == indexed) {
            return;
        }
        m_store.reset();
        const std::string folder = BenchFolder() + "/sources";
        MakeDataFolder(folder);
        PrefilledDatabase(folder, 0);
        m_store = std::make_unique<CFeedStore>(folder);
        m_store->Open();
        std::string failure;
        for (int channel = 0; channel < 500; ++channel) {
            for (int source = 0; source < 21; ++source) {
                SourceStatus status;
                status.channel = "频道 " + std::to_string(channel);
                status.address =
                    "http://feeds.test/" + std::to_string(channel) + "/" + std::to_string(source);
                status.outcome = source % 5 == 0 ? SourceOutcome::kHttpError : SourceOutcome::kOk;
                status.passTime = source < 14 ? "2024-06-15T12:00:00Z" : "2024-06-14T12:00:00Z";
                if (failure.empty() && !SaveSourceStatus(*m_store, status, &failure)) {
                    state.SkipWithError(("cannot write the sources: " + failure).c_str());
                }
            }
        }
        if (!indexed && m_store->Execute("drop index source_status_by_pass") < 0) {
            state.SkipWithError("cannot drop the index of passes");
        }
        m_indexed = indexed;
    }

protected:
    static std::unique_ptr<CFeedStore> m_store;
    static bool m_indexed;
};
std::unique_ptr<CFeedStore> SourceRows::m_store;
bool SourceRows::m_indexed = false;

BENCHMARK_DEFINE_F(SourceRows, LatestOfEveryChannel)(benchmark::State& state) {
    std::size_t channels = 0;
    for (auto _ : state) {
        channels = LoadLatestSourceStatus(*m_store).value_or(SourcesByChannel()).size();
    }
    state.counters["channels"] = static_cast<double>(channels);
}
BENCHMARK_REGISTER_F(SourceRows, LatestOfEveryChannel)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(SourceRows, LatestOfOneChannel)(benchmark::State& state) {
    std::size_t sources = 0;
    for (auto _ : state) {
        const SourcesByChannel one =
            LoadLatestSourceStatus(*m_store, {"频道 250"}).value_or(SourcesByChannel());
        sources = one.empty() ? 0 : one.begin()->second.size();
    }
    state.counters["sources"] = static_cast<double>(sources);
}
BENCHMARK_REGISTER_F(SourceRows, LatestOfOneChannel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
