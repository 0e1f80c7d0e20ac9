#include "feeds/feed_probe.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/local_http_server.h"
#include "support/temp_data_folder.h"

namespace {

constexpr char kRss[] =
    "<rss "
    "version=\"2.0\"><channel><title>博客</title><item><title>一</title></item></channel></rss>";

std::string Page(const std::string& head) {
    return "<!DOCTYPE html><html><head><title>Site</title>" + head +
           "</head><body><p>hello</p></body></html>";
}

}  // namespace

// What an address turns out to be: a feed, a page announcing feeds, or why it is neither.
TEST(FeedProbe, TellsAFeedFromAPageThatAnnouncesFeedsAndFromNeither) {
    LocalHttpServer server;
    server.Serve("/rss", kRss);
    server.Serve("/json", ReadTestData("feeds/json_feed_11_zh.json"), "application/feed+json");
    server.Serve("/blog/post.html",
                 Page("<link rel=\"alternate\" type=\"application/rss+xml\" title=\"文章\" "
                      "href=\"../rss\"><link rel=\"alternate\" type=\"application/feed+json\" "
                      "href=\"" +
                      server.Url("/json") +
                      "\"><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/rss\">"
                      "<link rel=\"alternate\" hreflang=\"en\" href=\"/en/\">"
                      "<link rel=\"stylesheet\" type=\"text/css\" href=\"/s.css\">"),
                 "text/html");
    server.Serve("/plain.html", Page("<link rel=\"icon\" href=\"/i.png\">"), "text/html");
    server.Serve("/data.json", "{\"name\": \"not a feed\"}", "application/json");
    server.Serve("/text", "just some words", "text/plain");

    const FeedProbe rss = ProbeFeedAddress(server.Url("/rss"));
    EXPECT_EQ(rss.outcome, FeedProbeOutcome::kFeed);
    EXPECT_EQ(rss.format, "RSS 2.0");
    EXPECT_EQ(rss.title, "博客");
    EXPECT_EQ(rss.itemCount, 1);
    const FeedProbe json = ProbeFeedAddress(server.Url("/json"));
    EXPECT_EQ(json.format, "JSON Feed 1.1");
    EXPECT_EQ(json.title, "小林的技术笔记");

    // Relative addresses resolved against the page; each feed once, in the page's order.
    const FeedProbe page = ProbeFeedAddress(server.Url("/blog/post.html"));
    EXPECT_EQ(page.outcome, FeedProbeOutcome::kPage);
    EXPECT_EQ(page.candidates, (std::vector<FeedCandidate>{
                                   {server.Url("/rss"), "文章", "application/rss+xml"},
                                   {server.Url("/json"), "", "application/feed+json"},
                               }));

    EXPECT_EQ(ProbeFeedAddress(server.Url("/plain.html")).outcome,
              FeedProbeOutcome::kPageWithoutFeeds);
    EXPECT_EQ(ProbeFeedAddress(server.Url("/data.json")).outcome, FeedProbeOutcome::kNotAFeed);
    EXPECT_EQ(ProbeFeedAddress(server.Url("/text")).outcome, FeedProbeOutcome::kNotAFeed);

    const FeedProbe missing = ProbeFeedAddress(server.Url("/missing"));
    EXPECT_EQ(missing.outcome, FeedProbeOutcome::kUnread);
    EXPECT_EQ(missing.document.failure, TypedDocumentFailure::kHttpStatus);
    EXPECT_EQ(missing.document.status, 404);
    const FeedProbe refused = ProbeFeedAddress("http://127.0.0.1:1/feed");
    EXPECT_EQ(refused.document.failure, TypedDocumentFailure::kUnreachable);
    const FeedProbe noFile = ProbeFeedAddress(TestDataPath("feeds/no-such-feed.xml"));
    EXPECT_EQ(noFile.document.failure, TypedDocumentFailure::kFileMissing);
    EXPECT_EQ(ProbeFeedAddress(TestDataPath("feeds/atom.xml")).format, "Atom 1.0");
}
