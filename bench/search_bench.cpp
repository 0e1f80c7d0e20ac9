// Searching the stored news, and what the read state and the search index cost, over a big
// collection of a million items (bench/big_collection.h, text from bench/news_text.h):
//   * a search as the window runs it (the list's loader, up to 1001 rows read) for a word of
//     two Chinese characters, a phrase of six, an English word, a single very common
//     character and two words together;
//   * the search statement alone for those and a common English word, with word parts left
//     prefix queries and spelled out as the index's terms, checked to list the same items;
//   * the index's share of the database file;
//   * cutting text into the index's terms, with Traditional Chinese folded and without;
//   * storing 5000 new items (50 feeds of 100) with the index and without it;
//   * bringing a file of the build before the search (schema version 4) up to date, and
//     indexing its items behind the window;
//   * marking a folder of about 10 000 unread items read;
//   * the tree's grouped count statement, with every item unread.
//
//   build/bench/search_bench [--benchmark_filter=...]
// The databases are filled once and cached in $QUILLON_BENCH_DIR/search (default
// /tmp/quillon-bench/search); filling takes minutes. CPU times count every thread of the
// process (a search runs on the list's loader thread), wall times also the waits for a busy
// machine and the disk.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "big_collection.h"
#include "feeds/feed_store.h"
#include "feeds/feed_storer.h"
#include "feeds/rss_reader.h"
#include "feeds/search_indexer.h"
#include "model/news_age.h"
#include "model/news_loader.h"
#include "news_text.h"
#include "store/ado_recordset.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/search_words.h"
#include "store/statements.h"

namespace {

constexpr int kItems = 1'000'000;

std::string BenchFolder(const std::string& name) {
    const char* folder = std::getenv("QUILLON_BENCH_DIR");
    return std::string(folder ? folder : "/tmp/quillon-bench") + "/search/" + name;
}

// The million-item collection of the current schema, opened once for the whole run.
CFeedStore& Store() {
    static const std::string folder = [] {
        MakeBigCollection(BenchFolder("current"), kItems);
        return BenchFolder("current");
    }();
    static CFeedStore store(folder);
    if (!store.IsOpen() && store.Open()) {
        // A file of the schema before the table of words reads them from its index first, as
        // the window's indexer does behind it.
        const auto start = std::chrono::steady_clock::now();
        int terms = 0;
        for (int read = 0; (read = FillSearchWords(store, CSearchIndexer::kWordBatch)) > 0;) {
            terms += read;
        }
        if (terms > 0) {
            std::fprintf(
                stderr, "read the words of %d terms of the index in %.2f s\n", terms,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
    }
    return store;
}

void Search(benchmark::State& state, const std::string& typed) {
    CFeedStore& store = Store();
    int rows = 0;
    for (auto _ : state) {
        CNewsList list(store);
        list.pacing().SetEnabled(false);
        list.RequestSearch(typed);
        list.WaitUntilIdle();
        rows = list.RowCount();
    }
    state.counters["rows"] = rows;
}

BENCHMARK_CAPTURE(Search, TwoCharacterWord, std::string(NewsTextMaker::kTwoCharacterWord))
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, SixCharacterPhrase, std::string(NewsTextMaker::kSixCharacterPhrase))
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, EnglishWord, std::string(NewsTextMaker::kEnglishWord))
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, CommonCharacter, std::string("的"))
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, TwoPartsTogether, std::string(NewsTextMaker::kTwoCharacterWord) + " 的")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, EnglishPrefix, std::string("foot"))
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, CommonEnglishWord, NewsTextMaker(0).CommonEnglishWord())
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, OneLetter, std::string("k"))
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The IDs the search statement for `match` lists.
std::vector<std::int32_t> SearchIds(CFeedStore& store, const std::string& match) {
    std::vector<std::int32_t> ids;
    CAdoRecordset records(store);
    records.Open(SqlSearchItems(match, CNewsList::kChannelRowLimit + 1));
    std::int32_t id = 0;
    records.BindColumnByName("ID", &id, sizeof id, kBindNumber);
    for (; !records.IsEOF(); records.MoveNext()) {
        records.Fetch();
        ids.push_back(id);
    }
    return ids;
}

// The statement for a search, with the typed text's word parts left prefix queries (arg 0)
// or spelled out from the index's words, as a search runs it (arg 1, reading the words
// included). The counter "phrases" is how many phrases the spelled-out query ORs together.
void SearchStatement(benchmark::State& state, const std::string& typed) {
    CFeedStore& store = Store();
    const bool spelled = state.range(0) != 0;
    std::vector<std::int32_t> ids;
    for (auto _ : state) {
        ids = SearchIds(store, spelled ? SpelledOutMatchExpression(store, typed)
                                       : SearchMatchExpression(typed));
    }
    if (spelled && ids != SearchIds(store, SearchMatchExpression(typed))) {
        state.SkipWithError("the spelled-out query lists other items than the prefix query");
    }
    state.counters["rows"] = static_cast<double>(ids.size());
    const std::string spelledOut = SpelledOutMatchExpression(store, typed);
    std::size_t phrases = 1;
    for (std::size_t at = spelledOut.find(" OR "); at != std::string::npos;
         at = spelledOut.find(" OR ", at + 4)) {
        ++phrases;
    }
    state.counters["phrases"] = static_cast<double>(phrases);
}

#define SEARCH_STATEMENT(name, typed) \
    BENCHMARK_CAPTURE(SearchStatement, name, typed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)

SEARCH_STATEMENT(TwoCharacterWord, std::string(NewsTextMaker::kTwoCharacterWord));
SEARCH_STATEMENT(SixCharacterPhrase, std::string(NewsTextMaker::kSixCharacterPhrase));
SEARCH_STATEMENT(CommonCharacter, std::string("的"));
SEARCH_STATEMENT(EnglishWord, std::string(NewsTextMaker::kEnglishWord));
SEARCH_STATEMENT(CommonEnglishWord, NewsTextMaker(0).CommonEnglishWord());
SEARCH_STATEMENT(EnglishPrefix, std::string("foot"));
SEARCH_STATEMENT(OneLetter, std::string("k"));
// The planted words never share an item, so the mixed query pairs the English prefix with the
// commonest character, which stands in most items.
SEARCH_STATEMENT(Mixed, std::string("的 foot"));

long long QueryNumber(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    long long value = -1;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

// The index's pages against the whole file.
void IndexSize(benchmark::State& state) {
    CFeedStore& store = Store();
    const std::string path = store.DataPath("data/data.dat");
    for (auto _ : state) {
    }
    const long long total = QueryNumber(path, "SELECT sum(pgsize) FROM dbstat");
    const long long index =
        QueryNumber(path, "SELECT sum(pgsize) FROM dbstat WHERE name LIKE 'item_search%'");
    state.counters["file MB"] = static_cast<double>(total) / 1e6;
    state.counters["index MB"] = static_cast<double>(index) / 1e6;
    state.counters["index share %"] =
        100.0 * static_cast<double>(index) / static_cast<double>(total);
}
BENCHMARK(IndexSize)->Iterations(1);

// Cutting 1000 items' titles and descriptions into the terms the index stores, with
// Traditional Chinese folded to Simplified (arg 1) or left as it is (arg 0): what the fold
// adds to indexing an item, on the bench's news text and on a Traditional paragraph.
void CutSearchTerms(benchmark::State& state, bool traditional) {
    NewsTextMaker maker(5);
    std::vector<std::string> texts;
    std::size_t bytes = 0;
    for (int i = 0; i < 1000; ++i) {
        texts.push_back(traditional ? "臺灣經濟發展後，國際貿易與網路產業的競爭愈來愈激烈。" +
                                          std::to_string(i) + " 這些變化對於傳統製造業的影響"
                                    : maker.Title() + "\n" + maker.Description());
        bytes += texts.back().size();
    }
    std::optional<CUnfoldedChineseTerms> unfolded;
    if (state.range(0) == 0) {
        unfolded.emplace();
    }
    std::size_t terms = 0;
    for (auto _ : state) {
        for (const std::string& text : texts) {
            ForEachSearchTerm(text, SearchTermMode::kStored, [&](const SearchTerm& term) {
                terms += term.text.size();
                return true;
            });
        }
    }
    benchmark::DoNotOptimize(terms);
    state.SetItemsProcessed(state.iterations() * 1000);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK_CAPTURE(CutSearchTerms, NewsText, false)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CutSearchTerms, Traditional, true)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A feed of 100 new items of news text, written where a reader loads it.
std::string WriteFeed(const std::string& folder, int round, NewsTextMaker& text) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel>"
        "<title>bench</title><link>http://bench.test/</link>";
    for (int i = 0; i < 100; ++i) {
        feed += "<item><title>" + text.Title() + " " + std::to_string(round) + "-" +
                std::to_string(i) + "</title><link>http://bench.test/" + std::to_string(i) +
                "</link><description><![CDATA[" + text.Description() +
                "]]></description><author>记者</author>"
                "<pubDate>Wed, 02 Oct 2002 13:00:00 GMT</pubDate></item>";
    }
    feed += "</channel></rss>";
    const std::string path = folder + "/feed-" + std::to_string(round % 50) + ".xml";
    std::ofstream(path, std::ios::trunc) << feed;
    return path;
}

// 5000 new items, 50 feeds of 100 stored as the storing threads store them, into the
// million-item collection, with the index (arg 1: stored items are queued for it) or without
// (arg 0: its triggers dropped). The counter "indexing ms" is what the indexer thread then
// spends taking the 5000 queued items into the index, in its batches, away from the storing.
void Store5000Items(benchmark::State& state) {
    const bool withIndex = state.range(0) != 0;
    const std::string folder = BenchFolder(withIndex ? "store-indexed" : "store-unindexed");
    MakeBigCollection(folder, kItems);
    CFeedStore store(folder);
    if (!store.Open()) {
        state.SkipWithError("cannot open the database");
        return;
    }
    if (!withIndex) {
        for (const char* trigger :
             {"item_search_insert", "item_search_delete", "item_search_update"}) {
            store.Execute(std::string("drop trigger ") + trigger);
        }
    }
    Pacing noPauses;
    noPauses.SetEnabled(false);
    NewsTextMaker text(3);
    int round = 0;
    std::chrono::steady_clock::duration indexing{};
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::unique_ptr<CRssReader>> readers;
        for (int feed = 0; feed < 50; ++feed) {
            readers.push_back(std::make_unique<CRssReader>());
            readers.back()->LoadFromUrl(WriteFeed(folder, round++, text),
                                        AddressOrigin::kTypedByUser);
        }
        state.ResumeTiming();
        for (auto& reader : readers) {
            const StoreOutcome outcome =
                StoreFeed(store, *reader, "bench", noPauses, Pacing::Duration(0));
            benchmark::DoNotOptimize(outcome);
        }
        state.PauseTiming();
        const auto start = std::chrono::steady_clock::now();
        while (withIndex && IndexQueuedSearchItems(store, CSearchIndexer::kBatch) > 0) {
        }
        indexing += std::chrono::steady_clock::now() - start;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 5000);
    state.counters["indexing ms"] = std::chrono::duration<double, std::milli>(indexing).count() /
                                    static_cast<double>(state.iterations());
}
BENCHMARK(Store5000Items)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// A file of the build before the read state and the search (100 000 or a million items) opened
// as the window opens it: its items are marked read and queued for the index, until the
// window can be used. The counter "indexing s" is what the indexer then spends taking the
// queue into the index behind the window, in its batches.
void UpgradeOldFile(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    const std::string folder = BenchFolder("upgrade-" + std::to_string(items));
    double indexing = 0;
    for (auto _ : state) {
        state.PauseTiming();
        MakeBigCollection(folder, items, QUILLON_SCHEMA_V4_PATH);
        state.ResumeTiming();
        CFeedStore store(folder);
        if (!store.Open()) {
            state.SkipWithError("cannot open the database");
            return;
        }
        state.PauseTiming();
        const auto start = std::chrono::steady_clock::now();
        while (IndexQueuedSearchItems(store, CSearchIndexer::kBatch) > 0) {
        }
        indexing = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.ResumeTiming();
    }
    state.counters["indexing s"] = indexing;
}
BENCHMARK(UpgradeOldFile)
    ->Arg(100'000)
    ->Arg(kItems)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The channels of folder 0 whose items, all unread, add up to about 10 000.
std::vector<std::string> TenThousandItemFolder(CFeedStore& store, long long* items) {
    std::vector<std::string> names;
    *items = 0;
    for (int channel = 0; channel < BigCollection::kChannelsPerFolder && *items < 10000;
         ++channel) {
        names.push_back(BigCollectionChannelName(0, channel));
        CAdoRecordset records(store);
        records.Open(SqlSelectRecentItems(names.back(), {1900, 1, 1}));
        *items += records.GetRecordCount();
    }
    return names;
}

void MarkFolderRead(benchmark::State& state) {
    CFeedStore& store = Store();
    long long items = 0;
    const std::vector<std::string> names = TenThousandItemFolder(store, &items);
    std::string channels;
    for (const std::string& name : names) {
        channels += (channels.empty() ? "'" : ", '") + name + "'";
    }
    const std::string unread =
        "insert or ignore into item_unread select ID, rss_channelID, rss_pubDate from item where "
        "rss_channelID in (select ID from channel where rss_title in (" +
        channels + "))";
    for (auto _ : state) {
        state.PauseTiming();
        store.Execute(unread);
        state.ResumeTiming();
        const int marked = store.Execute(SqlMarkChannelsRead(names));
        state.counters["items marked"] = marked;
    }
    state.counters["folder items"] = static_cast<double>(items);
    store.Execute(unread);
}
BENCHMARK(MarkFolderRead)->Iterations(5)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The count refresher's one grouped statement: every channel's recent and unread counts.
void CountRecentAndUnread(benchmark::State& state) {
    CFeedStore& store = Store();
    AccessDate cutoff;
    DateDaysBefore(BigCollection::kRetentionDays, &cutoff.year, &cutoff.month, &cutoff.day);
    int channels = 0;
    for (auto _ : state) {
        CAdoRecordset records(store);
        records.Open(SqlCountRecentItemsByChannel(cutoff));
        channels = 0;
        for (; !records.IsEOF(); records.MoveNext()) {
            ++channels;
        }
    }
    state.counters["channels"] = channels;
}
BENCHMARK(CountRecentAndUnread)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
