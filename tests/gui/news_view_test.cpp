#include <QHeaderView>
#include <QLineEdit>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "app/main_frame.h"
#include "bars/search_bar.h"
#include "model/list_mode.h"
#include "page_text.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "views/html_view.h"
#include "views/list_view.h"

namespace {

QColor Colour(std::uint32_t reference) {
    return QColor(reference & 0xFF, (reference >> 8) & 0xFF, (reference >> 16) & 0xFF);
}

class NewsView : public ReaderWindow {
protected:
    void SetUp() override {
        ReaderWindow::SetUp();
        g_nListMode = kListModeAll;
        ExecSql(
            m_folder.File("data/data.dat"),
            "insert into channel (ID, rss_title) values (1, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_link, rss_description, "
            "rss_author, rss_pubDate, rss_source) values "
            "(1, 'Sunny & warm', '" +
                m_server.Url("/article") +
                "', "
                "'<p>Clear <b>skies</b> all day</p>', 'Met Office', date('now', 'localtime'), "
                "'Weather Desk'),"
                "(1, 'Older news', 'http://old.test/', 'older', 'A', date('now', '-10 days'), 'S'),"
                "(1, 'No real date', 'http://nodate.test/', 'x', 'B', 'someday', 'S');");
        m_server.Serve("/article", "<html><body><h1>The whole article</h1></body></html>",
                       "text/html");
    }

    void OpenAndList() {
        Open();
        g_pListView->List().pacing().SetEnabled(false);
        ClickItem(ItemNamed("weather"));
        ASSERT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 3; }, 5000));
    }

    static QModelIndex Cell(int row, int column) {
        return g_pListView->model()->index(row, column);
    }

    static void ClickRow(int row) {
        QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                          g_pListView->visualRect(Cell(row, 1)).center());
    }

    // Clicks the row of "Sunny & warm" and waits until its page is shown.
    static void ShowSunnyPage() {
        const int row = Cell(1, 1).data().toString() == QStringLiteral("Sunny & warm") ? 1 : 0;
        bool loaded = false;
        const QMetaObject::Connection connection = QObject::connect(
            HtmlView(), &QWebEngineView::loadFinished, [&loaded](bool) { loaded = true; });
        ClickRow(row);
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded; }, 10000));
        QObject::disconnect(connection);
    }

    // An article whose own script retitles it "scripted".
    void ServeScriptedArticle() {
        m_server.Serve("/scripted",
                       "<html><head><title>plain</title></head><body>article"
                       "<script>document.title = 'scripted';</script></body></html>",
                       "text/html");
    }
};

}  // namespace

TEST_F(NewsView, AClickedChannelListsItsNewsNewestFirstInTheirColours) {
    OpenAndList();
    EXPECT_EQ(Cell(0, 1).data().toString(), QStringLiteral("No real date"));  // text sorts last
    const int today = Cell(1, 1).data().toString() == QStringLiteral("Sunny & warm") ? 1 : 0;
    EXPECT_EQ(Cell(today, 0).data().toString(), QString::fromUtf8("今日新闻"));
    EXPECT_EQ(Cell(today, 2).data().toString(), QStringLiteral("weather"));
    EXPECT_EQ(Cell(today, 4).data().toString(), QStringLiteral("Met Office"));
    EXPECT_EQ(Cell(today, 5).data().toString(), QStringLiteral("Weather Desk"));
    EXPECT_EQ(Cell(today, 0).data(Qt::BackgroundRole).value<QColor>(),
              Colour(theStore.Settings().CategoryColour(0)));
    EXPECT_EQ(Cell(0, 0).data().toString(), QString::fromUtf8("早期新闻"));
    EXPECT_EQ(Cell(0, 3).data().toString(), QStringLiteral("Invalid DateTime"));
    EXPECT_EQ(Cell(0, 0).data(Qt::BackgroundRole).value<QColor>(),
              Colour(theStore.Settings().CategoryColour(7)));
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return Frame()->StatusText() == QString::fromUtf8("共 3 条新闻"); }, 5000));

    // Headers and widths of the six columns; until a header is clicked the rows keep the
    // load's order, with no sort shown.
    const char* headers[] = {"新闻发布", "新闻标题", "新闻频道",
                             "发布日期", "新闻作者", "新闻来源"};
    const int widths[] = {80, 250, 100, 120, 120, 80};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(g_pListView->model()->headerData(column, Qt::Horizontal).toString(),
                  QString::fromUtf8(headers[column]));
        EXPECT_EQ(g_pListView->columnWidth(column), widths[column]);
    }
    EXPECT_TRUE(g_pListView->horizontalHeader()->sectionsClickable());
    EXPECT_EQ(g_pListView->horizontalHeader()->sortIndicatorSection(), -1);
}

TEST_F(NewsView, AClickedRowShowsItsItemPage) {
    OpenAndList();
    ShowSunnyPage();
    const QString text = PageText();
    for (const char* expected :
         {"Sunny & warm", "Weather Desk", "Met Office", "Clear skies all day", "详细内容"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
    }
    // The description is rendered as HTML, not shown as markup.
    EXPECT_FALSE(text.contains(QStringLiteral("<b>")));
    EXPECT_TRUE(PageHtml().contains(QStringLiteral("<b>skies</b>")));
}

TEST_F(NewsView, AHostileDescriptionNeitherRunsNorReads) {
    m_folder.WriteFile("secret.txt", "TOP-SECRET");
    const std::string secret = "file://" + m_folder.File("secret.txt");
    ExecSql(m_folder.File("data/data.dat"),
            "update item set rss_description = '<script>document.title=\"pwned\";"
            "document.body.innerHTML=\"pwned\"</script><img src=x onerror=\"document.title="
            "''pwned''\"><iframe src=\"" +
                secret +
                "\"></iframe><p>harmless</p>', "
                "rss_link = 'javascript:alert(1)' where rss_title = 'Older news'");
    OpenAndList();
    int row = 0;
    while (Cell(row, 1).data().toString() != QStringLiteral("Older news")) {
        ++row;
    }
    bool loaded = false;
    QObject::connect(HtmlView(), &QWebEngineView::loadFinished, [&](bool) { loaded = true; });
    ClickRow(row);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 10000));
    QTest::qWait(300);
    const QString text = PageText();
    EXPECT_TRUE(text.contains(QStringLiteral("harmless")));
    EXPECT_FALSE(text.contains(QStringLiteral("pwned")));
    EXPECT_FALSE(text.contains(QStringLiteral("TOP-SECRET")));
    EXPECT_NE(HtmlView()->title(), QStringLiteral("pwned"));
    EXPECT_FALSE(PageHtml().contains(QStringLiteral("href=\"javascript:")));
    // Nor can the pane be sent to a local file.
    HtmlView()->Navigate2(QString::fromStdString(secret));
    QTest::qWait(500);
    EXPECT_FALSE(PageText().contains(QStringLiteral("TOP-SECRET")));
}

TEST_F(NewsView, ADoubleClickOpensTheItemsLinkAndGivesThePageItsRoomBack) {
    OpenAndList();
    const int start = Frame()->ListSplitter()->sizes()[0];
    Frame()->ListSplitter()->setSizes({start + 200, 100});
    const int row = Cell(1, 1).data().toString() == QStringLiteral("Sunny & warm") ? 1 : 0;
    QTest::mouseDClick(g_pListView->viewport(), Qt::LeftButton, {},
                       g_pListView->visualRect(Cell(row, 1)).center());
    const QUrl article(QString::fromStdString(m_server.Url("/article")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return HtmlView()->url() == article; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/article") >= 1; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return PageText().contains(QStringLiteral("The whole article")); }, 10000));
    // The page gets its share back; the address box shows the article.
    EXPECT_EQ(Frame()->ListSplitter()->sizes()[0], start);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Frame()->SearchBar()->AddressEdit()->text() == article.toString(); }, 10000));
}

TEST_F(NewsView, TheBookViewAndBackGiveAFreshListThatFillsOnTheNextClick) {
    OpenAndList();
    Frame()->SwitchListPane(kListModeBook);
    Frame()->SwitchListPane(kListModeAll);
    ASSERT_NE(g_pListView, nullptr);
    EXPECT_EQ(g_pListView->model()->rowCount(), 0);
    g_pListView->List().pacing().SetEnabled(false);
    ClickItem(ItemNamed("weather"));
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 3; }, 5000));
}

TEST_F(NewsView, TodaysListShowsOnlyTodaysNews) {
    Open();
    Frame()->SwitchListPane(kListModeToday);
    g_pListView->List().pacing().SetEnabled(false);
    ClickItem(ItemNamed("weather"));
    // Seeded with the local date, as the today list reads it; the undated row is not today's.
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 1; }, 5000));
    EXPECT_EQ(Cell(0, 1).data().toString(), QStringLiteral("Sunny & warm"));
}

TEST_F(NewsView, ALinkFollowedOutOfAnItemPageRunsItsScripts) {
    ServeScriptedArticle();
    ExecSql(m_folder.File("data/data.dat"), "update item set rss_link = '" +
                                                m_server.Url("/scripted") +
                                                "' where rss_title = 'Sunny & warm'");
    OpenAndList();
    ShowSunnyPage();
    // The generated page runs nothing of its own; the user follows its link.
    HtmlView()->page()->runJavaScript(QStringLiteral("document.querySelector('a').click();"),
                                      QWebEngineScript::ApplicationWorld);
    EXPECT_TRUE(
        QTest::qWaitFor([] { return HtmlView()->title() == QStringLiteral("scripted"); }, 10000))
        << HtmlView()->title().toStdString();
}

// A link of an item page leads only to an http or https address, which opens as a web page
// of its own: a javascript: link neither runs nor switches scripts on, a data: link goes
// nowhere, and the item page stays as it was, running nothing.
TEST_F(NewsView, AScriptLinkInAnItemPageStaysInert) {
    ServeScriptedArticle();
    ExecSql(m_folder.File("data/data.dat"),
            "update item set rss_description = '<a id=\"js\" "
            "href=\"javascript:document.title=''ran''\">run</a> <a id=\"data\" "
            "href=\"data:text/html,<title>data</title>\">data</a> <a id=\"web\" href=\"" +
                m_server.Url("/scripted") + "\">web</a>' where rss_title = 'Sunny & warm'");
    OpenAndList();
    ShowSunnyPage();
    const QWebEnginePage* itemPage = HtmlView()->page();
    const QUrl shown = HtmlView()->url();
    const auto click = [](const char* id) {
        HtmlView()->page()->runJavaScript(
            QStringLiteral("document.getElementById('%1').click();").arg(QLatin1String(id)),
            QWebEngineScript::ApplicationWorld);
    };
    for (const char* id : {"js", "data"}) {
        click(id);
        QTest::qWait(700);
        ASSERT_EQ(HtmlView()->page(), itemPage) << id;
        EXPECT_FALSE(
            HtmlView()->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled))
            << id;
        EXPECT_EQ(HtmlView()->url(), shown) << id;
        EXPECT_NE(HtmlView()->title(), QStringLiteral("ran")) << id;
        EXPECT_TRUE(PageText().contains(QStringLiteral("web"))) << id;
    }
    click("web");
    EXPECT_TRUE(
        QTest::qWaitFor([] { return HtmlView()->title() == QStringLiteral("scripted"); }, 10000))
        << HtmlView()->title().toStdString();
    EXPECT_NE(HtmlView()->page(), itemPage);

    // Back leads to the item page as it was, still running nothing; forward to the web page.
    QTest::keyClick(Frame(), Qt::Key_Left, Qt::AltModifier);
    ASSERT_EQ(HtmlView()->page(), itemPage);
    EXPECT_EQ(HtmlView()->url(), shown);
    EXPECT_FALSE(itemPage->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_TRUE(PageText().contains(QStringLiteral("web")));
    // The web page was discarded while out of sight: it loads again, and runs its script.
    QTest::keyClick(Frame(), Qt::Key_Right, Qt::AltModifier);
    EXPECT_NE(HtmlView()->page(), itemPage);
    EXPECT_EQ(HtmlView()->title(), QStringLiteral("scripted"));
    EXPECT_TRUE(
        QTest::qWaitFor([] { return PageText().contains(QStringLiteral("article")); }, 10000));
    QVariant discarded;
    HtmlView()->page()->runJavaScript(QStringLiteral("document.wasDiscarded"),
                                      QWebEngineScript::ApplicationWorld,
                                      [&discarded](const QVariant& result) { discarded = result; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return discarded.isValid(); }, 5000));
    EXPECT_TRUE(discarded.toBool());
}

TEST_F(NewsView, AClickBelowTheTreeEmptiesTheListAndItsCount) {
    OpenAndList();
    Tree()->scrollToItem(g_hRootItem);
    const QPoint below(5, Tree()->viewport()->height() - 2);
    ASSERT_EQ(Tree()->itemAt(below), nullptr);
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, below);
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 0; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return Frame()->StatusText() == QString::fromUtf8("共 0 条新闻"); }, 5000))
        << Frame()->StatusText().toStdString();
}
