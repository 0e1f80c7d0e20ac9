#include "feeds/search_url.h"

#include <gtest/gtest.h>

#include <vector>

#include "feeds/services_config.h"

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
