// The sync account in the window without a server: 帮助 → 同步账户… keeps the account with its
// password only in the secret store, tells what a connection test ran into, and removes the
// account; 立即同步 without an account says what to do.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/sync_commands.h"
#include "dialogs/sync_account_dialog.h"
#include "modal.h"
#include "reader_window.h"
#include "store/secret_store.h"
#include "store/sync_settings.h"
#include "views/command_ids.h"

namespace {

constexpr char kPassword[] = "同步-pw#42";

class SyncAccount : public ReaderWindow {
protected:
    // A port of 127.0.0.1 on which nothing listens.
    static int ClosedPort() {
        QTcpServer probe;
        EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        const int port = probe.serverPort();
        probe.close();
        return port;
    }
    // Clicks 测试连接 and waits for its outcome.
    static QString TestConnection(CSyncAccountDlg* dialog) {
        dialog->TestButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([dialog] { return dialog->TestButton()->isEnabled(); }, 20000));
        return dialog->Outcome();
    }
    // The data folder's files that hold `text`, by path below the folder.
    std::vector<std::string> FilesHolding(const std::string& text) const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_folder.Path())) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string contents((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            if (contents.find(text) != std::string::npos) {
                found.push_back(entry.path().string());
            }
        }
        return found;
    }
};

}  // namespace

TEST_F(SyncAccount, TheDialogKeepsTheAccountWithItsPasswordOnlyInTheSecretStoreAndRemovesIt) {
    Open();
    const std::string server = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/tt-rss";
    AnswerNextModal<CSyncAccountDlg>([&](CSyncAccountDlg* dialog) {
        EXPECT_FALSE(dialog->SaveButton()->isEnabled());
        EXPECT_FALSE(dialog->RemoveButton()->isEnabled());
        EXPECT_TRUE(dialog->WatchKeywords());
        auto fields = dialog->findChildren<QLineEdit*>();
        ASSERT_EQ(fields.size(), 3);
        // An address that is no web address is refused, the dialog staying open.
        fields[0]->setText(QStringLiteral("ftp://127.0.0.1/"));
        fields[1]->setText(QStringLiteral("alice"));
        fields[2]->setText(QString::fromUtf8(kPassword));
        dialog->SaveButton()->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->Outcome(), QString::fromUtf8("服务器地址须以 http:// 或 https:// 开头"));
        fields[0]->setText(QString::fromStdString(server));
        EXPECT_TRUE(TestConnection(dialog).startsWith(QString::fromUtf8("无法连接到服务器")))
            << dialog->Outcome().toStdString();
        // The local web server answers, but not as the API does.
        fields[0]->setText(QString::fromStdString(m_server.BaseUrl()));
        EXPECT_FALSE(TestConnection(dialog).isEmpty());
        EXPECT_FALSE(dialog->Outcome().startsWith(QString::fromUtf8("已登录")));
        fields[0]->setText(QString::fromStdString(server));
        dialog->findChild<QCheckBox*>()->setChecked(false);
        dialog->SaveButton()->click();
    });
    Frame()->CommandAction(ID_SYNC_ACCOUNT)->trigger();

    const std::string settings = m_folder.ReadFile("data/settings.conf");
    EXPECT_NE(settings.find("sync.server = " + server), std::string::npos) << settings;
    EXPECT_NE(settings.find("sync.user = alice"), std::string::npos) << settings;
    EXPECT_NE(settings.find("sync.watch_keywords = 0"), std::string::npos) << settings;
    const SecretResult kept = CSecretStore(m_folder.Path()).Lookup("sync");
    EXPECT_EQ(kept.secret, kPassword);
    // Not in the settings, the tree file or the database; the secret file keeps it encoded.
    EXPECT_TRUE(FilesHolding(kPassword).empty());
    const QString where = kept.place == SecretPlace::kFile
                              ? QString::fromStdString(CSecretStore(m_folder.Path()).FilePath())
                              : QString::fromUtf8("密钥环");
    EXPECT_NE(Frame()->StatusText().indexOf(where), -1) << Frame()->StatusText().toStdString();

    // After a restart the dialog shows the account again; 删除账户 removes it and its password.
    Close();
    Open();
    AnswerNextModal<CSyncAccountDlg>([&](CSyncAccountDlg* dialog) {
        auto fields = dialog->findChildren<QLineEdit*>();
        ASSERT_EQ(fields.size(), 3);
        EXPECT_EQ(fields[0]->text().toStdString(), server);
        EXPECT_EQ(fields[1]->text(), QStringLiteral("alice"));
        EXPECT_EQ(fields[2]->text(), QString::fromUtf8(kPassword));
        EXPECT_FALSE(dialog->WatchKeywords());
        dialog->RemoveButton()->click();
    });
    Frame()->CommandAction(ID_SYNC_ACCOUNT)->trigger();
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8("同步账户已删除，已保存的新闻全部保留。"));
    EXPECT_FALSE(App()->Sync()->HasAccount());
    EXPECT_FALSE(CSecretStore(m_folder.Path()).Lookup("sync").ok);
    EXPECT_TRUE(FilesHolding(kPassword).empty());
    EXPECT_EQ(m_folder.ReadFile("data/settings.conf").find("sync.server = http"),
              std::string::npos);
}

// Without an account 立即同步 starts nothing and says where to set one; with one whose server
// does not answer, the sync fails with the reason, and the update that follows fetches every
// channel here as before.
TEST_F(SyncAccount, SyncNowNamesWhatIsMissingAndAFailedSyncItsReason) {
    Open();
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    EXPECT_EQ(Frame()->StatusText(),
              QString::fromUtf8("尚未设置同步账户：请在“帮助 → 同步账户…”中设置"));
    EXPECT_FALSE(App()->Sync()->IsSyncing());

    CAppSettings& settings = theStore.MoreSettings();
    settings.Set(kSyncServerKey, "http://127.0.0.1:" + std::to_string(ClosedPort()));
    settings.Set(kSyncUserKey, "alice");
    ASSERT_TRUE(CSecretStore(m_folder.Path(), CSecretStore::Backends::kFileOnly)
                    .Save("sync", "test", kPassword)
                    .ok);
    QSignalSpy finished(App()->Sync(), &CSyncCommands::SyncFinished);
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    EXPECT_TRUE(App()->Sync()->IsSyncing());
    // A second one while it runs starts nothing.
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    EXPECT_EQ(Frame()->StatusText(),
              QString::fromUtf8("正在同步，本次未重新开始：请等这次同步完成"));
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_TRUE(Frame()->StatusText().startsWith(QString::fromUtf8("同步失败：无法连接到服务器")))
        << Frame()->StatusText().toStdString();
}

// A password the secret store cannot give (no keyring answers, the file gone or unreadable) is
// named as such, with where to enter it again, not taken for a wrong one.
TEST_F(SyncAccount, APasswordThatCannotBeReadIsNamedWithWhereToEnterItAgain) {
    Open();
    CAppSettings& settings = theStore.MoreSettings();
    settings.Set(kSyncServerKey, "http://127.0.0.1:" + std::to_string(ClosedPort()));
    settings.Set(kSyncUserKey, "alice");
    QSignalSpy finished(App()->Sync(), &CSyncCommands::SyncFinished);
    const QString start = QString::fromUtf8("同步失败：无法读取同步账户的密码：");
    const QString end = QString::fromUtf8("（请在 帮助 → 同步账户… 中重新输入密码）");

    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(Frame()->StatusText(), start + QString::fromUtf8("密钥环和密码文件中都没有") + end);

    // Root reads any file: the file that cannot be read is a folder.
    std::filesystem::create_directories(m_folder.File("data/secrets.conf"));
    Frame()->CommandAction(ID_SYNC_NOW)->trigger();
    ASSERT_TRUE(finished.wait(20000));
    const QString text = Frame()->StatusText();
    EXPECT_TRUE(text.startsWith(start) && text.endsWith(end)) << text.toStdString();
    EXPECT_TRUE(text.contains("not a regular file")) << text.toStdString();
}
