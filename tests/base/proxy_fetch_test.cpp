#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "base/fetch_proxy.h"
#include "base/http_fetch.h"
#include "feeds/source_policy.h"
#include "model/update_texts.h"
#include "store/source_status.h"
#include "support/local_http_server.h"
#include "support/proxy_server.h"

using namespace std::chrono_literals;

namespace {

constexpr char kFeed[] = "<rss version=\"2.0\"><channel><title>t</title></channel></rss>";

FetchOptions Through(const FetchProxy& proxy) {
    FetchOptions options;
    options.limits.connectTimeout = 3s;
    options.limits.totalTimeout = 5s;
    options.proxy = &proxy;
    return options;
}

FetchProxy Manual(ProxyKind kind, int port, std::string user = {}, std::string password = {}) {
    FetchProxy proxy;
    proxy.mode = ProxyMode::kManual;
    proxy.kind = kind;
    proxy.host = "127.0.0.1";
    proxy.port = port;
    proxy.user = std::move(user);
    proxy.password = std::move(password);
    return proxy;
}

// What the source's status says of a fetch that came to `answer`.
std::string StatusText(const FetchResult& answer) {
    const FetchVerdict verdict = ClassifyFetch(answer, answer.ok, std::chrono::system_clock::now());
    return OutcomeText(verdict.outcome, verdict.httpStatus);
}

// Sets an environment variable for one test, putting back what was there.
class ScopedEnvironment {
public:
    void Set(const char* name, const std::string& value) {
        if (!m_saved.contains(name)) {
            const char* old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

}  // namespace

TEST(ProxyFetch, AnHttpProxyCarriesTheFetchAndItsRejectionIsTheProxysNotTheFeeds) {
    auto proxy = ProxyServer::StartTinyproxy("alice", "s3cret");
    if (!proxy) {
        GTEST_SKIP() << "tinyproxy is not installed";
    }
    LocalHttpServer server;
    server.Serve("/feed.xml", kFeed);
    const std::string address = server.Url("/feed.xml");

    const FetchProxy good = Manual(ProxyKind::kHttp, proxy->Port(), "alice", "s3cret");
    const FetchResult fetched = FetchUrl(address, Through(good));
    ASSERT_TRUE(fetched.ok) << fetched.error;
    EXPECT_EQ(fetched.body, kFeed);
    EXPECT_NE(proxy->Log().find("GET " + address), std::string::npos) << proxy->Log();

    // No user: the proxy asks for one (407). A wrong password on a tunnel (an https address):
    // tinyproxy refuses the CONNECT. Either is the proxy's refusal, named as such.
    const FetchProxy anonymous = Manual(ProxyKind::kHttp, proxy->Port());
    const FetchProxy wrong = Manual(ProxyKind::kHttp, proxy->Port(), "alice", "wrong");
    const std::string secure = "https://127.0.0.1:" + std::to_string(server.Port()) + "/feed.xml";
    for (const auto& [setting, url] : {std::pair{&anonymous, address}, std::pair{&wrong, secure}}) {
        const FetchResult refused = FetchUrl(url, Through(*setting));
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.proxyFailure, ProxyFailure::kCredentialsRejected) << refused.error;
        EXPECT_EQ(StatusText(refused), "代理服务器拒绝了用户名或密码");
    }
    EXPECT_EQ(server.HitCount("/feed.xml"), 1);
}

TEST(ProxyFetch, ASocksProxyWithAUserCarriesTheFetchAndReportsAWrongPassword) {
    auto proxy = ProxyServer::StartMicrosocks("bob", "pw");
    if (!proxy) {
        GTEST_SKIP() << "microsocks is not installed";
    }
    LocalHttpServer server;
    server.Serve("/feed.xml", kFeed);

    const FetchProxy good = Manual(ProxyKind::kSocks5, proxy->Port(), "bob", "pw");
    const FetchResult fetched = FetchUrl(server.Url("/feed.xml"), Through(good));
    ASSERT_TRUE(fetched.ok) << fetched.error;
    EXPECT_EQ(fetched.body, kFeed);
    EXPECT_NE(proxy->Log().find("connected to 127.0.0.1:" + std::to_string(server.Port())),
              std::string::npos)
        << proxy->Log();

    for (const FetchProxy& refusedSetting :
         {Manual(ProxyKind::kSocks5, proxy->Port(), "bob", "wrong"),
          Manual(ProxyKind::kSocks5, proxy->Port())}) {
        const FetchResult refused = FetchUrl(server.Url("/feed.xml"), Through(refusedSetting));
        EXPECT_EQ(refused.proxyFailure, ProxyFailure::kCredentialsRejected) << refused.error;
        EXPECT_EQ(StatusText(refused), "代理服务器拒绝了用户名或密码");
    }
    EXPECT_EQ(server.HitCount("/feed.xml"), 1);

    // A server that the proxy reached but that refused is the server's failure.
    const std::string closed = "http://127.0.0.1:" + std::to_string(ProxyServer::FreePort()) + "/";
    const FetchResult serverDown = FetchUrl(closed, Through(good));
    EXPECT_EQ(serverDown.proxyFailure, ProxyFailure::kNone) << serverDown.error;
    EXPECT_EQ(StatusText(serverDown), "无法连接");
}

TEST(ProxyFetch, AProxyThatCannotBeReachedIsNamedInTheSourcesStatus) {
    LocalHttpServer server;
    server.Serve("/feed.xml", kFeed);
    const int closed = ProxyServer::FreePort();
    FetchProxy unresolvable = Manual(ProxyKind::kHttp, 3128);
    unresolvable.host = "proxy.invalid";
    FetchProxy noHost = Manual(ProxyKind::kHttp, 3128);
    noHost.host.clear();
    for (const FetchProxy& setting : {Manual(ProxyKind::kHttp, closed),
                                      Manual(ProxyKind::kSocks5, closed), unresolvable, noHost}) {
        const FetchResult answer = FetchUrl(server.Url("/feed.xml"), Through(setting));
        EXPECT_EQ(answer.proxyFailure, ProxyFailure::kUnreachable) << setting.host << answer.error;
        const FetchVerdict verdict = ClassifyFetch(answer, false, std::chrono::system_clock::now());
        EXPECT_EQ(OutcomeName(verdict.outcome), "proxy-error");
        EXPECT_EQ(OutcomeText(verdict.outcome, verdict.httpStatus), "代理服务器无法连接");
        // Nor does it count against the source: its failures stay, its back-off does not grow.
        SourceStatus before;
        before.outcome = SourceOutcome::kHttpError;
        before.failures = 4;
        const SourceStatus after =
            NextStatus(before, "c", "a", "", verdict, std::chrono::system_clock::now(), "", false);
        EXPECT_EQ(after.outcome, SourceOutcome::kProxyError);
        EXPECT_EQ(after.failures, 4);
    }
    EXPECT_EQ(server.HitCount("/feed.xml"), 0);
}

TEST(ProxyFetch, NoProxyBypassesTheEnvironmentsProxyWhichTheSystemSettingFollows) {
    auto proxy = ProxyServer::StartTinyproxy();
    if (!proxy) {
        GTEST_SKIP() << "tinyproxy is not installed";
    }
    LocalHttpServer server;
    server.Serve("/feed.xml", kFeed);
    const std::string address = server.Url("/feed.xml");
    ScopedEnvironment environment;
    environment.Set("http_proxy", "http://127.0.0.1:" + std::to_string(proxy->Port()));
    environment.Set("no_proxy", "");
    environment.Set("NO_PROXY", "");

    FetchProxy none;
    none.mode = ProxyMode::kNone;
    const FetchResult direct = FetchUrl(address, Through(none));
    ASSERT_TRUE(direct.ok) << direct.error;
    EXPECT_EQ(proxy->Log().find("GET " + address), std::string::npos) << proxy->Log();

    const FetchProxy system;
    const FetchResult proxied = FetchUrl(address, Through(system));
    ASSERT_TRUE(proxied.ok) << proxied.error;
    EXPECT_NE(proxy->Log().find("GET " + address), std::string::npos) << proxy->Log();

    // The environment's no_proxy exempts a host; a proxy of the environment that is gone is
    // the proxy's failure.
    environment.Set("no_proxy", "localhost, .example.org,127.0.0.1");
    const FetchResult exempt = FetchUrl(address, Through(system));
    EXPECT_TRUE(exempt.ok) << exempt.error;
    environment.Set("no_proxy", "");
    environment.Set("http_proxy", "http://127.0.0.1:" + std::to_string(ProxyServer::FreePort()));
    EXPECT_EQ(FetchUrl(address, Through(system)).proxyFailure, ProxyFailure::kUnreachable);
    EXPECT_EQ(server.HitCount("/feed.xml"), 3);
}

TEST(ProxyRoute, TheSystemSettingTakesTheEnvironmentsProxyForTheSchemeUnlessExempt) {
    const std::map<std::string, std::string> variables = {
        {"http_proxy", "http://web:1"},       {"HTTP_PROXY", "http://cgi:9"},
        {"HTTPS_PROXY", "http://secure:2"},   {"no_proxy", ".intra.example, LocalHost"},
        {"ALL_PROXY", "socks5://fallback:3"},
    };
    const auto environment = [&variables](const char* name) -> const char* {
        const auto it = variables.find(name);
        return it == variables.end() ? nullptr : it->second.c_str();
    };
    const struct {
        const char* url;
        const char* proxy;
    } cases[] = {
        {"http://news.example/feed", "http://web:1"},
        {"https://news.example/feed", "http://secure:2"},
        {"http://a.intra.example/feed", ""},
        {"https://intra.example:8443/x", ""},
        {"http://localhost:8080/feed", ""},
        {"http://notintra.example/feed", "http://web:1"},
        {"http://user@[::1]:80/", "http://web:1"},
    };
    for (const auto& [url, expected] : cases) {
        EXPECT_EQ(RouteFor(FetchProxy{}, url, environment).address, expected) << url;
    }
    // Without a proxy for its scheme, all_proxy serves; 不使用代理 takes none at all.
    const auto onlyAll = [](const char* name) -> const char* {
        return std::string_view(name) == "ALL_PROXY" ? "socks5://fallback:3" : nullptr;
    };
    EXPECT_EQ(RouteFor(FetchProxy{}, "https://x/", onlyAll).address, "socks5://fallback:3");
    FetchProxy none;
    none.mode = ProxyMode::kNone;
    EXPECT_FALSE(RouteFor(none, "http://x/", environment).ViaProxy());
    // A manual proxy serves every host, its SOCKS5 resolving names itself.
    FetchProxy manual;
    manual.mode = ProxyMode::kManual;
    manual.kind = ProxyKind::kSocks5;
    manual.host = "::1";
    manual.port = 1080;
    EXPECT_EQ(RouteFor(manual, "http://localhost/", environment).address, "socks5h://[::1]:1080");
    manual.port = 70000;
    EXPECT_TRUE(RouteFor(manual, "http://localhost/", environment).unusable);
}
