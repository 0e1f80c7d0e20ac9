#include <gtest/gtest.h>
#include <httplib.h>

#include "feeds/ttrss_client.h"
#include "support/local_http_server.h"

// The faults a real server cannot be made to show, from a small one that answers what each
// test needs.

namespace {

void Answer(LocalHttpServer& server, std::string body, std::string type = "text/json",
            int status = 200) {
    server.Handle("/api/", [body = std::move(body), type = std::move(type), status](
                               const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, type);
    });
}

TEST(TtRssAnswer, EveryBrokenAnswerHasItsOwnFailure) {
    struct Case {
        const char* body;
        const char* type;
        int status;
        TtRssFailure failure;
    };
    const Case cases[] = {
        {"<html><body>Login</body></html>", "text/html", 200, TtRssFailure::kNotTtRss},
        {"", "text/json", 200, TtRssFailure::kNotTtRss},
        {R"({"seq":0,"status":0,"content":{"session_)", "text/json", 200, TtRssFailure::kBadAnswer},
        {R"([1,2,3])", "text/json", 200, TtRssFailure::kNotTtRss},
        {R"({"seq":0,"status":0,"content":[]})", "text/json", 200, TtRssFailure::kBadAnswer},
        {R"({"seq":0,"status":1,"content":{"error":"LOGIN_ERROR"}})", "text/json", 200,
         TtRssFailure::kLoginError},
        {R"({"seq":0,"status":1,"content":{"error":"API_DISABLED"}})", "text/json", 200,
         TtRssFailure::kApiDisabled},
        {"Internal Server Error", "text/plain", 500, TtRssFailure::kHttpError},
    };
    LocalHttpServer server;
    for (const Case& c : cases) {
        Answer(server, c.body, c.type, c.status);
        CTtRssClient client(server.BaseUrl(), "alice", "pw");
        const TtRssAnswer answer = client.Login();
        EXPECT_EQ(answer.failure, c.failure) << c.body << ": " << answer.detail;
    }
}

TEST(TtRssAnswer, ARedirectToALoginPageIsNoServer) {
    LocalHttpServer server;
    server.Handle("/api/", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/login.php");
    });
    server.Serve("/login.php", "<html><form>password</form></html>", "text/html");
    CTtRssClient client(server.BaseUrl(), "alice", "pw");
    EXPECT_EQ(client.Login().failure, TtRssFailure::kNotTtRss);
}

TEST(TtRssAnswer, AHugeAnswerIsCutOffAtTheCap) {
    LocalHttpServer server;
    server.Handle("/api/", [](const httplib::Request&, httplib::Response& response) {
        std::string body = R"({"seq":0,"status":0,"content":")";
        body.append(CTtRssClient::kMaxAnswerBytes + 1, 'x');
        body += "\"}";
        response.set_content(body, "text/json");
    });
    CTtRssClient client(server.BaseUrl(), "alice", "pw");
    EXPECT_EQ(client.Login().failure, TtRssFailure::kTooLarge);
}

TEST(TtRssAnswer, NoServerAndNoTlsAreToldApart) {
    int closedPort = 0;
    {
        LocalHttpServer gone;
        closedPort = gone.Port();
    }
    CTtRssClient nobody("http://127.0.0.1:" + std::to_string(closedPort), "alice", "pw");
    EXPECT_EQ(nobody.Login().failure, TtRssFailure::kNoConnection);

    // https to a server that speaks plain http: the handshake fails, and says why.
    LocalHttpServer plain;
    CTtRssClient tls("https://127.0.0.1:" + std::to_string(plain.Port()), "alice", "pw");
    const TtRssAnswer answer = tls.Login();
    EXPECT_EQ(answer.failure, TtRssFailure::kTls);
    EXPECT_FALSE(answer.detail.empty());
}

}  // namespace
