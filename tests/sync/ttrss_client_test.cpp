#include "feeds/ttrss_client.h"

#include <gtest/gtest.h>

#include "support/local_http_server.h"
#include "support/ttrss_server.h"

namespace {

class TtRssClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TtRssServer::Available()) {
            GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
        }
        m_server = std::make_unique<TtRssServer>();
        ASSERT_TRUE(m_server->Started());
    }

    std::unique_ptr<TtRssServer> m_server;
};

TEST_F(TtRssClientTest, LoginSaysWhatCameBack) {
    const int alice = m_server->AddUser("alice", "pässwort 1'");
    m_server->AddUser("bob", "secret", false);
    struct Case {
        const char* user;
        const char* password;
        TtRssFailure failure;
    };
    const Case cases[] = {
        {"alice", "pässwort 1'", TtRssFailure::kNone},
        {"alice", "wrong", TtRssFailure::kLoginError},
        {"nobody", "pässwort 1'", TtRssFailure::kLoginError},
        {"bob", "secret", TtRssFailure::kApiDisabled},
    };
    for (const Case& c : cases) {
        CTtRssClient client(m_server->Address() + "/", c.user, c.password);
        const TtRssAnswer answer = client.Login();
        EXPECT_EQ(answer.failure, c.failure)
            << c.user << "/" << c.password << ": " << answer.detail;
        if (c.failure == TtRssFailure::kNone) {
            EXPECT_NE(client.Version().find("21"), std::string::npos) << client.Version();
        }
    }
    // API access switched off after the login: the next call says so.
    CTtRssClient client(m_server->Address(), "alice", "pässwort 1'");
    ASSERT_TRUE(client.Login().ok());
    m_server->SetApiAccess(alice, false);
    EXPECT_EQ(client.Call("getFeeds", {{"cat_id", -3}}).failure, TtRssFailure::kApiDisabled);
}

TEST_F(TtRssClientTest, ASessionDeletedOnTheServerIsLoggedInAgainOnce) {
    m_server->AddUser("alice", "pw");
    CTtRssClient client(m_server->Address() + "/api/", "alice", "pw");
    ASSERT_TRUE(client.Call("getFeeds", {{"cat_id", -3}}).ok());
    const int before = client.RequestCount();
    m_server->Sql("delete from ttrss_sessions");
    const TtRssAnswer answer = client.Call("getFeeds", {{"cat_id", -3}});
    EXPECT_TRUE(answer.ok()) << answer.detail;
    EXPECT_TRUE(answer.content.is_array());
    // The call, the login and the version, the call again.
    EXPECT_EQ(client.RequestCount() - before, 4);

    // A password changed on the server in between: the login fails once and is reported.
    m_server->Sql("delete from ttrss_sessions; update ttrss_users set pwd_hash = 'x'");
    EXPECT_EQ(client.Call("getFeeds", {{"cat_id", -3}}).failure, TtRssFailure::kLoginError);
}

}  // namespace
