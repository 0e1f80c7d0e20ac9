// 系统设置's clean-up: its settings, the database's size, 立即清理… with its question, and the
// automatic clean-up after an update.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include <sqlite3.h>

#include "app/clean_commands.h"
#include "dialogs/sys_dialog.h"
#include "modal.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "views/command_ids.h"

namespace {

class CleanUp : public ReaderWindow {
protected:
    // Channel 1 holds an old read item, an old unread one, an old starred one and one of today.
    void Seed() {
        ExecSql(Db(),
                "insert into channel (ID, rss_title) values (1, 'sport');"
                "insert into item (rss_channelID, rss_title, rss_pubDate) values "
                "(1, 'old read', date('now', 'localtime', '-100 days')),"
                "(1, 'old unread', date('now', 'localtime', '-100 days')),"
                "(1, 'old starred', date('now', 'localtime', '-200 days')),"
                "(1, 'today', date('now', 'localtime'));"
                "delete from item_unread where item_id in (select ID from item where rss_title "
                "in ('old read', 'old starred'));"
                "insert into item_star select ID from item where rss_title = 'old starred';");
    }
    std::string Db() const { return m_folder.File("data/data.dat"); }
    Rows Titles() { return QueryRows(Db(), "select rss_title from item order by rss_title"); }
};

}  // namespace

// The dialog opens with 自动清理 off and 保留未读新闻 on and shows the size; 立即清理… asks with
// the count, 取消 removes nothing, 删除 removes the old read item only; OK keeps the choices.
TEST_F(CleanUp, CleanNowAsksFirstAndTheSettingsAreKept) {
    Seed();
    Open();
    const auto questions = std::make_shared<QStringList>();
    const auto press = [questions](const char* button) {
        return [questions, button](QMessageBox* box) {
            questions->append(box->text());
            for (QAbstractButton* candidate : box->buttons()) {
                if (candidate->text() == QString::fromUtf8(button)) {
                    candidate->click();
                    return;
                }
            }
            box->reject();
        };
    };
    AnswerNextModal<CTD_SysDlg>([&](CTD_SysDlg* dialog) {
        EXPECT_FALSE(dialog->AutoCleanBox()->isChecked());
        EXPECT_TRUE(dialog->KeepUnreadBox()->isChecked());
        EXPECT_TRUE(
            dialog->DatabaseSizeLabel()->text().startsWith(QString::fromUtf8("数据库大小：")))
            << dialog->DatabaseSizeLabel()->text().toStdString();
        dialog->CleanDaysEdit()->setText(QStringLiteral("30"));

        AnswerNextModal<QMessageBox>(press("取消"));
        dialog->CleanNowButton()->click();
        EXPECT_EQ(Titles().size(), 4u);

        AnswerNextModal<QMessageBox>(press("删除"));
        dialog->CleanNowButton()->click();
        EXPECT_EQ(Titles(), (Rows{{"old starred"}, {"old unread"}, {"today"}}));

        // Nothing left to remove: said so, no question.
        AnswerNextModal<QMessageBox>(press("确定"));
        dialog->CleanNowButton()->click();

        dialog->AutoCleanBox()->setChecked(true);
        dialog->KeepUnreadBox()->setChecked(false);
        dialog->accept();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
    ASSERT_EQ(questions->size(), 3) << questions->join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE((*questions)[0].contains(QString::fromUtf8("早于 30 天")));
    EXPECT_TRUE((*questions)[0].contains(QString::fromUtf8("新闻 1 条")));
    EXPECT_TRUE((*questions)[0].contains(QString::fromUtf8("星标新闻和未读新闻保留")));
    EXPECT_TRUE((*questions)[2].contains(QString::fromUtf8("没有早于 30 天的新闻")));

    const std::string file = m_folder.ReadFile("data/settings.conf");
    for (const char* line : {"clean.auto = 1", "clean.days = 30", "clean.keep_unread = 0"}) {
        EXPECT_NE(file.find(line), std::string::npos) << line << "\n" << file;
    }
}

// When on, the clean-up after an update removes the old news as the settings say, once a day.
TEST_F(CleanUp, TheAutomaticCleanUpRunsWhenOnAndOnceADay) {
    Seed();
    Open();
    CAppSettings& settings = theStore.MoreSettings();
    CCleanCommands clean(*Frame());
    clean.AutoCleanAfterUpdate();  // off by default
    EXPECT_EQ(Titles().size(), 4u);

    settings.Set(CAppSettings::kAutoClean, 1);
    settings.Set(CAppSettings::kCleanDays, 30);
    clean.AutoCleanAfterUpdate();
    EXPECT_EQ(Titles(), (Rows{{"old starred"}, {"old unread"}, {"today"}}));

    settings.Set(CAppSettings::kCleanKeepUnread, 0);
    clean.AutoCleanAfterUpdate();  // it ran today already
    EXPECT_EQ(Titles().size(), 3u);
    settings.Set(CAppSettings::kLastAutoCleanDay, "2000-01-01");
    clean.AutoCleanAfterUpdate();
    EXPECT_EQ(Titles(), (Rows{{"old starred"}, {"today"}}));
}

// The clean-up runs beside the window thread: while another program holds the database's
// write lock, the window still serves its events (here the timer that lets the lock go), and
// the clean-up then finishes instead of running into the busy time-out.
TEST_F(CleanUp, TheWindowKeepsServingWhileACleanUpWaitsForTheDatabase) {
    Seed();
    Open();
    // The start-up update's end would run the automatic clean-up itself once it is on.
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 10000));
    QTest::qWait(100);
    CAppSettings& settings = theStore.MoreSettings();
    settings.Set(CAppSettings::kAutoClean, 1);
    settings.Set(CAppSettings::kCleanDays, 30);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(Db().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    bool released = false;
    QTimer::singleShot(300, [&] {
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        other = nullptr;
        released = true;
    });
    CCleanCommands(*Frame()).AutoCleanAfterUpdate();
    EXPECT_TRUE(released);
    EXPECT_EQ(Titles(), (Rows{{"old starred"}, {"old unread"}, {"today"}}));
    EXPECT_TRUE(Frame()->StatusText().startsWith(QString::fromUtf8("已清理新闻 1 条")))
        << Frame()->StatusText().toStdString();
    if (other != nullptr) {
        sqlite3_close(other);
    }
}
