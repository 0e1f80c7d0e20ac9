#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include "bars/link_panel.h"
#include "bars/search_bar.h"
#include "model/list_mode.h"
#include "page_text.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "url_catcher.h"
#include "views/book_view.h"
#include "views/browser_pane.h"
#include "views/html_view.h"
#include "views/list_view.h"

namespace {

bool PageShows(const char* text) {
    return QTest::qWaitFor([&] { return PageText().contains(QString::fromUtf8(text)); }, 10000);
}

// Follows the first link of the page whose text holds `text`, as a click does.
void FollowLink(const QString& text) {
    HtmlView()->page()->runJavaScript(
        QStringLiteral("for (const a of document.querySelectorAll('a')) {"
                       "  if (a.textContent.includes('%1')) { a.click(); break; } }")
            .arg(text),
        QWebEngineScript::ApplicationWorld);
}

// The browser engine's helper processes that this test's window started.
int EngineProcesses() {
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& pid : children.readAll().split(' ')) {
            QFile command(QStringLiteral("/proc/%1/cmdline").arg(QString::fromLatin1(pid)));
            if (!pid.isEmpty() && command.open(QIODevice::ReadOnly) &&
                command.readAll().contains("QtWebEngineProcess")) {
                ++count;
            }
        }
    }
    return count;
}

class BrowserPane : public ReaderWindow {
protected:
    void SetUp() override {
        ReaderWindow::SetUp();
        for (const char* path : {"/one", "/two"}) {
            m_server.Serve(path, std::string("<html><body>page ") + path + "</body></html>",
                           "text/html");
        }
        // 足球 (in 体育) and weather (top level) have news of today and yesterday; 足球 also of
        // last week, which the newspaper leaves out.
        ExecSql(m_folder.File("data/data.dat"),
                "insert into channel (ID, rss_title) values (1, '足球'), (2, 'weather');"
                "insert into item (rss_channelID, rss_title, rss_link, rss_description, "
                "rss_pubDate) values "
                "(1, '<script>document.title=\"pwned\"</script>Goal & <b>win</b>', "
                "'http://goal.test/', '<p>First <i>half</i> &amp; more</p><script>x()</script>',"
                " date('now', 'localtime')),"
                "(1, 'Old match', 'http://old.test/', 'old', date('now', 'localtime', '-7 days')),"
                "(2, 'Rain yesterday', '" +
                    m_server.Url("/one") + "', 'wet', date('now', 'localtime', '-1 days'));");
    }

    static CTD_FormView* Bar() { return Frame()->SearchBar(); }
    static int ListHeight() { return Frame()->ListSplitter()->sizes()[0]; }
    static int PageHeight() { return Frame()->ListSplitter()->sizes()[1]; }

    // Whether the pane shows `url`, loaded (the history knows it only then).
    bool Shows(const QUrl& url) {
        return QTest::qWaitFor(
            [&] {
                return HtmlView()->url() == url &&
                       PageText().contains(QStringLiteral("page ") + url.path());
            },
            10000);
    }
};

}  // namespace

TEST_F(BrowserPane, ThePageStartsWithMostOfTheRightSideAndClicksKeepTheUsersSizes) {
    Open();
    const QSize client = Frame()->centralWidget()->size();
    EXPECT_EQ(Frame()->MainSplitter()->sizes()[0], std::max(client.width() / 4, 100));
    EXPECT_EQ(Frame()->RightSplitter()->sizes()[0], 30);
    EXPECT_GT(PageHeight(), ListHeight());
    EXPECT_GT(ListHeight(), 50);

    // The user's sizes survive a channel click, a click below the tree and a portal.
    Frame()->ListSplitter()->setSizes({300, 200});
    Frame()->MainSplitter()->setSizes({320, client.width() - 320});
    const QList<int> list = Frame()->ListSplitter()->sizes();
    const QList<int> main = Frame()->MainSplitter()->sizes();
    ClickItem(ItemNamed("weather"));
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                      QPoint(20, Tree()->viewport()->height() - 5));
    Bar()->AddressEdit()->setText(QString::fromStdString(m_server.Url("/one")));
    Bar()->Button(CTD_FormView::kGo)->click();
    Frame()->LinkPanel()->Button(1003)->click();
    EXPECT_EQ(Frame()->ListSplitter()->sizes(), list);
    EXPECT_EQ(Frame()->MainSplitter()->sizes(), main);
}

// Until a page needs it, the pane shows its start page without the browser engine, which
// would start its processes for it: it prints, zooms and takes the focus all the same. The
// first item page makes the engine's view, at the zoom chosen before.
TEST_F(BrowserPane, TheStartPageNeedsNoBrowserEngineUntilAnItemIsShown) {
    // The engine's zygotes outlive the windows of earlier tests run in the same process: only
    // processes started by this window count.
    const int before = EngineProcesses();
    Open();
    CBrowserPane* pane = Frame()->BrowserPane();
    ASSERT_EQ(pane->MadeView(), nullptr);
    EXPECT_EQ(g_pHtmlView, nullptr);
    auto* start = qobject_cast<QTextBrowser*>(pane->currentWidget());
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->toPlainText().contains(QString::fromUtf8("欢迎使用 Quillon 新闻阅读器")));

    Tree()->setFocus();
    QTest::keyClick(Frame(), Qt::Key_F6);  // from the tree to the list, then to the page
    QTest::keyClick(Frame(), Qt::Key_F6);
    EXPECT_TRUE(start->hasFocus());
    const qreal points = start->document()->defaultFont().pointSizeF();
    QTest::keyClick(Frame(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_GT(start->document()->defaultFont().pointSizeF(), points);
    QTemporaryDir folder;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath(QStringLiteral("start.pdf")));
    pane->Print(&printer);
    EXPECT_GT(QFileInfo(printer.outputFileName()).size(), 0);
    EXPECT_EQ(pane->MadeView(), nullptr);
    EXPECT_LE(EngineProcesses(), before);

    ClickItem(ItemNamed("足球"));
    const auto goal = [] {
        for (int row = 0; row < g_pListView->model()->rowCount(); ++row) {
            const QModelIndex cell = g_pListView->model()->index(row, 1);
            if (cell.data().toString().contains(QStringLiteral("Goal"))) {
                return cell;
            }
        }
        return QModelIndex();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return goal().isValid(); }, 10000));
    QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                      g_pListView->visualRect(goal()).center());
    ASSERT_TRUE(PageShows("First half"));
    EXPECT_EQ(pane->currentWidget(), pane->MadeView());
    EXPECT_EQ(g_pHtmlView, pane->MadeView());
    if (before == 0) {
        EXPECT_GT(EngineProcesses(), 0);
    }
    EXPECT_DOUBLE_EQ(HtmlView()->Zoom(), 1.1);
}

TEST_F(BrowserPane, TheAddressBoxFollowsThePage) {
    Open();
    EXPECT_EQ(Bar()->AddressEdit()->text(), QStringLiteral("http://"));
    HtmlView()->Navigate2(QString::fromStdString(m_server.Url("/one")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Bar()->AddressEdit()->text().toStdString() == m_server.Url("/one"); }, 10000));
    // A link followed in the page.
    HtmlView()->WriteHtml(
        QString::fromStdString("<a href=\"" + m_server.Url("/two") + "\">next</a>"),
        QUrl(QStringLiteral("about:blank")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Bar()->AddressEdit()->text() == QStringLiteral("http://"); }, 10000));
    FollowLink(QStringLiteral("next"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Bar()->AddressEdit()->text().toStdString() == m_server.Url("/two"); }, 10000));
    // What the user has typed is left alone.
    QTest::keyClicks(Bar()->AddressEdit(), QStringLiteral("x"));
    HtmlView()->Navigate2(QString::fromStdString(m_server.Url("/one")));
    ASSERT_TRUE(Shows(QUrl(QString::fromStdString(m_server.Url("/one")))));
    EXPECT_EQ(Bar()->AddressEdit()->text().toStdString(), "x" + m_server.Url("/two"));
}

TEST_F(BrowserPane, TheChineseMenuAndAltArrowsGoBackAndForward) {
    Open();
    const QUrl one(QString::fromStdString(m_server.Url("/one")));
    const QUrl two(QString::fromStdString(m_server.Url("/two")));
    HtmlView()->Navigate2(one.toString());
    ASSERT_TRUE(Shows(one));
    HtmlView()->Navigate2(two.toString());
    ASSERT_TRUE(Shows(two));

    std::unique_ptr<QMenu> menu(HtmlView()->CreateChineseMenu(one));
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            texts << action->text();
        }
    }
    EXPECT_EQ(texts, QString::fromUtf8("后退,前进,重新加载,复制链接,在系统浏览器中打开,复制")
                         .split(QLatin1Char(',')));
    const auto action = [&](const char* text) {
        for (QAction* candidate : menu->actions()) {
            if (candidate->text() == QString::fromUtf8(text)) {
                return candidate;
            }
        }
        return static_cast<QAction*>(nullptr);
    };
    EXPECT_TRUE(action("后退")->isEnabled());
    EXPECT_FALSE(action("前进")->isEnabled());
    EXPECT_FALSE(action("复制")->isEnabled());  // nothing selected
    action("复制链接")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), one.toString());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
    action("在系统浏览器中打开")->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(catcher.Last(), one);
    action("后退")->trigger();
    EXPECT_TRUE(Shows(one));

    // Alt+Right and Alt+Left, wherever the focus is in the window.
    Tree()->setFocus();
    QTest::keyClick(Frame(), Qt::Key_Right, Qt::AltModifier);
    EXPECT_TRUE(Shows(two));
    QTest::keyClick(Frame(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(Shows(one));

    // Over no link, a generated page offers no address to copy or open.
    HtmlView()->WriteHtml(QStringLiteral("<p>generated</p>"), QUrl(QStringLiteral("about:blank")));
    ASSERT_TRUE(PageShows("generated"));
    menu.reset(HtmlView()->CreateChineseMenu(QUrl()));
    EXPECT_FALSE(action("复制链接")->isEnabled());
    EXPECT_FALSE(action("在系统浏览器中打开")->isEnabled());
}

TEST_F(BrowserPane, TheNewspaperShowsTodayAndYesterdayByFolderWithEscapedTitles) {
    Open();
    Bar()->Button(CTD_FormView::kNewspaper)->click();
    EXPECT_EQ(g_nListMode.load(), kListModeBook);
    EXPECT_NE(qobject_cast<CTD_BookView*>(Frame()->ListPlace()), nullptr);
    EXPECT_EQ(ListHeight(), 0);  // the page fills the right side
    ASSERT_TRUE(PageShows("Rain yesterday"));
    const QString text = PageText();
    // The hostile title is text: shown, not run.
    EXPECT_TRUE(
        text.contains(QStringLiteral("<script>document.title=\"pwned\"</script>Goal & "
                                     "<b>win</b>")))
        << text.toStdString();
    EXPECT_NE(HtmlView()->title(), QStringLiteral("pwned"));
    EXPECT_TRUE(text.contains(QStringLiteral("First half & more")));
    EXPECT_FALSE(text.contains(QStringLiteral("x()")));
    EXPECT_FALSE(text.contains(QStringLiteral("Old match")));
    // The contents name 体育 and weather; then come 体育, its channel 足球, and weather on its
    // own.
    const int contents = text.indexOf(QString::fromUtf8("目录：体育 · weather"));
    ASSERT_GE(contents, 0) << text.toStdString();
    const int body = contents + 12;
    const int sports = text.indexOf(QString::fromUtf8("体育"), body);
    const int football = text.indexOf(QString::fromUtf8("足球"), body);
    const int weather = text.indexOf(QStringLiteral("weather"), body);
    EXPECT_TRUE(sports >= 0 && sports < football && football < weather) << text.toStdString();
    const QString html = PageHtml();
    EXPECT_FALSE(html.contains(QStringLiteral("<script")));
    EXPECT_FALSE(html.contains(QStringLiteral("<b>win")));

    // The contents lead to the headings of the page itself.
    FollowLink(QStringLiteral("weather"));
    QString hash;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            HtmlView()->page()->runJavaScript(
                QStringLiteral("location.hash"), QWebEngineScript::ApplicationWorld,
                [&hash](const QVariant& result) { hash = result.toString(); });
            return hash == QStringLiteral("#section-1");
        },
        5000))
        << hash.toStdString();
    EXPECT_TRUE(PageText().contains(QString::fromUtf8("目录")));

    // A title leads to its item page, which marks it read, and back to the newspaper.
    FollowLink(QStringLiteral("Rain yesterday"));
    EXPECT_TRUE(PageShows("详细内容"));
    EXPECT_TRUE(PageText().contains(QStringLiteral("wet")));
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "select count(*) from item_unread join item on item.ID = item_id "
                        "where item.rss_title = 'Rain yesterday'"),
              Rows{{"0"}});
    QTest::keyClick(Frame(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(PageShows("First half & more"));

    // 总列表 brings the list back with its share of the height.
    Bar()->Button(CTD_FormView::kAllNews)->click();
    EXPECT_GT(ListHeight(), 50);
    EXPECT_LT(ListHeight(), PageHeight());
}

TEST_F(BrowserPane, ListModesReloadTheSelectedNodeAtOnce) {
    Open();
    g_pListView->List().pacing().SetEnabled(false);
    ClickItem(ItemNamed("体育"));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 2; }, 5000));

    // 今日 lists the folder's news of today (the local date) without another click.
    Bar()->Button(CTD_FormView::kToday)->click();
    ASSERT_NE(g_pListView, nullptr);
    EXPECT_EQ(g_pListView->ListMode(), kListModeToday);
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() >= 1; }, 5000));
    EXPECT_LE(g_pListView->model()->rowCount(), 1);

    Bar()->Button(CTD_FormView::kNewspaper)->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pListView == nullptr; }, 5000));
    Bar()->Button(CTD_FormView::kAllNews)->click();
    ASSERT_NE(g_pListView, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 2; }, 5000));
}

TEST_F(BrowserPane, TheLockIndicatorsLightWithTheirKeys) {
    Open();
    EXPECT_FALSE(Frame()->LockIndicatorLit("CAP"));
    EXPECT_FALSE(Frame()->LockIndicatorLit("SCRL"));
    QWindow* window = Frame()->windowHandle();
    QTest::keyClick(window, Qt::Key_CapsLock);
    EXPECT_TRUE(Frame()->LockIndicatorLit("CAP"));
    QTest::keyClick(window, Qt::Key_ScrollLock);
    EXPECT_TRUE(Frame()->LockIndicatorLit("SCRL"));
    QTest::keyClick(window, Qt::Key_CapsLock);
    EXPECT_FALSE(Frame()->LockIndicatorLit("CAP"));
    EXPECT_FALSE(Frame()->LockIndicatorLit("NUM"));
}
