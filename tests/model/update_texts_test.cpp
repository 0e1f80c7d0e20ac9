#include "model/update_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SourceStatus Source(const char* service, SourceOutcome outcome) {
    SourceStatus status;
    status.service = service;
    status.outcome = outcome;
    return status;
}

}  // namespace

TEST(UpdateTexts, AddressesShowTheirEscapedCharactersDecoded) {
    const struct {
        const char* address;
        const char* shown;
    } cases[] = {
        {"http://a.test/s?q=%E5%A4%A9%E6%B0%94&n=1", "http://a.test/s?q=天气&n=1"},
        // GBK, as a service that reads its words so is asked.
        {"http://a.test/s?word=%CC%EC%C6%F8", "http://a.test/s?word=天气"},
        // Escaped ASCII keeps the address's meaning: "a&b" is one word.
        {"http://a.test/s?q=a%26b%20c", "http://a.test/s?q=a%26b%20c"},
        // Escapes that are no text at all, and broken ones, stay as they are.
        {"http://a.test/%FF%FE%FD", "http://a.test/%FF%FE%FD"},
        {"http://a.test/100%", "http://a.test/100%"},
        {"http://a.test/%zz%E5", "http://a.test/%zz%E5"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(DisplayAddress(test.address), test.shown) << test.address;
    }
}

TEST(UpdateTexts, EveryHttpStatusHasWords) {
    EXPECT_EQ(OutcomeText(SourceOutcome::kHttpError, 500), "服务器内部错误（HTTP 500）");
    EXPECT_EQ(OutcomeText(SourceOutcome::kHttpError, 404), "找不到该页面（HTTP 404）");
    EXPECT_EQ(HttpStatusText(418), "请求被拒绝（HTTP 418）");
    EXPECT_EQ(HttpStatusText(599), "服务器错误（HTTP 599）");
    EXPECT_EQ(HttpStatusText(304), "重定向没有完成（HTTP 304）");
    EXPECT_EQ(HttpStatusText(204), "服务器的回答无法使用（HTTP 204）");
}

TEST(UpdateTexts, TheTooltipShowsSourcesDecodedAndInWords) {
    SourceStatus failed = Source("", SourceOutcome::kHttpError);
    failed.address = "http://a.test/rss?q=%E8%B6%B3%E7%90%83";
    failed.httpStatus = 503;
    EXPECT_EQ(NodeTooltip("足球", 3, 1, {failed}),
              "足球\n最近新闻：共 3 条，未读 1 条\n订阅 "
              "http://a.test/rss?q=足球：服务暂时不可用（HTTP 503）");
}

TEST(UpdateTexts, TheSummaryNamesUpToThreeFailingChannels) {
    UpdateTally tally;
    tally.newItems = 37;
    EXPECT_EQ(UpdateSummaryText(tally), "更新完成：新增 37 条新闻");
    tally.failedSources = 6;
    tally.reachedSources = 2;
    for (const char* channel : {"足球", "weather", "WEATHER", "天气"}) {
        tally.NoteFailingChannel(channel);
    }
    EXPECT_EQ(UpdateSummaryText(tally),
              "更新完成：新增 37 条新闻，6 个来源失败（足球、weather、天气）");
    tally.NoteFailingChannel("财经");
    EXPECT_EQ(UpdateSummaryText(tally),
              "更新完成：新增 37 条新闻，6 个来源失败（足球、weather、天气 等）");
}

// Another search service is suggested only where the network answered at all.
TEST(UpdateTexts, WithoutAnyConnectionTheSummarySaysSoInsteadOfSuggestingAService) {
    UpdateTally tally;
    tally.searchTried = 5;
    tally.failedSources = 5;
    tally.searchFailure = SourceOutcome::kNetworkError;
    EXPECT_EQ(SilentServiceText(tally),
              "无法连接：没有一个新闻源或搜索服务能够连接，请检查网络连接后再更新");
    tally.reachedSources = 1;  // a subscribed feed answered
    EXPECT_EQ(SilentServiceText(tally),
              "搜索服务“百度”没有提供新闻（无法连接），请在“帮助 → 系统设置”中选择其他搜索服务");
    tally.searchFed = 1;
    EXPECT_EQ(SilentServiceText(tally), "");
}

TEST(UpdateTexts, AFailingSubscribedFeedShowsTheMarkWhateverTheSearchFound) {
    using S = SourceOutcome;
    const struct {
        std::vector<SourceStatus> sources;
        bool marked;
    } cases[] = {
        {{}, false},
        {{Source("search.baidu", S::kOk), Source("", S::kOk)}, false},
        {{Source("search.baidu", S::kOk), Source("", S::kNotModified)}, false},
        {{Source("search.baidu", S::kOk), Source("", S::kHttpError)}, true},
        {{Source("search.baidu", S::kNetworkError)}, true},
        {{Source("search.baidu", S::kNetworkError), Source("search.baidu", S::kOk)}, false},
        {{Source("search.baidu", S::kNotAFeed), Source("", S::kGone)}, true},
        {{Source("search.baidu", S::kProxyError), Source("", S::kProxyError)}, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(FailureMarkShown(cases[i].sources), cases[i].marked) << i;
    }
}
