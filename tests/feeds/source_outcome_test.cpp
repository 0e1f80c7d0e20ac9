// Every source an update takes in hand has its outcome recorded in the source_status table,
// and the record decides what later updates do: a deferred source waits for the moment its
// server named, a gone one is left alone, a failing one backs off.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/utc_time.h"
#include "feeds/feed_store.h"
#include "feeds/update_engine.h"
#include "store/source_status.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using namespace std::chrono_literals;

namespace {

constexpr char kFeed[] =
    "<rss version=\"2.0\"><channel><title>t</title>"
    "<item><title>one</title><pubDate>Mon, 07 Oct 2002 13:00:00 GMT</pubDate></item>"
    "<item><title>two</title><pubDate>Mon, 07 Oct 2002 13:00:00 GMT</pubDate></item>"
    "</channel></rss>";
constexpr char kEmptyFeed[] = "<rss version=\"2.0\"><channel><title>s</title></channel></rss>";

// A port of 127.0.0.1 on which nothing listens: connections to it are refused.
int ClosedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(probe);
    return ntohs(address.sin_port);
}

std::string HttpDate(TimePoint moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

class SourceOutcomes : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.WriteSettings(0, 1);
        m_folder.WriteFile("data/services.conf", "search.baidu = " + m_server.BaseUrl() + "\n");
        m_server.Serve("/ns", kEmptyFeed);
        m_server.Handle("/ok", [](const httplib::Request& request, httplib::Response& response) {
            if (request.get_header_value("If-None-Match") == "\"v1\"") {
                response.status = 304;
                return;
            }
            response.set_header("ETag", "\"v1\"");
            response.set_content(kFeed, "application/rss+xml");
        });
        m_server.Handle("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
        });
        m_server.Serve("/page", "<html><body>no feed here</body></html>", "text/html");
        m_server.Handle("/gone", [](const httplib::Request&, httplib::Response& response) {
            response.status = 410;
        });
        m_server.Handle("/busy", [](const httplib::Request&, httplib::Response& response) {
            response.status = 429;
            response.set_header("Retry-After", "120");
        });
        m_server.Handle("/later", [this](const httplib::Request&, httplib::Response& response) {
            response.status = 503;
            response.set_header("Retry-After", HttpDate(m_start + 1h));
        });
        // A Retry-After of 0, or of a moment gone by, defers nothing.
        m_server.Handle("/now", [](const httplib::Request&, httplib::Response& response) {
            response.status = 503;
            response.set_header("Retry-After", "0");
        });
        m_server.Handle("/past", [this](const httplib::Request&, httplib::Response& response) {
            response.status = 429;
            response.set_header("Retry-After", HttpDate(m_start - 1h));
        });
        m_refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/refused";
        std::string rows;
        for (const std::string& address :
             {m_server.Url("/ok"), m_server.Url("/missing"), m_refused, m_server.Url("/page"),
              m_server.Url("/gone"), m_server.Url("/busy"), m_server.Url("/later"),
              m_server.Url("/now"), m_server.Url("/past")}) {
            rows += std::string(rows.empty() ? "" : ", ") + "('源', '" + address + "', '')";
        }
        ExecSql(m_folder.File("data/data.dat"),
                "insert into opml (opml_key, opml_xml_url, opml_html_url) values " + rows);
    }

    // One whole update at `moment`, without pauses; its tally.
    UpdateTally UpdateAt(TimePoint moment) {
        ScopedFixedClock clock(moment);
        CFeedStore store(m_folder.Path());
        store.Engine().pacing().SetEnabled(false);
        store.AddKeyword("源");
        EXPECT_TRUE(store.Startup());
        store.Engine().WaitForUpdate();
        store.Shutdown();
        return store.Engine().Tally();
    }

    // Every row, by the address's path ("refused" for the closed port).
    std::map<std::string, SourceStatus> Outcomes() {
        CFeedStore store(m_folder.Path());
        EXPECT_TRUE(store.Open());
        std::map<std::string, SourceStatus> byPath;
        for (SourceStatus& row : LoadAllSourceStatus(store)) {
            const std::string path = row.address == m_refused
                                         ? "refused"
                                         : row.address.substr(m_server.BaseUrl().size());
            byPath[path.substr(0, path.find('?'))] = std::move(row);
        }
        return byPath;
    }

    int Hits(const std::string& path) { return m_server.HitCount(path); }

    LocalHttpServer m_server;
    TempDataFolder m_folder;
    std::string m_refused;
    const TimePoint m_start = std::chrono::floor<std::chrono::seconds>(ClockNow());
};

struct Expected {
    const char* path;
    SourceOutcome outcome;
    int httpStatus;
    int newItems;
    int failures;
    bool succeeded;          // lastSuccess is the update's moment
    const char* retryAfter;  // "" or "+120" / "+3600" seconds after the start
};

void ExpectOutcomes(const std::map<std::string, SourceStatus>& rows, const Expected* expected,
                    std::size_t count, TimePoint start, TimePoint attempt) {
    ASSERT_EQ(rows.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        const Expected& want = expected[i];
        SCOPED_TRACE(want.path);
        ASSERT_EQ(rows.count(want.path), 1u);
        const SourceStatus& row = rows.at(want.path);
        EXPECT_EQ(row.channel, "源");
        EXPECT_EQ(OutcomeName(row.outcome), OutcomeName(want.outcome));
        EXPECT_EQ(row.httpStatus, want.httpStatus);
        EXPECT_EQ(row.newItems, want.newItems);
        EXPECT_EQ(row.failures, want.failures);
        EXPECT_EQ(row.lastAttempt, UtcTimeText(attempt));
        EXPECT_EQ(row.lastSuccess, want.succeeded ? UtcTimeText(attempt) : "");
        const std::string retry = want.retryAfter;
        EXPECT_EQ(row.retryAfter,
                  retry.empty() ? "" : UtcTimeText(start + std::chrono::seconds(std::stoi(retry))));
        EXPECT_EQ(row.service, std::string(want.path) == "/ns" ? "search.baidu" : "");
    }
}

}  // namespace

TEST_F(SourceOutcomes, EachAnswerIsRecordedAndDecidesTheNextUpdates) {
    using O = SourceOutcome;
    const UpdateTally first = UpdateAt(m_start);
    const Expected afterFirst[] = {
        {"/ns", O::kOk, 200, 0, 0, true, ""},
        {"/ok", O::kOk, 200, 2, 0, true, ""},
        {"/missing", O::kHttpError, 404, 0, 1, false, ""},
        {"refused", O::kNetworkError, 0, 0, 1, false, ""},
        {"/page", O::kNotAFeed, 200, 0, 1, false, ""},
        {"/gone", O::kGone, 410, 0, 1, false, ""},
        {"/busy", O::kDeferred, 429, 0, 1, false, "+120"},
        {"/later", O::kDeferred, 503, 0, 1, false, "+3600"},
        {"/now", O::kHttpError, 503, 0, 1, false, ""},
        {"/past", O::kHttpError, 429, 0, 1, false, ""},
    };
    ExpectOutcomes(Outcomes(), afterFirst, std::size(afterFirst), m_start, m_start);
    EXPECT_EQ(first.total, 10);
    EXPECT_EQ(first.done, 10);
    EXPECT_EQ(first.newItems, 2);
    EXPECT_EQ(first.failedSources, 8);
    EXPECT_EQ(first.laterSources, 0);
    EXPECT_FALSE(first.stopped);

    // Ten seconds on: the feed that answered is asked whether it changed; every other source
    // is left alone (deferred, gone for now, or backing off after its first failure), and the
    // summary counts them as tried again later.
    const std::map<std::string, SourceStatus> before = Outcomes();
    const UpdateTally second = UpdateAt(m_start + 10s);
    EXPECT_EQ(second.done, 10);
    EXPECT_EQ(second.failedSources, 0);
    EXPECT_EQ(second.laterSources, 8);
    for (const char* path : {"/missing", "/page", "/gone", "/busy", "/later", "/now", "/past"}) {
        EXPECT_EQ(Hits(path), 1) << path;
    }
    std::map<std::string, SourceStatus> rows = Outcomes();
    EXPECT_EQ(OutcomeName(rows.at("/ok").outcome), "not-modified");
    EXPECT_EQ(rows.at("/ok").httpStatus, 304);
    EXPECT_EQ(rows.at("/ok").newItems, 0);
    EXPECT_EQ(rows.at("/ok").lastSuccess, UtcTimeText(m_start + 10s));
    for (const char* path :
         {"/missing", "refused", "/page", "/gone", "/busy", "/later", "/now", "/past"}) {
        SCOPED_TRACE(path);
        SourceStatus expected = before.at(path);
        expected.passTime = rows.at(path).passTime;  // still the channel's source
        EXPECT_EQ(rows.at(path), expected);
    }

    // Past the 429's two minutes and the first back-off: those are asked again; the 503's
    // hour has not passed, and the gone feed stays gone.
    UpdateAt(m_start + 121s);
    rows = Outcomes();
    EXPECT_EQ(Hits("/busy"), 2);
    EXPECT_EQ(Hits("/missing"), 2);
    EXPECT_EQ(Hits("/page"), 2);
    EXPECT_EQ(Hits("/later"), 1);
    EXPECT_EQ(Hits("/gone"), 1);
    EXPECT_EQ(Hits("/now"), 2);
    EXPECT_EQ(Hits("/past"), 2);
    EXPECT_EQ(rows.at("/missing").failures, 2);
    EXPECT_EQ(rows.at("/now").failures, 2);
    EXPECT_EQ(rows.at("/busy").retryAfter, UtcTimeText(m_start + 121s + 120s));
    EXPECT_EQ(rows.at("/later").failures, 1);
}

// A 410 is final only once it repeats: the source is asked again a day later, and given up at
// the third 410 in a row; passes then leave it alone and do not count it as tried later.
TEST_F(SourceOutcomes, AGoneAnswerIsFinalOnlyAfterThreeUpdatesADayApart) {
    ExecSql(m_folder.File("data/data.dat"),
            "delete from opml where opml_xml_url not like '%/gone'");
    std::vector<int> goneCounts;
    std::vector<int> later;
    for (const auto moment : {0h, 23h, 24h, 48h, 72h, 96h}) {
        later.push_back(UpdateAt(m_start + moment).laterSources);
        goneCounts.push_back(Outcomes().at("/gone").goneCount);
    }
    EXPECT_EQ(Hits("/gone"), 3);  // at 0, 24 and 48 hours
    EXPECT_EQ(goneCounts, (std::vector<int>{1, 1, 2, 3, 3, 3}));
    EXPECT_EQ(later, (std::vector<int>{0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(Outcomes().at("/gone").failures, 3);
}
