// Sorting the news list by a column, and zooming the page pane, in the real window offscreen.

#include <QHeaderView>

#include "app/zoom_commands.h"
#include "page_text.h"
#include "reader_window.h"

namespace {

// 足球 (ID 1) holds three Chinese titles of today, three ASCII ones of yesterday and one of
// three days ago; every item unread.
class SortAndZoom : public ReaderWindow {
protected:
    void SetUp() override {
        ReaderWindow::SetUp();
        ExecSql(Db(),
                "insert into channel (ID, rss_title) values (1, '足球');"
                "insert into item (ID, rss_channelID, rss_title, rss_pubDate) values "
                "(1, 1, '上海', datetime('now', 'start of day', '+3 minutes')), "
                "(2, 1, '北京', datetime('now', 'start of day', '+2 minutes')), "
                "(3, 1, '广州', datetime('now', 'start of day', '+1 minutes')), "
                "(4, 1, 'Gamma', date('now', '-1 days')), (5, 1, 'alpha', date('now', '-1 days')), "
                "(6, 1, 'Beta', date('now', '-1 days')), (7, 1, '旧闻', date('now', '-3 days'));");
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    void OpenFootball(int rows) {
        g_pListView->List().pacing().SetEnabled(false);
        ClickItem(ItemNamed("足球"));
        ASSERT_TRUE(QTest::qWaitFor([rows] { return Listed() == rows; }, 5000)) << Listed();
        // The load's end sorts the rows.
        QTest::qWait(100);
    }
    static int Listed() { return g_pListView->model()->rowCount(); }
    static QModelIndex Cell(int row, int column = 1) {
        return g_pListView->model()->index(row, column);
    }
    static QStringList Titles() {
        QStringList titles;
        for (int row = 0; row < Listed(); ++row) {
            titles << Cell(row).data().toString();
        }
        return titles;
    }
    static QStringList Utf8List(std::initializer_list<const char*> texts) {
        QStringList list;
        for (const char* text : texts) {
            list << QString::fromUtf8(text);
        }
        return list;
    }
    static int RowTitled(const char* title) {
        return static_cast<int>(Titles().indexOf(QString::fromUtf8(title)));
    }
    static QString CurrentTitle() {
        return Cell(g_pListView->currentIndex().row()).data().toString();
    }
    static void ClickHeader(int column) {
        QHeaderView* header = g_pListView->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    static void Zoom(Qt::Key key) { QTest::keyClick(Frame(), key, Qt::ControlModifier); }
    static bool PagesZoomedTo(double factor) {
        return qFuzzyCompare(HtmlView()->Zoom(), factor) &&
               qFuzzyCompare(HtmlView()->page()->zoomFactor(), factor);
    }
};

}  // namespace

// A header click sorts the rows within their age groups (Chinese by pinyin, ASCII ignoring
// case), a second click reverses them; the selection, N and a refresh's new rows follow the
// order, and the order holds after a restart.
TEST_F(SortAndZoom, AHeaderClickSortsWithinTheAgeGroupsAndTheOrderIsKept) {
    Open();
    OpenFootball(7);
    QHeaderView* header = g_pListView->horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), -1);
    // The load's own order: newest first.
    EXPECT_EQ(Titles().first(), QString::fromUtf8("上海"));

    g_pListView->selectionModel()->setCurrentIndex(
        Cell(RowTitled("Beta")), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ClickHeader(kColumnTitle);
    const QStringList ascending =
        Utf8List({"北京", "广州", "上海", "alpha", "Beta", "Gamma", "旧闻"});
    EXPECT_EQ(Titles(), ascending);
    EXPECT_EQ(header->sortIndicatorSection(), kColumnTitle);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(CurrentTitle(), QStringLiteral("Beta"));
    ASSERT_EQ(g_pListView->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(g_pListView->selectionModel()->selectedRows().first().row(), RowTitled("Beta"));

    ClickHeader(kColumnTitle);
    EXPECT_EQ(Titles(), Utf8List({"上海", "广州", "北京", "Gamma", "Beta", "alpha", "旧闻"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(CurrentTitle(), QStringLiteral("Beta"));

    // By date, oldest first within each group; the groups stay newest first.
    ClickHeader(kColumnDate);
    EXPECT_EQ(Titles().mid(0, 3), Utf8List({"广州", "北京", "上海"}));
    EXPECT_EQ(Titles().last(), QString::fromUtf8("旧闻"));

    // N goes to the next unread row of the order shown.
    ClickHeader(kColumnTitle);
    ASSERT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                      g_pListView->visualRect(Cell(0)).center());
    QTest::keyClick(g_pListView, Qt::Key_N);
    EXPECT_EQ(CurrentTitle(), QString::fromUtf8("广州"));

    // News stored meanwhile joins the list in its place.
    ExecSql(Db(),
            "insert into item (ID, rss_channelID, rss_title, rss_pubDate) values "
            "(9, 1, '安徽', datetime('now', 'start of day'))");
    g_pListView->RefreshSoon();
    ASSERT_TRUE(
        QTest::qWaitFor([] { return Listed() == 8; }, CTD_ListView::kRefreshDelayMs + 3000));
    EXPECT_EQ(Titles().first(), QString::fromUtf8("安徽"));
    EXPECT_EQ(CurrentTitle(), QString::fromUtf8("广州"));

    ClickHeader(kColumnTitle);  // descending
    Close();
    EXPECT_NE(m_folder.ReadFile("data/settings.conf").find("list.sort_column = 1"),
              std::string::npos);
    Open();
    EXPECT_EQ(g_pListView->horizontalHeader()->sortIndicatorSection(), kColumnTitle);
    EXPECT_EQ(g_pListView->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    OpenFootball(8);
    EXPECT_EQ(Titles().mid(0, 4), Utf8List({"上海", "广州", "北京", "安徽"}));
}

// Ctrl+= and Ctrl+- zoom the pages in steps, Ctrl+0 sets them back; a page shown later keeps
// the zoom, which holds after a restart.
TEST_F(SortAndZoom, TheZoomKeysZoomEveryPageAndTheZoomIsKept) {
    Open();
    ASSERT_TRUE(PagesZoomedTo(1.0));
    Zoom(Qt::Key_Equal);
    Zoom(Qt::Key_Equal);
    EXPECT_TRUE(PagesZoomedTo(1.25)) << HtmlView()->page()->zoomFactor();
    Zoom(Qt::Key_0);
    EXPECT_TRUE(PagesZoomedTo(1.0));
    Zoom(Qt::Key_Minus);
    EXPECT_TRUE(PagesZoomedTo(0.9));

    // The bottom step holds.
    for (int i = 0; i < 20; ++i) {
        Zoom(Qt::Key_Minus);
    }
    EXPECT_TRUE(PagesZoomedTo(0.25));
    Zoom(Qt::Key_Equal);
    EXPECT_TRUE(PagesZoomedTo(0.33));

    OpenFootball(7);
    QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                      g_pListView->visualRect(Cell(0)).center());
    EXPECT_TRUE(
        QTest::qWaitFor([] { return PageText().contains(QString::fromUtf8("上海")); }, 5000));
    EXPECT_TRUE(PagesZoomedTo(0.33)) << HtmlView()->page()->zoomFactor();

    Close();
    Open();
    EXPECT_TRUE(PagesZoomedTo(0.33)) << HtmlView()->page()->zoomFactor();
    Zoom(Qt::Key_0);
    EXPECT_TRUE(PagesZoomedTo(1.0));
}
