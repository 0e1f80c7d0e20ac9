// The engine is a polite client: it names itself, keeps a second between requests to one
// host, leaves gone sources alone until asked explicitly, and backs off from failing ones.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "feeds/feed_store.h"
#include "feeds/host_clock.h"
#include "feeds/pacing.h"
#include "feeds/source_policy.h"
#include "feeds/update_engine.h"
#include "store/source_status.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using namespace std::chrono_literals;

namespace {

constexpr char kFeed[] =
    "<rss version=\"2.0\"><channel><title>t</title><item><title>one</title></item>"
    "</channel></rss>";

// What the server saw of each request: when it came and who sent it.
class RequestLog {
public:
    void Add(const httplib::Request& request) {
        std::lock_guard lock(m_mutex);
        m_arrivals.push_back(std::chrono::steady_clock::now());
        m_agents.push_back(request.get_header_value("User-Agent"));
    }
    std::vector<std::chrono::steady_clock::time_point> Arrivals() const {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }
    std::vector<std::string> Agents() const {
        std::lock_guard lock(m_mutex);
        return m_agents;
    }

private:
    mutable std::mutex m_mutex;  // handlers run on the server's threads
    std::vector<std::chrono::steady_clock::time_point> m_arrivals;
    std::vector<std::string> m_agents;
};

class Politeness : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.WriteSettings(0, 1);
        m_folder.WriteFile("data/services.conf", "search.baidu = " + m_server.BaseUrl() + "\n");
        const auto logged = [this](int status) {
            return [this, status](const httplib::Request& request, httplib::Response& response) {
                m_log.Add(request);
                response.status = status;
                if (status == 200) {
                    response.set_content(kFeed, "application/rss+xml");
                }
            };
        };
        m_server.Handle("/ns", logged(200));
        for (const char* path : {"/a", "/b", "/c"}) {
            m_server.Handle(path, logged(200));
        }
        m_server.Handle("/gone", logged(410));
        m_server.Handle("/missing", logged(404));
    }

    void Subscribe(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            ExecSql(m_folder.File("data/data.dat"),
                    "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('源', '" +
                        m_server.Url(path) + "', '')");
        }
    }

    SourceStatus Outcome(CFeedStore& store, const std::string& path) {
        return LoadSourceStatus(store, "源", m_server.Url(path)).value_or(SourceStatus());
    }

    LocalHttpServer m_server;
    TempDataFolder m_folder;
    RequestLog m_log;
};

}  // namespace

// With its pauses on, one update sends the search pass's and the subscribed-feed pass's
// requests to 127.0.0.1 side by side, yet a second apart, each naming the program.
TEST_F(Politeness, RequestsToOneHostAreASecondApartAndNameTheProgram) {
    Subscribe({"/a", "/b", "/c"});
    CFeedStore store(m_folder.Path());
    store.AddKeyword("源");
    ASSERT_TRUE(store.Startup());
    store.Engine().WaitForUpdate();
    store.Shutdown();

    const auto arrivals = m_log.Arrivals();
    ASSERT_EQ(arrivals.size(), 4u);
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        // A little under the second: the request left on time, the wire may take a moment.
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 950ms) << i;
    }
    // "Quillon/" and a version of digits and dots, alone or before a comment.
    for (const std::string& agent : m_log.Agents()) {
        const std::string version = agent.substr(0, agent.find(' '));
        EXPECT_TRUE(version.starts_with("Quillon/") && version.size() > 8 &&
                    version.find_first_not_of("0123456789.", 8) == std::string::npos &&
                    std::isdigit(static_cast<unsigned char>(version.back())))
            << agent;
    }
}

// A wait for a later turn sleeps through; setting its stop flag and waking the clock ends it
// at once, with the turn still booked.
TEST(HostClock, AStoppedWaitEndsAtOnceAndTheTurnStaysBooked) {
    HostClock clock;
    std::atomic<bool> stop{false};
    ASSERT_TRUE(clock.WaitTurn("http://a.test/1", &stop));
    EXPECT_TRUE(clock.WaitTurn("http://b.test/1", &stop));  // another host: no wait

    const auto started = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop = true;
        clock.WakeWaiters();
    });
    EXPECT_FALSE(clock.WaitTurn("http://A.test:8080/2", &stop));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 700ms);

    // The stopped wait's turn is kept: the next one comes a spacing after it.
    std::atomic<bool> go{false};
    const auto next = std::chrono::steady_clock::now();
    EXPECT_TRUE(clock.WaitTurn("http://a.test/3", &go));
    EXPECT_GE(std::chrono::steady_clock::now() - next, 1500ms);
}

// The pauses after a stored feed are slept together, in pieces, and end with the stop flag.
TEST(Pacing, RepeatedPausesAreSleptTogetherAndEndWithTheStopFlag) {
    Pacing pacing;
    auto started = std::chrono::steady_clock::now();
    pacing.PauseRepeated(10ms, 20, nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);

    std::atomic<bool> stop{false};
    started = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop = true;
    });
    pacing.PauseRepeated(100ms, 30, &stop);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);

    pacing.SetEnabled(false);
    started = std::chrono::steady_clock::now();
    pacing.PauseRepeated(100ms, 30, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 100ms);
}

// A gone source stays gone for the passes; 刷新该频道 tries it once more, and also tries a
// failing source at once, its back-off forgotten.
TEST_F(Politeness, AnExplicitRefreshTriesGoneAndBackedOffSourcesAgain) {
    Subscribe({"/gone", "/missing"});
    CFeedStore store(m_folder.Path());
    store.Engine().pacing().SetEnabled(false);
    store.AddKeyword("源");
    ASSERT_TRUE(store.Startup());
    store.Engine().WaitForUpdate();
    ASSERT_EQ(store.UpdateAll(), CFeedStore::UpdateStart::kStarted);
    store.Engine().WaitForUpdate();
    EXPECT_EQ(m_server.HitCount("/gone"), 1);
    EXPECT_EQ(m_server.HitCount("/missing"), 1);
    EXPECT_EQ(Outcome(store, "/missing").failures, 1);

    store.RefreshChannel("源");
    store.Engine().WaitForStoreThreads();
    EXPECT_EQ(m_server.HitCount("/gone"), 2);
    EXPECT_EQ(m_server.HitCount("/missing"), 2);
    EXPECT_EQ(OutcomeName(Outcome(store, "/gone").outcome), "gone");
    EXPECT_EQ(Outcome(store, "/missing").failures, 1);  // counted afresh
    store.Shutdown();
}

// The wait after each failure doubles from a minute and stops at a day; a deferral waits for
// its moment even when asked explicitly.
TEST(SourcePolicy, BackOffDoublesUpToADayAndDeferralWaitsForItsMoment) {
    EXPECT_EQ(BackOffDelay(0), 0s);
    EXPECT_EQ(BackOffDelay(1), 60s);
    EXPECT_EQ(BackOffDelay(2), 120s);
    EXPECT_EQ(BackOffDelay(11), 61440s);
    EXPECT_EQ(BackOffDelay(12), 24h);
    EXPECT_EQ(BackOffDelay(1000), 24h);

    const TimePoint t0 = std::chrono::floor<std::chrono::seconds>(ClockNow());
    struct Case {
        SourceOutcome outcome;
        int failures;
        std::chrono::seconds retryIn;  // deferral, from t0
        std::chrono::seconds later;    // now = t0 + later
        bool explicitRequest;
        FetchDecision want;
        int goneCount = 0;
    };
    using O = SourceOutcome;
    using D = FetchDecision;
    const Case cases[] = {
        {O::kOk, 0, 0s, 1s, false, D::kFetch},
        {O::kNotModified, 0, 0s, 1s, false, D::kFetch},
        {O::kHttpError, 1, 0s, 59s, false, D::kSkipBackOff},
        {O::kHttpError, 1, 0s, 60s, false, D::kFetch},
        {O::kNetworkError, 3, 0s, 239s, false, D::kSkipBackOff},
        {O::kNetworkError, 3, 0s, 240s, false, D::kFetch},
        {O::kNotAFeed, 30, 0s, 24h - 1s, false, D::kSkipBackOff},
        {O::kNotAFeed, 30, 0s, 24h, false, D::kFetch},
        {O::kNotAFeed, 30, 0s, 1s, true, D::kFetch},
        // A 410 waits a day until it has come three times; then only an explicit request.
        {O::kGone, 1, 0s, 24h - 1s, false, D::kSkipBackOff},
        {O::kGone, 1, 0s, 24h, false, D::kFetch},
        {O::kGone, 5, 0s, 24h - 1s, false, D::kSkipBackOff},
        {O::kGone, 3, 0s, 48h, false, D::kSkipGone, 3},
        {O::kGone, 3, 0s, 1s, true, D::kFetch, 3},
        {O::kGone, 1, 0s, 1s, true, D::kFetch},
        {O::kDeferred, 1, 120s, 119s, false, D::kSkipDeferred},
        {O::kDeferred, 1, 120s, 119s, true, D::kSkipDeferred},
        {O::kDeferred, 9, 120s, 120s, false, D::kFetch},
        // A failing proxy is not the source's failure: asked again whatever came before.
        {O::kProxyError, 9, 0s, 1s, false, D::kFetch},
    };
    for (const Case& c : cases) {
        SourceStatus status;
        status.outcome = c.outcome;
        status.failures = c.failures;
        status.goneCount = c.goneCount;
        status.lastAttempt = UtcTimeText(t0);
        status.retryAfter = c.retryIn > 0s ? UtcTimeText(t0 + c.retryIn) : "";
        EXPECT_EQ(DecideFetch(status, t0 + c.later, c.explicitRequest), c.want)
            << OutcomeName(c.outcome) << " " << c.failures << " +" << c.later.count();
    }
    EXPECT_EQ(DecideFetch(std::nullopt, t0, false), D::kFetch);
}
