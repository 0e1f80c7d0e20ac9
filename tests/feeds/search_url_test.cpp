#include "feeds/search_url.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <vector>

#include "base/charset.h"
#include "base/text_util.h"
#include "feeds/pass_plan.h"
#include "feeds/rss_reader.h"
#include "feeds/services_config.h"
#include "support/local_http_server.h"

namespace {

class SearchUrl : public ::testing::Test {
protected:
    void SetUp() override {
        Services().Parse(
            "search.baidu = http://b.test\n"
            "search.google = http://g.test:8080\n"
            "search.yahoo = http://y.test\n"
            "search.sogou = http://s.test\n");
    }
    void TearDown() override { Services().Parse(""); }
};

}  // namespace

TEST_F(SearchUrl, BuildsTheFourQueryShapes) {
    struct Case {
        int page;
        int perPage;
        int engine;
        const char* word;
        const char* expected;
    };
    const Case cases[] = {
        {0, 20, 0, "abc",
         "http://b.test/ns?word= abc &ie=gb2312&cl=&rn=020&ct=0&tn=newsrss&class=0"},
        {2, 50, 0, "W", "http://b.test/ns?word= W &ie=gb2312&cl=&rn=050&ct=2&tn=newsrss&class=0"},
        {4, 7, 1, "足球",
         "http://g.test:8080/news?hl=zh-CN&q=足球&lr=&tab=wn&ie=UTF-8&scoring=d&output=rss"},
        {3, 50, 2, "x", "http://y.test/searchrss.html?p=x&pid=yisou&b=3&sort=t"},
        {0, 50, 3, "y", "http://s.test/xml?query=y&page=0&&time=0&sort=1&"},
        // Unchecked settings go in as they are; the word is inserted byte for byte.
        {-1, -5, 0, "a b&c#d",
         "http://b.test/ns?word= a b&c#d &ie=gb2312&cl=&rn=0-5&ct=-1&tn=newsrss&class=0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildSearchUrl(c.page, c.perPage, c.engine, c.word), c.expected);
    }
}

TEST_F(SearchUrl, GoogleIgnoresPageAndItemsPerPage) {
    const std::string first = BuildSearchUrl(0, 50, kEngineGoogle, "k");
    for (int page = 0; page < 5; ++page) {
        EXPECT_EQ(BuildSearchUrl(page, page * 10, kEngineGoogle, "k"), first);
    }
}

// An index from a damaged setting never reuses another keyword's address: the news found
// would be filed under the wrong channel.
TEST_F(SearchUrl, AnUnknownEngineSearchesWithEngineZero) {
    BuildSearchUrl(1, 50, kEngineYahoo, "prev");
    for (int engine : {7, -1, 4, 2147483647}) {
        EXPECT_EQ(BuildSearchUrl(2, 30, engine, "other"),
                  BuildSearchUrl(2, 30, kEngineBaidu, "other"))
            << engine;
    }
}

TEST_F(SearchUrl, OnlySogouSearchesAskForTheirWordsInGbk) {
    EXPECT_TRUE(ExpectsGbkQuery(BuildSearchUrl(0, 50, kEngineSogou, "足球")));
    for (int engine : {kEngineBaidu, kEngineGoogle, kEngineYahoo}) {
        EXPECT_FALSE(ExpectsGbkQuery(BuildSearchUrl(0, 50, engine, "足球"))) << engine;
    }
    EXPECT_FALSE(ExpectsGbkQuery("http://feeds.test/xml?query=x"));
}

TEST_F(SearchUrl, KeywordsLongerThanTheOldBuffersAreKeptWhole) {
    const std::string word(500, 'k');
    EXPECT_NE(BuildSearchUrl(0, 50, kEngineSogou, word).find(word), std::string::npos);
}

TEST(ServicesConfigFile, DefaultsFillWhatTheFileLacksAndLinesNotUnderstoodAreHandedBack) {
    ServicesConfig config;
    const std::vector<ServicesConfig::BadLine> bad = config.Parse(
        "# comment line\n"
        "search.baidu = http://127.0.0.1:8080   # trailing comment\n"
        "\n"
        "search.google=https://g.test\n"
        "search.yahoo = http://y.test/with/path\n"
        "search.sogou = ftp://s.test\n"
        "unknown.key = http://u.test\n"
        "  no equals sign here\r\n"
        "site.publisher =\n");
    EXPECT_EQ(config.Base("search.baidu"), "http://127.0.0.1:8080");
    EXPECT_EQ(config.Base("search.google"), "https://g.test");
    EXPECT_EQ(config.Base("search.yahoo"), ServicesConfig().Base("search.yahoo"));
    EXPECT_EQ(config.Base("search.sogou"), ServicesConfig().Base("search.sogou"));
    EXPECT_EQ(config.Base("unknown.key"), "");
    EXPECT_TRUE(config.Base("site.publisher").starts_with("http://"));
    EXPECT_EQ(bad, (std::vector<ServicesConfig::BadLine>{
                       {5, "search.yahoo = http://y.test/with/path"},
                       {6, "search.sogou = ftp://s.test"},
                       {7, "unknown.key = http://u.test"},
                       {8, "no equals sign here"},
                       {9, "site.publisher ="},
                   }));
    EXPECT_TRUE(config.Parse("").empty());
    EXPECT_TRUE(config.LoadFile("/no/such/services.conf").empty());
}

TEST(ServicesConfigFile, ASearchServiceMayBeGivenAWholeAddressTemplate) {
    ServicesConfig config;
    const std::vector<ServicesConfig::BadLine> bad = config.Parse(
        "search.google = https://news.example/rss/search?q={word}&hl=zh-CN\n"
        "search.baidu = http://b.test:8080/ns?word={word}&rn={count}&pn={page}&again={word}\n"
        "search.yahoo = http://y.test/search?q=fixed&p={page}\n"
        "search.sogou = http://s.test/x?q={word}&p={pages}\n"
        "search.sogou = http://s.test/x?q={word\n"
        "search.sogou = http://s.test/x?q={word} &y=1\n"
        "search.sogou = http://s.test{word}\n"
        "portal.baidu = http://p.test/s?wd={word}\n");
    EXPECT_EQ(config.SearchTemplate("search.google"),
              "https://news.example/rss/search?q={word}&hl=zh-CN");
    EXPECT_EQ(config.Base("search.google"), "https://news.example");
    EXPECT_EQ(config.SearchTemplate("search.baidu"),
              "http://b.test:8080/ns?word={word}&rn={count}&pn={page}&again={word}");
    EXPECT_EQ(config.Base("search.baidu"), "http://b.test:8080");
    // Without {word} every channel would get the same results; an unknown or unclosed
    // placeholder, a blank or a template for anything but a search service is no template.
    for (const char* key : {"search.yahoo", "search.sogou", "portal.baidu"}) {
        EXPECT_EQ(config.SearchTemplate(key), "") << key;
        EXPECT_EQ(config.Base(key), ServicesConfig().Base(key)) << key;
    }
    std::vector<int> numbers;
    for (const ServicesConfig::BadLine& line : bad) {
        numbers.push_back(line.number);
    }
    EXPECT_EQ(numbers, (std::vector<int>{3, 4, 5, 6, 7, 8}));

    // A later host-only value brings the built-in address back.
    config.Parse(
        "search.google = https://news.example/rss/search?q={word}\n"
        "search.google = http://g.test\n");
    EXPECT_EQ(config.SearchTemplate("search.google"), "");
    EXPECT_EQ(config.Base("search.google"), "http://g.test");
}

TEST_F(SearchUrl, TemplatesAreExpandedWithTheWordInTheServicesEncoding) {
    Services().Parse(
        "search.baidu = http://b.test/ns?ie=gb2312&word={word}&rn={count}&pn={page}\n"
        "search.google = http://g.test/rss/search?q={word}&hl=zh-CN\n"
        "search.yahoo = http://y.test/rss?p={word}&b={page}&b2={page}\n"
        "search.sogou = http://s.test/news?query={word}&page={page}\n");
    struct Case {
        int engine;
        const char* word;
        const char* expected;
    };
    const Case cases[] = {
        {kEngineBaidu, "足球", "http://b.test/ns?ie=gb2312&word=%D7%E3%C7%F2&rn=20&pn=3"},
        {kEngineGoogle, "足球", "http://g.test/rss/search?q=%E8%B6%B3%E7%90%83&hl=zh-CN"},
        {kEngineSogou, "足球", "http://s.test/news?query=%D7%E3%C7%F2&page=3"},
        {kEngineYahoo, "a&b#c d+e%f=g", "http://y.test/rss?p=a%26b%23c%20d%2Be%25f%3Dg&b=3&b2=3"},
        // What a word puts in is never read as a placeholder.
        {kEngineGoogle, "{page}", "http://g.test/rss/search?q=%7Bpage%7D&hl=zh-CN"},
        // GB18030 holds every character; the word is never cut or replaced.
        {kEngineSogou, "😀", "http://s.test/news?query=%949%FC6&page=3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildSearchUrl(3, 20, c.engine, c.word), c.expected) << c.word;
    }
    // A template's own "ie" decides over the service's habit.
    Services().Parse("search.sogou = http://s.test/news?query={word}&ie=utf8\n");
    EXPECT_EQ(BuildSearchUrl(0, 20, kEngineSogou, "足球"),
              "http://s.test/news?query=%E8%B6%B3%E7%90%83&ie=utf8");
    EXPECT_FALSE(ExpectsGbkQuery(BuildSearchUrl(0, 20, kEngineSogou, "足球")));
}

// End to end, as the engine fetches it: the word comes back from the service as it was
// typed, whatever it holds and whichever encoding the service reads.
TEST_F(SearchUrl, ATemplatesWordReachesTheServiceIntact) {
    LocalHttpServer server;
    server.Handle("/search", [](const httplib::Request& request, httplib::Response& response) {
        std::string word = request.get_param_value("q");
        std::string utf8;
        if (request.get_param_value("enc") == "gbk" &&
            ConvertCharset("GB18030", "UTF-8", word, &utf8)) {
            word = utf8;
        }
        response.set_content("<rss><channel><title>" + request.get_param_value("hl") +
                                 "</title><item><title>" + EscapeMarkup(word) +
                                 "</title></item></channel></rss>",
                             "application/rss+xml");
    });
    const std::string query = server.BaseUrl() + "/search?";
    Services().Parse("search.baidu = " + query + "ie=gb2312&q={word}&hl=zh-CN&enc=gbk\n" +
                     "search.google = " + query + "q={word}&hl=zh-CN&enc=utf8\n" +
                     "search.yahoo = " + query + "ie=utf-8&hl=zh-CN&q={word}&enc=utf8\n" +
                     "search.sogou = " + query + "q={word}&enc=gbk&hl=zh-CN\n");
    for (int engine = 0; engine < 4; ++engine) {
        for (const std::string word : {"足球", "a&b#c d", "100%+=?/", "Rock 'n' Roll"}) {
            CRssReader reader;
            reader.LoadFromUrl(BuildSearchUrl(0, 50, engine, word), AddressOrigin::kFromData);
            ASSERT_EQ(reader.ItemCount(), 1) << engine << " " << word << ": " << reader.LastError();
            CRssItem item;
            reader.ReadItem(0, &item);
            EXPECT_EQ(std::string(item.title), word) << engine;
            EXPECT_EQ(std::string(reader.Channel().title), "zh-CN") << engine << " " << word;
        }
    }
}

// A pass asks each page of a service whose address takes a page, but a service whose address
// takes none (Google's, or a template without {page}) only once per channel.
TEST_F(SearchUrl, APassAsksAnAddressWithoutAPageOncePerChannel) {
    Services().Parse(
        "search.baidu = http://b.test/ns?word={word}&pn={page}\n"
        "search.google = http://g.test/rss/search?q={word}\n");
    const auto addresses = [](int engine) {
        std::vector<std::string> found;
        for (const PlannedSource& source : SearchPlan({"a", "b"}, 3, 20, engine)) {
            found.push_back(source.keyword + " " + std::to_string(source.page) + " " +
                            source.address);
        }
        return found;
    };
    EXPECT_EQ(addresses(kEngineGoogle), (std::vector<std::string>{
                                            "a 0 http://g.test/rss/search?q=a",
                                            "b 0 http://g.test/rss/search?q=b",
                                        }));
    EXPECT_EQ(addresses(kEngineBaidu).size(), 6u);
    EXPECT_EQ(addresses(kEngineBaidu)[5], "b 2 http://b.test/ns?word=b&pn=2");
}
