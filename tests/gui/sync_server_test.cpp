// The window against a real Tiny Tiny RSS server (tests/support/ttrss-server): 测试连接 says
// what the server answered, and 立即同步 stores the server's articles in a folder of its host,
// the status bar giving the outcome.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "app/sync_commands.h"
#include "dialogs/sync_account_dialog.h"
#include "feeds/ttrss_client.h"
#include "modal.h"
#include "reader_window.h"
#include "store/secret_store.h"
#include "store/sync_settings.h"
#include "support/sqlite_rows.h"
#include "support/ttrss_server.h"
#include "views/command_ids.h"
#include "views/tree_commands.h"
#include "views/tree_view.h"

namespace {

constexpr char kCountSql[] =
    "select count(*) from item where rss_title in ('北京下雪', '上海晴天', '广州下雨')";

std::string Rss(const std::vector<std::string>& titles) {
    std::string rss =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
        "<title>新闻</title><link>http://example.com/</link>";
    int n = 0;
    for (const std::string& title : titles) {
        ++n;
        rss += "<item><title>" + title + "</title><link>http://example.com/" + std::to_string(n) +
               "</link><description>正文</description></item>";
    }
    return rss + "</channel></rss>";
}

class SyncServer : public ReaderWindow {
protected:
    void SetUp() override {
        if (!TtRssServer::Available()) {
            GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
        }
        ReaderWindow::SetUp();
        m_feeds = std::make_unique<LocalHttpServer>(80);
        ASSERT_EQ(m_feeds->Port(), 80) << "port 80 of 127.0.0.1 is taken";
        // The server fetches the test feeds from 0.0.0.0, past the proxy the GUI tests set for
        // every other address.
        setenv("no_proxy", "127.0.0.1,0.0.0.0", 1);
        m_ttrss = std::make_unique<TtRssServer>();
        ASSERT_TRUE(m_ttrss->Started());
        m_user = m_ttrss->AddUser("alice", "pw");
    }
    // Clicks 测试连接 with `user` and `password` and waits for its outcome.
    QString TestConnection(CSyncAccountDlg* dialog, const char* user, const char* password) {
        auto fields = dialog->findChildren<QLineEdit*>();
        EXPECT_EQ(fields.size(), 3);
        fields[0]->setText(QString::fromStdString(m_ttrss->Address()));
        fields[1]->setText(QString::fromUtf8(user));
        fields[2]->setText(QString::fromUtf8(password));
        dialog->TestButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([dialog] { return dialog->TestButton()->isEnabled(); }, 30000));
        return dialog->Outcome();
    }

    // The feed /news.xml on the server, fetched there once.
    void SubscribeOnServer() {
        m_feeds->Serve("/news.xml", Rss({"北京下雪", "上海晴天", "广州下雨"}));
        CTtRssClient client(m_ttrss->Address(), "alice", "pw");
        const TtRssAnswer added = client.Call(
            "subscribeToFeed", {{"feed_url", "http://0.0.0.0/news.xml"}, {"category_id", 0}});
        ASSERT_TRUE(added.ok()) << added.detail;
        ASSERT_TRUE(added.content["status"]["feed_id"].is_number()) << added.content.dump();
        const int feedId = added.content["status"]["feed_id"].get<int>();
        ASSERT_TRUE(client.Call("updateFeed", {{"feed_id", feedId}}).ok());
    }
    // alice's account, as the dialog keeps it.
    void SetAccount() {
        CAppSettings& settings = theStore.MoreSettings();
        settings.Set(kSyncServerKey, m_ttrss->Address());
        settings.Set(kSyncUserKey, "alice");
        ASSERT_TRUE(CSecretStore(m_folder.Path(), CSecretStore::Backends::kFileOnly)
                        .Save(kSyncSecretName, kSyncSecretLabel, "pw")
                        .ok);
    }

    std::unique_ptr<LocalHttpServer> m_feeds;
    std::unique_ptr<TtRssServer> m_ttrss;
    int m_user = 0;
};

}  // namespace

TEST_F(SyncServer, TestConnectionSaysWhatTheServerAnswered) {
    m_ttrss->AddUser("bob", "pw", false);
    Open();
    AnswerNextModal<CSyncAccountDlg>([&](CSyncAccountDlg* dialog) {
        EXPECT_TRUE(TestConnection(dialog, "alice", "pw")
                        .startsWith(QString::fromUtf8("已登录，服务器版本 ")))
            << dialog->Outcome().toStdString();
        EXPECT_EQ(TestConnection(dialog, "alice", "wrong"), QString::fromUtf8("用户名或密码错误"));
        EXPECT_TRUE(TestConnection(dialog, "bob", "pw")
                        .startsWith(QString::fromUtf8("该用户未开启 API 访问")))
            << dialog->Outcome().toStdString();
        dialog->reject();
    });
    Frame()->CommandAction(ID_SYNC_ACCOUNT)->trigger();
    // Cancelled: no account.
    EXPECT_FALSE(App()->Sync()->HasAccount());
}

TEST_F(SyncServer, SyncNowStoresTheServersArticlesUnderItsHostAndGivesTheOutcome) {
    SubscribeOnServer();
    Open();
    SetAccount();

    QSignalSpy finished(App()->Sync(), &CSyncCommands::SyncFinished);
    // The status bar's lines while it runs, as often as the window turns.
    QStringList shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&shown, this] {
        if (shown.isEmpty() || shown.back() != Frame()->StatusText()) {
            shown.push_back(Frame()->StatusText());
        }
    });
    watch.start(0);
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8("正在与 127.0.0.1 同步……"));
    ASSERT_TRUE(finished.wait(60000));
    watch.stop();
    EXPECT_TRUE(shown.contains(QString::fromUtf8("正在与 127.0.0.1 同步：已读与星标……")))
        << shown.join(" | ").toStdString();
    EXPECT_TRUE(shown.contains(
        QString::fromUtf8("正在与 127.0.0.1 同步：取回新闻（第 1 页，已存 0 条）……")))
        << shown.join(" | ").toStdString();
    EXPECT_TRUE(finished.first().first().toBool()) << Frame()->StatusText().toStdString();
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8("同步完成：新增 3 条新闻"));
    // The host's folder with the feed's channel is in the pane and in the tree file.
    QTreeWidgetItem* folder = ItemNamed("127.0.0.1");
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(folder->childCount(), 1);
    EXPECT_NE(m_folder.ReadFile("document/keywordlist.xml").find("127.0.0.1"), std::string::npos);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), kCountSql), Rows{{"3"}});

    // A second sync finds nothing new and stores nothing twice.
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8("同步完成：新增 0 条新闻"));
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), kCountSql), Rows{{"3"}});
    EXPECT_EQ(folder->childCount(), 1);

    // The channel deleted here is unsubscribed there, and the next sync leaves it gone; its
    // news stay.
    ASSERT_TRUE(Frame()->TreeView()->Commands().DeleteNode(folder->child(0)));
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(m_ttrss->Sql("select count(*) from ttrss_feeds"), "0");
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    ASSERT_TRUE(finished.wait(60000));
    folder = ItemNamed("127.0.0.1");
    EXPECT_TRUE(folder == nullptr || folder->childCount() == 0);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), kCountSql), Rows{{"3"}});
}

// 全部更新 with an account syncs first; its update then leaves the server's feed to the server.
TEST_F(SyncServer, UpdateAllSyncsFirstAndLeavesTheServersFeedToIt) {
    SubscribeOnServer();
    Open();
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 20000));
    SetAccount();
    QSignalSpy finished(App()->Sync(), &CSyncCommands::SyncFinished);
    Frame()->CommandAction(ID_UPDATE_ALL)->trigger();
    EXPECT_TRUE(App()->Sync()->IsSyncing());
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_TRUE(finished.first().first().toBool()) << Frame()->StatusText().toStdString();
    const int serverFetches = m_feeds->HitCount("/news.xml");
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 30000));
    EXPECT_EQ(m_feeds->HitCount("/news.xml"), serverFetches);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), kCountSql), Rows{{"3"}});
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8("同步完成：新增 3 条新闻"));
}

// With an account the start syncs first, then updates without fetching the server's feed here.
TEST_F(SyncServer, TheStartSyncsBeforeItsUpdate) {
    SubscribeOnServer();
    m_folder.WriteFile("data/settings.conf",
                       "sync.server = " + m_ttrss->Address() + "\nsync.user = alice\n");
    ASSERT_TRUE(CSecretStore(m_folder.Path(), CSecretStore::Backends::kFileOnly)
                    .Save(kSyncSecretName, kSyncSecretLabel, "pw")
                    .ok);
    const int serverFetches = m_feeds->HitCount("/news.xml");
    Open();
    ASSERT_TRUE(App()->Sync()->IsSyncing());
    QSignalSpy finished(App()->Sync(), &CSyncCommands::SyncFinished);
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8("同步完成：新增 3 条新闻"));
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 30000));
    EXPECT_EQ(m_feeds->HitCount("/news.xml"), serverFetches);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"), kCountSql), Rows{{"3"}});
}
