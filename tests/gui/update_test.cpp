// Keeping the reader current from the window: 全部更新, the timer, the refresh of one
// channel and of one just added, and what the status bar, the tree and the settings say of it.

#include <httplib.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <atomic>
#include <memory>

#include "app/news_notifier.h"
#include "dialogs/opml_dialog.h"
#include "dialogs/sys_dialog.h"
#include "modal.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "views/command_ids.h"
#include "views/tree_commands.h"

using namespace std::chrono_literals;

namespace {

constexpr char kFeed[] =
    "<rss version=\"2.0\"><channel><title>t</title><item><title>first</title></item>"
    "<item><title>second</title></item></channel></rss>";

std::string FeedOfRound(int round) {
    if (round == 0) {
        return kFeed;
    }
    const std::string n = std::to_string(round);
    return "<rss version=\"2.0\"><channel><title>t</title><item><title>first of " + n +
           "</title></item><item><title>second of " + n + "</title></item></channel></rss>";
}

class Updates : public ReaderWindow {
protected:
    void SetUp() override {
        ReaderWindow::SetUp();
        // 足球 and Rock 'n' Roll find news; weather's search answers 404 until a test serves
        // it. A search may be held until the test lets it go.
        m_server.Handle("/ns", [held = m_held, waiting = m_waiting, round = m_round](
                                   const httplib::Request& request, httplib::Response& response) {
            const auto start = std::chrono::steady_clock::now();
            ++*waiting;
            while (*held && std::chrono::steady_clock::now() - start < 30s) {
                std::this_thread::sleep_for(5ms);
            }
            --*waiting;
            if (request.get_param_value("word").find("weather") != std::string::npos) {
                response.status = 404;
                return;
            }
            response.set_content(FeedOfRound(*round), "application/rss+xml");
        });
    }
    void TearDown() override {
        *m_held = false;
        ReaderWindow::TearDown();
    }

    // Opens the window and waits until the start's update has ended and the window heard so.
    void OpenAndSettle() {
        Open();
        ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 10000));
        QCoreApplication::processEvents();
    }

    static int Started() { return theStore.Engine().UpdatesStarted(); }

    // Shared with the server's handler, which may still wait a moment after the test: whether
    // searches are held, and how many are.
    std::shared_ptr<std::atomic<bool>> m_held = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<int>> m_waiting = std::make_shared<std::atomic<int>>(0);
    // Above 0, the searches answer with two items of that round's own.
    std::shared_ptr<std::atomic<int>> m_round = std::make_shared<std::atomic<int>>(0);
};

}  // namespace

// 全部更新 sits right after 我要订阅; F5 starts an update, whose progress and summary the
// status bar shows (in a pane of their own, beside the news list's messages); while one runs,
// another starts nothing and the status bar says so.
TEST_F(Updates, UpdateAllStartsAnUpdateUnlessOneRunsAndTheStatusBarFollowsIt) {
    OpenAndSettle();
    const QList<QAction*> file = Frame()->menuBar()->actions().first()->menu()->actions();
    ASSERT_GE(file.size(), 4);
    EXPECT_EQ(file[0]->data().toInt(), ID_EXPORT_OPML);
    EXPECT_EQ(file[1]->data().toInt(), ID_SUBSCRIBE);
    EXPECT_EQ(file[2]->data().toInt(), ID_SUBSCRIBE_FEED);
    EXPECT_EQ(file[3]->data().toInt(), ID_UPDATE_ALL);
    EXPECT_EQ(file[3]->text(), QString::fromUtf8("全部更新\tF5"));
    // Five pages of each channel's search: weather's five answered 404.
    EXPECT_EQ(Frame()->UpdateText(),
              QString::fromUtf8("更新完成：新增 4 条新闻，5 个来源失败（weather）"));
    EXPECT_FALSE(Frame()->UpdateProgressBar()->isVisible());

    *m_held = true;
    QTest::keyClick(Frame(), Qt::Key_F5);
    EXPECT_EQ(Started(), 2);
    ASSERT_TRUE(QTest::qWaitFor([] { return Frame()->UpdateProgressBar()->isVisible(); }, 5000));
    EXPECT_TRUE(Frame()->UpdateText().startsWith(QString::fromUtf8("正在更新：")));
    Frame()->CommandAction(ID_UPDATE_ALL)->trigger();
    EXPECT_EQ(Started(), 2);
    EXPECT_EQ(Frame()->UpdateText(),
              QString::fromUtf8("正在更新，本次未重新开始：请等这次更新完成"));

    *m_held = false;
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 10000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(Frame()->UpdateProgressBar()->isVisible());
    // Nothing new this time; weather's search is backing off and was not asked, and the
    // summary counts its five pages as tried again later.
    EXPECT_EQ(Frame()->UpdateText(),
              QString::fromUtf8("更新完成：新增 0 条新闻，5 个来源稍后再试"));
}

// The timer, at a test's interval, starts updates; while one is held it starts none beside
// it; an interval of 0 in 系统设置 stops it.
TEST_F(Updates, TheTimerStartsUpdatesOneAtATimeAndZeroStopsIt) {
    OpenAndSettle();
    EXPECT_TRUE(App()->UpdateTimer().isActive());
    EXPECT_EQ(App()->UpdateTimer().intervalAsDuration(), 30min);

    App()->SetUpdateTimerInterval(50ms);
    EXPECT_TRUE(QTest::qWaitFor([] { return Started() >= 3; }, 10000));

    *m_held = true;
    ASSERT_TRUE(QTest::qWaitFor([this] { return *m_waiting > 0; }, 5000));
    const int held = Started();
    QTest::qWait(400);  // eight ticks
    EXPECT_EQ(Started(), held);
    *m_held = false;
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 10000));

    AnswerNextModal<CTD_SysDlg>([](CTD_SysDlg* dialog) {
        EXPECT_EQ(dialog->IntervalEdit()->text(), QStringLiteral("30"));
        dialog->IntervalEdit()->setText(QStringLiteral("0"));
        dialog->accept();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
    EXPECT_FALSE(App()->UpdateTimer().isActive());
    EXPECT_EQ(theStore.MoreSettings().Get(CAppSettings::kUpdateIntervalMinutes), 0);
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 10000));
    const int stopped = Started();
    QTest::qWait(300);
    EXPECT_EQ(Started(), stopped);

    Close();
    EXPECT_NE(m_folder.ReadFile("data/settings.conf").find("update.interval_minutes = 0"),
              std::string::npos);
}

// 刷新该频道 fetches the channel's subscribed feeds too, and a channel just added is fetched
// at once: search and subscribed feeds, without waiting for the next update.
TEST_F(Updates, RefreshedAndNewChannelsAreFetchedWithTheirSubscribedFeeds) {
    m_server.Serve("/weather.xml", kFeed);
    m_server.Serve("/new.xml", kFeed);
    ExecSql(m_folder.File("data/data.dat"),
            "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('weather', '" +
                m_server.Url("/weather.xml") + "', ''), ('新频道', '" + m_server.Url("/new.xml") +
                "', '')");
    OpenAndSettle();
    const int weatherHits = m_server.HitCount("/weather.xml");
    EXPECT_EQ(weatherHits, 1);

    QTreeWidgetItem* weather = ItemNamed("weather");
    Tree()->setCurrentItem(weather);
    Tree()->OnCommand(ID_KEY_REFRESH);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return m_server.HitCount("/weather.xml") == weatherHits + 1; }, 10000));

    ASSERT_TRUE(Tree()->Commands().AddChild(ItemNamed("体育"), NODE_KEY, "新频道"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/new.xml") == 1; }, 10000));
    const auto stored = [this] {
        return QueryRows(m_folder.File("data/data.dat"),
                         "select count(*) from item i join channel c on c.ID = i.rss_channelID "
                         "where c.rss_title = '新频道'");
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return stored() == Rows{{"2"}}; }, 10000));
    EXPECT_EQ(Started(), 1);  // fetched by itself, not by another update
}

// Updates fetch the tree as it is: a channel deleted or renamed is not fetched under its old
// name any more.
TEST_F(Updates, AnUpdateFetchesTheChannelsTheTreeHasNow) {
    m_server.Serve("/weather.xml", kFeed);
    ExecSql(m_folder.File("data/data.dat"),
            "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('weather', '" +
                m_server.Url("/weather.xml") + "', '')");
    OpenAndSettle();
    ASSERT_TRUE(Tree()->Commands().DeleteNode(ItemNamed("weather")));
    ASSERT_TRUE(Tree()->Commands().Rename(ItemNamed("足球"), "football"));
    const auto asked = [this](const std::string& word) {
        int count = 0;
        for (const std::string& target : m_server.Targets()) {
            count += target.find(word) != std::string::npos ? 1 : 0;
        }
        return count;
    };
    const int football = asked("football");
    const int soccer = asked("%D7%E3%C7%F2");  // 足球 as the service gets it, GBK
    Frame()->CommandAction(ID_UPDATE_ALL)->trigger();
    ASSERT_EQ(Started(), 2);
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 10000));
    EXPECT_EQ(m_server.HitCount("/weather.xml"), 1);
    EXPECT_EQ(asked("%D7%E3%C7%F2"), soccer);
    EXPECT_EQ(asked("football"), football + 5);
}

// Every channel a subscription adds is fetched at once, its subscribed feed among its sources.
TEST_F(Updates, ASubscriptionsChannelsAreFetchedWithoutARestart) {
    m_server.Serve("/a.xml", kFeed);
    m_server.Serve("/b.xml",
                   "<rss version=\"2.0\"><channel><title>b</title>"
                   "<item><title>third</title></item></channel></rss>");
    m_server.Serve("/list.opml",
                   "<opml version=\"1.0\"><body>"
                   "<outline title=\"甲\" xmlUrl=\"" +
                       m_server.Url("/a.xml") + "\"/><outline title=\"乙\" xmlUrl=\"" +
                       m_server.Url("/b.xml") + "\"/></body></opml>",
                   "text/x-opml");
    OpenAndSettle();
    AnswerNextModal<CTD_OpmlDlg>([this](CTD_OpmlDlg* dialog) {
        dialog->TitleEdit()->setText(QString::fromUtf8("订阅"));
        dialog->AddressEdit()->setText(QString::fromStdString(m_server.Url("/list.opml")));
        dialog->OkButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([dialog] { return dialog->IsSubscribed(); }, 10000));
        EXPECT_EQ(dialog->MessageLabel()->text(), QString::fromUtf8("已订阅 2 个频道"));
        dialog->CloseButton()->click();
    });
    Frame()->CommandAction(ID_SUBSCRIBE)->trigger();
    EXPECT_TRUE(Frame()->StatusText().startsWith(QString::fromUtf8("已订阅 2 个频道")))
        << Frame()->StatusText().toStdString();
    const auto titles = [this] {
        return QueryRows(m_folder.File("data/data.dat"),
                         "select c.rss_title, i.rss_title from item i join channel c on "
                         "c.ID = i.rss_channelID where c.rss_title in ('甲', '乙') order by 1, 2");
    };
    // A subscription's channels are their feeds: they do not search for their names.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return titles() == Rows{{"乙", "third"}, {"甲", "first"}, {"甲", "second"}};
        },
        10000));
    EXPECT_EQ(m_server.HitCount("/a.xml"), 1);
    EXPECT_EQ(m_server.HitCount("/b.xml"), 1);
    EXPECT_EQ(Started(), 1);
}

// A channel whose every source failed shows a warning mark, and every node's tooltip gives its
// whole name, its count and, for a channel, each source with its outcome.
TEST_F(Updates, TheTreeMarksAChannelWhoseSourcesAllFailedAndTellsWhy) {
    OpenAndSettle();
    QTreeWidgetItem* weather = ItemNamed("weather");
    QTreeWidgetItem* football = ItemNamed("足球");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return weather->data(0, CTD_TreeView::kWarningRole).toBool(); }, 10000));
    EXPECT_FALSE(football->data(0, CTD_TreeView::kWarningRole).toBool());
    const QString tip = weather->toolTip(0);
    EXPECT_TRUE(tip.startsWith(QString::fromUtf8("weather\n最近新闻：共 0 条，未读 0 条\n搜索 ")))
        << tip.toStdString();
    EXPECT_TRUE(tip.endsWith(QString::fromUtf8("：找不到该页面（HTTP 404）"))) << tip.toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return football->toolTip(0).contains(QString::fromUtf8("：正常")); }, 10000));
    EXPECT_TRUE(ItemNamed("体育")->toolTip(0).startsWith(QString::fromUtf8("体育\n最近新闻：")));

    // Its search answers now: refreshed, the mark goes.
    m_server.Serve("/ns", kFeed);
    Tree()->setCurrentItem(weather);
    Tree()->OnCommand(ID_KEY_REFRESH);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !weather->data(0, CTD_TreeView::kWarningRole).toBool(); }, 10000));
    EXPECT_TRUE(weather->toolTip(0).contains(QString::fromUtf8("：正常")));

    // The settings show the service's last result beside the engine.
    AnswerNextModal<CTD_SysDlg>([](CTD_SysDlg* dialog) {
        EXPECT_TRUE(dialog->ServiceResults()->text().startsWith(QString::fromUtf8("百度：正常（")))
            << dialog->ServiceResults()->text().toStdString();
        EXPECT_TRUE(
            dialog->ServiceResults()->text().contains(QString::fromUtf8("Google：尚无结果")));
        dialog->reject();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();
}

// When no search of an update gives a feed, the status bar says which service did not answer
// and why, and where to choose another.
TEST_F(Updates, ASearchServiceThatGivesNothingIsNamedInTheStatusBar) {
    m_server.Handle("/ns", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<html>not a feed</html>", "text/html");
    });
    OpenAndSettle();
    EXPECT_EQ(
        Frame()->UpdateText(),
        QString::fromUtf8("更新完成：新增 0 条新闻，15 个来源失败（足球、Rock 'n' Roll、weather）。"
                          "搜索服务“百度”没有提供新闻（不是新闻源），请在“帮助 → 系统设置”中选择"
                          "其他搜索服务"));
}

// An update that stores news while the window is minimised gives one message with their
// number; one while the window is active, or one that brings nothing new, gives none.
TEST_F(Updates, NewsOfAnUpdateWhileTheWindowIsAwayIsAnnouncedOnce) {
    OpenAndSettle();
    QSignalSpy notified(Frame()->Notifier(), &CNewsNotifier::Notified);
    const auto updateOnce = [] {
        Frame()->SetUpdateText(QString());
        App()->UpdateAll();
        return QTest::qWaitFor(
            [] { return Frame()->UpdateText().startsWith(QString::fromUtf8("更新完成")); }, 10000);
    };
    Frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
    *m_round = 1;
    ASSERT_TRUE(updateOnce());
    EXPECT_NE(Frame()->UpdateText(), QString::fromUtf8("更新完成：新增 0 条新闻"));
    EXPECT_EQ(notified.count(), 0);

    Frame()->showMinimized();
    *m_round = 2;
    ASSERT_TRUE(updateOnce());
    ASSERT_EQ(notified.count(), 1);
    const QString text = notified[0][0].toString();
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("新增 "))) << text.toStdString();
    EXPECT_TRUE(Frame()->UpdateText().contains(text)) << Frame()->UpdateText().toStdString();

    ASSERT_TRUE(updateOnce());
    EXPECT_TRUE(Frame()->UpdateText().startsWith(QString::fromUtf8("更新完成：新增 0 条新闻")))
        << Frame()->UpdateText().toStdString();
    EXPECT_EQ(notified.count(), 1);
}
