// Reading every day: the read state, reading by keyboard, the search of the stored news and
// the tooltips of cut cells, in the real window offscreen.

#include <QHelpEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolTip>

#include "bars/search_bar.h"
#include "page_text.h"
#include "tree_editing.h"
#include "views/command_ids.h"
#include "views/html_view.h"

namespace {

// 足球 (ID 1): two news of today, one of last week; weather (ID 2): one of today; every item
// unread as stored.
class Reading : public TreeEditing {
protected:
    void SetUp() override {
        TreeEditing::SetUp();
        ExecSql(Db(),
                "insert into channel (ID, rss_title) values (1, '足球'), (2, 'weather');"
                "insert into item (ID, rss_channelID, rss_title, rss_link, rss_description, "
                "rss_pubDate) values "
                "(1, 1, '中国足球联赛开幕', '" +
                    m_server.Url("/goal") +
                    "', '<p>本赛季<b>足球</b>联赛</p>', date('now')),"
                    "(2, 1, '球迷', 'http://fans.test/', '', date('now')),"
                    "(3, 1, '上周的比赛', 'http://match.test/', '足球', date('now', '-6 days')),"
                    "(4, 2, 'Sunny', 'http://sun.test/', 'warm', date('now'));");
        m_server.Serve("/goal", "<html><body>goal article</body></html>", "text/html");
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    void OpenFast() {
        Open();
        g_pListView->List().pacing().SetEnabled(false);
    }

    // Shows the node's news and waits until `rows` rows are listed.
    static void ShowNews(const std::string& node, int rows) {
        ClickItem(ItemNamed(node));
        ASSERT_TRUE(QTest::qWaitFor([rows] { return ListedRows() == rows; }, 5000)) << ListedRows();
    }
    static int ListedRows() { return g_pListView->model()->rowCount(); }
    static QModelIndex Cell(int row, int column = 1) {
        return g_pListView->model()->index(row, column);
    }
    static bool Bold(int row) { return Cell(row).data(Qt::FontRole).value<QFont>().bold(); }
    static QString Title(int row) { return Cell(row).data().toString(); }
    static int RowTitled(const char* title) {
        for (int row = 0; row < ListedRows(); ++row) {
            if (Title(row) == QString::fromUtf8(title)) {
                return row;
            }
        }
        return -1;
    }
    // The tooltip's line of counts, below the node's name.
    static QString TooltipOf(const std::string& node) {
        return ItemNamed(node)->toolTip(0).section(QLatin1Char('\n'), 1, 1);
    }
    static bool WaitForCaption(const char* caption) {
        return QTest::qWaitFor(
            [caption] { return Frame()->windowTitle() == QString::fromUtf8(caption); }, 5000);
    }
    // Each item's ID and 1 when it is read, 0 when not.
    Rows ReadFlags() {
        return QueryRows(Db(),
                         "select ID, ID not in (select item_id from item_unread) from item "
                         "order by ID");
    }
    Rows UnreadCount() { return QueryRows(Db(), "select count(*) from item_unread"); }
};

}  // namespace

// A page shown marks its item read everywhere: the row, the database, the tree's label and
// tooltip, the window's caption; and so it stays after a restart.
TEST_F(Reading, AShownPageMarksItsItemReadEverywhereAndItStaysReadAfterARestart) {
    OpenFast();
    ASSERT_TRUE(WaitForCaption("Quillon (4)")) << Frame()->windowTitle().toStdString();
    EXPECT_TRUE(ItemNamed("足球")->font(0).bold());
    EXPECT_EQ(TooltipOf("足球"), QString::fromUtf8("最近新闻：共 3 条，未读 3 条"));
    EXPECT_EQ(TooltipOf("体育"), QString::fromUtf8("最近新闻：共 3 条，未读 3 条"));
    EXPECT_EQ(TooltipOf("Rock 'n' Roll"), QString::fromUtf8("最近新闻：共 0 条，未读 0 条"));
    EXPECT_FALSE(ItemNamed("Rock 'n' Roll")->font(0).bold());
    EXPECT_EQ(ItemNamed("足球")->text(0), QString::fromUtf8("足球|3"));

    ShowNews("足球", 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(Bold(row)) << row;
    }
    const int row = RowTitled("球迷");
    QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                      g_pListView->visualRect(Cell(row)).center());
    EXPECT_FALSE(Bold(row));
    EXPECT_TRUE(Bold(RowTitled("中国足球联赛开幕")));
    EXPECT_EQ(ReadFlags(), (Rows{{"1", "0"}, {"2", "1"}, {"3", "0"}, {"4", "0"}}));
    EXPECT_TRUE(WaitForCaption("Quillon (3)")) << Frame()->windowTitle().toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return TooltipOf("足球") == QString::fromUtf8("最近新闻：共 3 条，未读 2 条"); },
        5000));
    // The caption follows the unread news whatever else sets it.
    Frame()->setWindowTitle(QStringLiteral("something else"));
    EXPECT_EQ(Frame()->windowTitle(), QString::fromUtf8("Quillon (3)"));

    Close();
    OpenFast();
    EXPECT_TRUE(WaitForCaption("Quillon (3)")) << Frame()->windowTitle().toStdString();
    ShowNews("足球", 3);
    EXPECT_FALSE(Bold(RowTitled("球迷")));
    EXPECT_TRUE(Bold(RowTitled("上周的比赛")));
}

// The channel and folder menus mark their news read, the 编辑 menu every news; the list, the
// tree and the caption follow.
TEST_F(Reading, TheMenusMarkAChannelAFolderOrEverythingRead) {
    OpenFast();
    ASSERT_TRUE(WaitForCaption("Quillon (4)"));
    ShowNews("weather", 1);
    Command(ItemNamed("体育"), ID_FOLDER_MARK_READ);
    EXPECT_EQ(ReadFlags(), (Rows{{"1", "1"}, {"2", "1"}, {"3", "1"}, {"4", "0"}}));
    EXPECT_TRUE(WaitForCaption("Quillon (1)")) << Frame()->windowTitle().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([] { return !ItemNamed("体育")->font(0).bold(); }, 5000));
    EXPECT_TRUE(Bold(0));

    Command(ItemNamed("weather"), ID_KEY_MARK_READ);
    EXPECT_FALSE(Bold(0));
    EXPECT_TRUE(WaitForCaption("Quillon"));

    ExecSql(Db(), "insert into item_unread select ID, rss_channelID, rss_pubDate from item");
    Tree()->RefreshCounts();
    ASSERT_TRUE(WaitForCaption("Quillon (4)"));
    Frame()->CommandAction(ID_MARK_ALL_READ)->trigger();
    EXPECT_EQ(ReadFlags(), (Rows{{"1", "1"}, {"2", "1"}, {"3", "1"}, {"4", "1"}}));
    EXPECT_TRUE(WaitForCaption("Quillon"));
}

// Arrows, Page Up and Down, Home and End show the page of the row they reach, as a click
// does; Enter opens the item's link, as a double click does.
TEST_F(Reading, MovingThroughTheListByKeyboardShowsEachPageAndEnterOpensTheLink) {
    OpenFast();
    ShowNews("足球", 3);
    g_pListView->setFocus();
    QSignalSpy pages(g_pListView, &CTD_ListView::PageReady);
    g_pListView->setCurrentIndex(Cell(0));
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown, Qt::Key_Up}) {
        QTest::keyClick(g_pListView, key);
    }
    ASSERT_EQ(pages.count(), 5);
    EXPECT_TRUE(pages.at(1).at(0).toString().contains(Title(2)));  // End: the last row
    EXPECT_TRUE(pages.at(2).at(0).toString().contains(Title(0)));  // Home: the first
    EXPECT_EQ(UnreadCount(), (Rows{{"1"}}));                       // weather's

    g_pListView->setCurrentIndex(Cell(RowTitled("中国足球联赛开幕")));
    QTest::keyClick(g_pListView, Qt::Key_Return);
    const QUrl article(QString::fromStdString(m_server.Url("/goal")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return HtmlView()->url() == article; }, 10000));
}

// A selection moved by the keyboard loads the node it rests on once, after the delay, and
// none of those it passed; Enter loads at once.
TEST_F(Reading, TheTreeLoadsTheNodeTheKeyboardSelectionRestsOn) {
    OpenFast();
    std::vector<std::string> loads;
    QObject::connect(Tree(), &CTD_TreeView::NodeClicked,
                     [&loads](const CKeywordNode& node) { loads.emplace_back(node.name); });
    Tree()->setFocus();
    Tree()->expandAll();
    Tree()->setCurrentItem(g_hRootItem);
    // 我的频道, 体育, 足球, 球类: three moves in a row, faster than the delay.
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(Tree(), Qt::Key_Down);
    }
    EXPECT_EQ(Tree()->currentItem(), ItemNamed("球类"));
    QTest::qWait(CTD_TreeView::kKeyboardLoadDelayMs / 2);
    EXPECT_TRUE(loads.empty());
    QTest::keyClick(Tree(), Qt::Key_Up);
    EXPECT_TRUE(QTest::qWaitFor([&] { return loads.size() == 1; }, 5000));
    QTest::qWait(CTD_TreeView::kKeyboardLoadDelayMs * 2);
    EXPECT_EQ(loads, std::vector<std::string>{"足球"});
    EXPECT_TRUE(QTest::qWaitFor([] { return ListedRows() == 3; }, 5000));

    Tree()->setCurrentItem(ItemNamed("weather"));
    QTest::keyClick(Tree(), Qt::Key_Return);
    EXPECT_EQ(loads, (std::vector<std::string>{"足球", "weather"}));
    EXPECT_TRUE(QTest::qWaitFor([] { return ListedRows() == 1; }, 5000));

    // F6 still moves on to the next pane.
    QTest::keyClick(Frame(), Qt::Key_F6);
    EXPECT_TRUE(Frame()->Panes()[1]->isAncestorOf(QApplication::focusWidget()) ||
                Frame()->Panes()[1]->hasFocus());
}

// N and Space show the next unread item: on in the list, then in the next channel with
// unread news, and say so when there is none.
TEST_F(Reading, NextUnreadGoesThroughTheListThenOnToTheNextChannel) {
    OpenFast();
    ASSERT_TRUE(WaitForCaption("Quillon (4)"));
    ShowNews("足球", 3);
    Tree()->setCurrentItem(ItemNamed("足球"));
    // Gaining the focus, the list shows its first row; N and Space go on from there.
    g_pListView->setFocus();
    EXPECT_EQ(g_pListView->currentIndex().row(), 0);
    for (int step = 1; step < 3; ++step) {
        QTest::keyClick(g_pListView, step == 1 ? Qt::Key_Space : Qt::Key_N);
        EXPECT_EQ(g_pListView->currentIndex().row(), step);
    }
    EXPECT_EQ(UnreadCount(), (Rows{{"1"}}));
    // The list has nothing left: the next channel with unread news, weather, loads, and its
    // first unread item shows.
    ASSERT_TRUE(QTest::qWaitFor([] { return !ItemNamed("足球")->font(0).bold(); }, 5000));
    QTest::keyClick(g_pListView, Qt::Key_N);
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return ListedRows() == 1 && Title(0) == QStringLiteral("Sunny"); }, 5000));
    EXPECT_EQ(Tree()->currentItem(), ItemNamed("weather"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return ReadFlags() == Rows{{"1", "1"}, {"2", "1"}, {"3", "1"}, {"4", "1"}};
        },
        5000));
    ASSERT_TRUE(WaitForCaption("Quillon"));
    Frame()->CommandAction(ID_NEXT_UNREAD)->trigger();
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8(CMainFrame::kNoUnreadText));
}

// Ctrl+F reaches the search field; what is typed lists the stored news that hold it, of every
// channel and age; Esc brings back the list of the selected node.
TEST_F(Reading, TheSearchFieldListsTheStoredNewsThatHoldTheTextAndEscEndsIt) {
    ExecSql(Db(),
            "insert into item (rss_channelID, rss_title, rss_description, rss_pubDate) "
            "values (2, '很久以前', '一场足球赛', '2001-01-01')");
    OpenFast();
    ShowNews("weather", 1);
    Frame()->CommandAction(ID_EDIT_FIND)->trigger();
    QLineEdit* field = Frame()->SearchBar()->SearchEdit();
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->placeholderText(), QString::fromUtf8("搜索已存新闻"));
    // As typed through an input method (QTest types ASCII only): one character, then another.
    field->insert(QString::fromUtf8("足"));
    field->insert(QString::fromUtf8("球"));
    ASSERT_TRUE(QTest::qWaitFor([] { return ListedRows() == 3; }, 5000)) << ListedRows();
    EXPECT_EQ(Title(0), QString::fromUtf8("中国足球联赛开幕"));
    EXPECT_EQ(Title(1), QString::fromUtf8("上周的比赛"));
    EXPECT_EQ(Title(2), QString::fromUtf8("很久以前"));
    EXPECT_EQ(Cell(2, 2).data().toString(), QStringLiteral("weather"));
    EXPECT_EQ(Cell(2, 0).data().toString(), QString::fromUtf8("早期新闻"));
    EXPECT_TRUE(g_pListView->ShowsSearch());
    // The search bar's Enter searches; it does not open the address.
    const QUrl before = HtmlView()->url();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(HtmlView()->url(), before);

    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return ListedRows() == 1 && Title(0) == QStringLiteral("Sunny"); }, 5000));
    EXPECT_FALSE(g_pListView->ShowsSearch());
}

// A cell whose text does not fit shows the whole text as its tooltip; one that fits shows none.
// The row holds the whole stored title, here 186 code-page bytes.
TEST_F(Reading, ACutCellShowsItsWholeTextAsItsTooltip) {
    std::string longTitle = "一条标题很长很长的新闻";
    for (int i = 0; i < 60; ++i) {
        longTitle += "长";
    }
    longTitle += std::string(40, 'x') + "结尾";
    ExecSql(Db(), "insert into item (rss_channelID, rss_title, rss_pubDate) values (2, '" +
                      longTitle + "', date('now'))");
    OpenFast();
    ShowNews("weather", 2);
    const int row = RowTitled("Sunny") == 0 ? 1 : 0;
    EXPECT_EQ(Cell(row).data().toString(), QString::fromStdString(longTitle));
    EXPECT_EQ(g_pListView->CutCellText(Cell(row)), QString::fromStdString(longTitle));
    EXPECT_EQ(g_pListView->CutCellText(Cell(RowTitled("Sunny"))), QString());
    EXPECT_EQ(g_pListView->CutCellText(Cell(row, 2)), QString());
    // Narrowed, the channel's column cuts its text too.
    g_pListView->setColumnWidth(2, 20);
    EXPECT_EQ(g_pListView->CutCellText(Cell(row, 2)), QStringLiteral("weather"));
    // Hovering shows it.
    const QPoint pos = g_pListView->visualRect(Cell(row)).center();
    QHelpEvent help(QEvent::ToolTip, pos, g_pListView->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(g_pListView->viewport(), &help);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QToolTip::text() == QString::fromStdString(longTitle); }, 2000));
}
