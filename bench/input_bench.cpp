// What hostile, broken or old input costs, and reading the feed formats.
//
//   build/bench/input_bench [--benchmark_filter=...]
// The filled databases are cached in $QUILLON_BENCH_DIR (default /tmp/quillon-bench).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench_database.h"
#include "feeds/feed_date.h"
#include "feeds/feed_store.h"
#include "feeds/rss_reader.h"
#include "xml/xml_document.h"

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

std::string AtomFeedOf(int entries) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">"
        "<title>t</title><link href=\"http://atom.test/\"/><author><name>编辑</name></author>";
    for (int i = 0; i < entries; ++i) {
        const std::string n = std::to_string(i);
        feed += "<entry><title>新闻 " + n +
                "</title><link rel=\"alternate\" href=\"http://atom.test/" + n +
                "\"/><id>tag:atom.test," + n + "</id><published>2010-04-07T08:00:00Z</published>" +
                "<category term=\"c\"/><content type=\"xhtml\"><div " +
                "xmlns=\"http://www.w3.org/1999/xhtml\"><p>" + std::string(500, 'x') +
                "</p></div></content></entry>";
    }
    return feed + "</feed>";
}

std::string JsonFeedOf(int items) {
    std::string feed = R"({"version":"https://jsonfeed.org/version/1.1","title":"t",)"
                       R"("authors":[{"name":"编辑"}],"items":[)";
    for (int i = 0; i < items; ++i) {
        const std::string n = std::to_string(i);
        feed += (i ? "," : "") + std::string(R"({"id":"tag:json.test,)") + n +
                R"(","url":"http://json.test/)" + n + R"(","title":"新闻 )" + n +
                R"(","date_published":"2010-04-07T08:00:00Z","tags":["c"],"content_html":"<p>)" +
                std::string(500, 'x') + "</p>\"}";
    }
    return feed + "]}";
}

// An RSS 2.0 feed that is not XML: blank lines before the declaration, and in every item a bare
// "&" and HTML's entities.
std::string BrokenFeedOf(int items) {
    std::string feed =
        "\n\n<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>t</title>";
    for (int i = 0; i < items; ++i) {
        feed += "<item><title>新闻&nbsp;" + std::to_string(i) + " & more</title><description>" +
                std::string(500, 'x') +
                "&copy;&mdash;</description><pubDate>2010-04-07</pubDate>"
                "</item>";
    }
    return feed + "</channel></rss>";
}

// A feed as the engine takes it: loaded (here from a local file), then every item read into a
// record.
void ReadWholeFeed(benchmark::State& state, const std::string& name, const std::string& feed) {
    std::filesystem::create_directories(BenchFolder());
    const std::string path = BenchFolder() + "/" + name;
    std::ofstream(path, std::ios::binary) << feed;
    for (auto _ : state) {
        CRssReader reader;
        reader.LoadFromUrl(path, AddressOrigin::kTypedByUser);
        if (reader.ItemCount() != state.range(0)) {
            state.SkipWithError("the feed did not read");
            return;
        }
        for (int i = 0; i < reader.ItemCount(); ++i) {
            CRssItem item;
            reader.ReadItem(i, &item);
            benchmark::DoNotOptimize(item);
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(feed.size()));
}

void BM_ReadRssFeed(benchmark::State& state) {
    ReadWholeFeed(state, "rss.xml", FeedOf(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ReadRssFeed)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ReadAtomFeed(benchmark::State& state) {
    ReadWholeFeed(state, "atom.xml", AtomFeedOf(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ReadAtomFeed)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ReadJsonFeed(benchmark::State& state) {
    ReadWholeFeed(state, "feed.json", JsonFeedOf(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ReadJsonFeed)->Arg(100)->Unit(benchmark::kMillisecond);

// The failed strict reading, the mending and the reading in recovery mode.
void BM_ReadRecoveredFeed(benchmark::State& state) {
    ReadWholeFeed(state, "broken.xml", BrokenFeedOf(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ReadRecoveredFeed)->Arg(100)->Unit(benchmark::kMillisecond);

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
