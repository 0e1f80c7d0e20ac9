#include "base/http_fetch.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "support/local_http_server.h"
#include "support/raw_http_server.h"

using namespace std::chrono_literals;

namespace {

std::string Gzip(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(compressBound(static_cast<uLong>(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

FetchOptions Quick() {
    FetchOptions options;
    options.limits.connectTimeout = 2s;
    options.limits.totalTimeout = 1500ms;
    return options;
}

}  // namespace

TEST(HttpFetch, FetchesABodyAndItsCharset) {
    LocalHttpServer server;
    server.Serve("/feed", "<rss/>", "text/xml; charset=\"GB2312\"");
    const FetchResult result = FetchUrl(server.Url("/feed"));
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.body, "<rss/>");
    EXPECT_EQ(result.charset, "GB2312");
    EXPECT_EQ(result.status, 200);
}

TEST(HttpFetch, ErrorStatusesAndOtherSchemesFail) {
    LocalHttpServer server;
    EXPECT_FALSE(FetchUrl(server.Url("/nothing-here")).ok);
    EXPECT_EQ(FetchUrl(server.Url("/nothing-here")).status, 404);
    EXPECT_FALSE(FetchUrl("file:///etc/passwd").ok);
    EXPECT_FALSE(FetchUrl("ftp://127.0.0.1/").ok);
    EXPECT_FALSE(FetchUrl("http://127.0.0.1:1/").ok);
}

TEST(HttpFetch, FollowsUpToFiveRedirectsAndNoMore) {
    LocalHttpServer server;
    server.Serve("/target", "arrived");
    for (int i = 0; i < 6; ++i) {
        const std::string next = i == 0 ? "/target" : "/hop" + std::to_string(i - 1);
        server.Handle("/hop" + std::to_string(i),
                      [next](const httplib::Request&, httplib::Response& response) {
                          response.set_redirect(next);
                      });
    }
    const FetchResult five = FetchUrl(server.Url("/hop4"));  // hop4 .. hop0, target: 5
    EXPECT_TRUE(five.ok) << five.error;
    EXPECT_EQ(five.body, "arrived");
    EXPECT_FALSE(FetchUrl(server.Url("/hop5")).ok);  // six redirects
}

TEST(HttpFetch, RedirectsToAnotherSchemeAreNotFollowed) {
    LocalHttpServer server;
    server.Handle("/to-file", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("file:///etc/passwd");
    });
    const FetchResult result = FetchUrl(server.Url("/to-file"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.body.empty());
}

TEST(HttpFetch, DecodesGzipBodies) {
    LocalHttpServer server;
    const std::string text(10000, 'z');
    server.Handle("/gz", [text](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Encoding", "gzip");
        response.set_content(Gzip(text), "application/xml");
    });
    const FetchResult result = FetchUrl(server.Url("/gz"));
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.body, text);
}

TEST(HttpFetch, RefusesBodiesOverTheCapAlsoWhenCompressed) {
    LocalHttpServer server;
    FetchOptions options;
    options.limits.maxBodyBytes = 64 * 1024;
    server.Serve("/big", std::string(100 * 1024, 'b'));
    const std::string bomb(1024 * 1024, 'x');  // about 1 KiB on the wire
    server.Handle("/bomb", [bomb](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Encoding", "gzip");
        response.set_content(Gzip(bomb), "application/xml");
    });
    server.Handle("/chunked", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/xml",
                                              [](size_t, httplib::DataSink& sink) {
                                                  const std::string block(8192, 'c');
                                                  for (int i = 0; i < 20; ++i) {
                                                      if (!sink.write(block.data(), block.size())) {
                                                          return false;
                                                      }
                                                  }
                                                  sink.done();
                                                  return true;
                                              });
    });
    for (const std::string path : {"/big", "/bomb", "/chunked"}) {
        const FetchResult result = FetchUrl(server.Url(path), options);
        EXPECT_FALSE(result.ok) << path;
        EXPECT_TRUE(result.body.empty()) << path;
    }
    server.Serve("/small", std::string(1000, 's'));
    EXPECT_TRUE(FetchUrl(server.Url("/small"), options).ok);
}

TEST(HttpFetch, ASlowServerTimesOut) {
    LocalHttpServer server;
    server.ServeSlowly("/slow", 10s, "late");
    const auto started = std::chrono::steady_clock::now();
    const FetchResult result = FetchUrl(server.Url("/slow"), Quick());
    EXPECT_FALSE(result.ok);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 8s);
}

TEST(HttpFetch, TheStopFlagAbandonsATransferInFlight) {
    LocalHttpServer server;
    server.ServeSlowly("/stall", 30s, "never");
    std::atomic<bool> stop{false};
    FetchOptions options;
    options.stop = &stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(300ms);
        stop = true;
    });
    const auto started = std::chrono::steady_clock::now();
    const FetchResult result = FetchUrl(server.Url("/stall"), options);
    const auto took = std::chrono::steady_clock::now() - started;
    stopper.join();
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.abandoned);
    EXPECT_LT(took, 5s);
}

TEST(WireUrl, EncodesTheWordAsItsServiceExpects) {
    // 足球 is D7 E3 C7 F2 in GBK and E8 B6 B3 E7 90 83 in UTF-8.
    EXPECT_EQ(ToWireUrl("http://baidu.test/ns?word= 足球 &ie=gb2312&cl="),
              "http://baidu.test/ns?word=%20%D7%E3%C7%F2%20&ie=gb2312&cl=");
    EXPECT_EQ(ToWireUrl("http://sogou.test/xml?query=足球&page=0", true),
              "http://sogou.test/xml?query=%D7%E3%C7%F2&page=0");
    EXPECT_EQ(ToWireUrl("http://google.test/news?q=足球&ie=UTF-8"),
              "http://google.test/news?q=%E8%B6%B3%E7%90%83&ie=UTF-8");
    // Already encoded addresses and the host part stay as they are.
    EXPECT_EQ(ToWireUrl("http://feeds.test/a%20b?x=1&y=<2>"),
              "http://feeds.test/a%20b?x=1&y=%3C2%3E");
    EXPECT_EQ(ToWireUrl("http://feeds.test"), "http://feeds.test");
}

TEST(WireUrl, AChineseWordReachesTheServerEncoded) {
    LocalHttpServer server;
    server.Serve("/ns", "<rss/>");
    FetchUrl(server.Url("/ns?word= 足球 &ie=gb2312&cl=&rn=050"));
    const auto targets = server.Targets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0], "/ns?word=%20%D7%E3%C7%F2%20&ie=gb2312&cl=&rn=050");
}

// A transfer that breaks off after the status line is a failed fetch, never the part of the
// document that arrived.
TEST(HttpFetch, AConnectionResetHalfwayFailsTheFetch) {
    const std::string half = "<rss><channel><title>half</title>" + std::string(5000, ' ');
    const std::string heads[] = {
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 100000\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nTransfer-Encoding: chunked\r\n\r\n"
        "1388\r\n",
    };
    for (const std::string& head : heads) {
        RawHttpServer server(head + half, RawHttpServer::Ending::kReset);
        const FetchResult result = FetchUrl(server.Url(), Quick());
        EXPECT_FALSE(result.ok) << head;
        EXPECT_EQ(result.status, 200) << head;
        EXPECT_TRUE(result.body.empty()) << head;
        EXPECT_FALSE(result.error.empty()) << head;
    }
}

namespace {

constexpr char kLastModified[] = "Wed, 21 Oct 2015 07:28:00 GMT";

// A document with validators: 304 when the request's If-None-Match or If-Modified-Since
// matches them, the document otherwise. Records the conditional headers it was sent.
void ServeWithValidators(LocalHttpServer& server, std::vector<std::string>* seen,
                         std::mutex* mutex) {
    server.Handle("/doc",
                  [seen, mutex](const httplib::Request& request, httplib::Response& response) {
                      const std::string etag = request.get_header_value("If-None-Match");
                      const std::string since = request.get_header_value("If-Modified-Since");
                      {
                          std::lock_guard lock(*mutex);
                          seen->push_back(etag + "|" + since + "|" +
                                          std::to_string(request.headers.count("X-Injected")));
                      }
                      if (etag == "\"v1\"" || since == kLastModified) {
                          response.status = 304;
                          return;
                      }
                      response.set_header("ETag", "\"v1\"");
                      response.set_header("Last-Modified", kLastModified);
                      response.set_content("<rss/>", "application/rss+xml");
                  });
}

}  // namespace

TEST(HttpFetchConditional, AnUnchangedDocumentIsToldApartFromAFailure) {
    LocalHttpServer server;
    std::mutex mutex;
    std::vector<std::string> seen;
    ServeWithValidators(server, &seen, &mutex);

    const FetchResult first = FetchUrl(server.Url("/doc"));
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.validators, (FetchValidators{"\"v1\"", kLastModified}));
    EXPECT_FALSE(first.notModified);

    FetchOptions conditional;
    conditional.conditional = first.validators;
    const FetchResult again = FetchUrl(server.Url("/doc"), conditional);
    EXPECT_TRUE(again.notModified);
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.status, 304);
    EXPECT_TRUE(again.body.empty());

    // Either validator alone is sent as it is; a stale one gets the document.
    conditional.conditional = {"", kLastModified};
    EXPECT_TRUE(FetchUrl(server.Url("/doc"), conditional).notModified);
    conditional.conditional = {"\"v0\"", ""};
    const FetchResult stale = FetchUrl(server.Url("/doc"), conditional);
    EXPECT_TRUE(stale.ok) << stale.error;
    EXPECT_EQ(stale.body, "<rss/>");

    std::lock_guard lock(mutex);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"||0", std::string("\"v1\"|") + kLastModified + "|0",
                                        std::string("|") + kLastModified + "|0", "\"v0\"||0"}));
}

// Nothing was asked conditionally, so a 304 says nothing about a document held: it fails.
TEST(HttpFetchConditional, A304ToAPlainRequestIsAFailure) {
    LocalHttpServer server;
    server.Handle("/always-304", [](const httplib::Request&, httplib::Response& response) {
        response.status = 304;
    });
    const FetchResult result = FetchUrl(server.Url("/always-304"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.notModified);
    EXPECT_EQ(result.status, 304);
}

// Validators come from servers and from the database: one that could end a header line, or
// an oversized one, is neither sent nor reported.
TEST(HttpFetchConditional, ValidatorsThatCouldBreakARequestAreNeitherSentNorReported) {
    LocalHttpServer server;
    std::mutex mutex;
    std::vector<std::string> seen;
    ServeWithValidators(server, &seen, &mutex);
    FetchOptions options;
    options.conditional = {"\"v1\"\r\nX-Injected: 1", std::string(kMaxValidatorBytes + 1, 'x')};
    const FetchResult result = FetchUrl(server.Url("/doc"), options);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_FALSE(result.notModified);
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(seen, (std::vector<std::string>{"||0"}));
    }

    server.Handle("/huge-etag", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("ETag", "\"" + std::string(kMaxValidatorBytes, 'e') + "\"");
        response.set_header("Last-Modified", kLastModified);
        response.set_content("<rss/>", "application/rss+xml");
    });
    const FetchResult huge = FetchUrl(server.Url("/huge-etag"));
    ASSERT_TRUE(huge.ok) << huge.error;
    EXPECT_EQ(huge.validators, (FetchValidators{"", kLastModified}));
}
