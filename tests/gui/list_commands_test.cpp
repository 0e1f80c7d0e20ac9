// The news list by keyboard and by its menus, and the 编辑 menu's commands where the focus
// stands, in the real window offscreen.

#include <QClipboard>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>

#include "bars/search_bar.h"
#include "modal.h"
#include "page_text.h"
#include "tree_editing.h"
#include "url_catcher.h"
#include "views/command_ids.h"
#include "views/html_view.h"

namespace {

// 足球 (ID 1) holds three news of today, weather (ID 2) one; all unread.
class ListCommands : public TreeEditing {
protected:
    void SetUp() override {
        TreeEditing::SetUp();
        ExecSql(Db(),
                "insert into channel (ID, rss_title) values (1, '足球'), (2, 'weather');"
                "insert into item (ID, rss_channelID, rss_title, rss_link, rss_pubDate) values "
                "(1, 1, '开幕', '" +
                    m_server.Url("/goal") +
                    "', date('now')),"
                    "(2, 1, '球迷', 'http://fans.test/', date('now')),"
                    "(3, 1, '比赛', 'javascript:alert(1)', date('now')),"
                    "(4, 2, 'Sunny', 'http://sun.test/', date('now'));");
        m_server.Serve("/goal", "<html><body>goal article</body></html>", "text/html");
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    void OpenOn(const std::string& node, int rows) {
        Open();
        g_pListView->List().pacing().SetEnabled(false);
        ClickItem(ItemNamed(node));
        ASSERT_TRUE(QTest::qWaitFor([rows] { return ListedRows() == rows; }, 5000));
    }

    static int ListedRows() { return g_pListView->model()->rowCount(); }
    static QModelIndex Cell(int row, int column = 1) {
        return g_pListView->model()->index(row, column);
    }
    static int RowTitled(const char* title) {
        for (int row = 0; row < ListedRows(); ++row) {
            if (Cell(row).data().toString() == QString::fromUtf8(title)) {
                return row;
            }
        }
        return -1;
    }
    static void SelectRows(std::initializer_list<int> rows) {
        g_pListView->clearSelection();
        for (int row : rows) {
            g_pListView->selectionModel()->select(
                Cell(row), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        g_pListView->selectionModel()->setCurrentIndex(Cell(*rows.begin()),
                                                       QItemSelectionModel::NoUpdate);
    }
    // Right-clicks row `row` of the list and chooses `commandId` from its menu.
    static std::unique_ptr<MenuAnswer> ListCommand(int row, int commandId) {
        auto menu = std::make_unique<MenuAnswer>(commandId);
        const QPoint at = g_pListView->visualRect(Cell(row)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                g_pListView->viewport()->mapToGlobal(at));
        QApplication::sendEvent(g_pListView->viewport(), &event);
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu->Answered(); }, 2000));
        QTest::qWait(20);
        return menu;
    }
    Rows Unread() { return QueryRows(Db(), "select item_id from item_unread order by item_id"); }
    static bool Enabled(int commandId) { return Frame()->CommandAction(commandId)->isEnabled(); }
};

}  // namespace

// The menu's commands act on the selected rows; Ctrl+C copies what 复制标题和链接 does.
TEST_F(ListCommands, TheListMenuOpensCopiesAndMarksTheSelectedRows) {
    OpenOn("足球", 3);
    const int goal = RowTitled("开幕");
    const int fans = RowTitled("球迷");
    const int script = RowTitled("比赛");
    SelectRows({fans, script});
    auto copy = ListCommand(fans, ID_LIST_COPY);
    EXPECT_EQ(
        copy->texts,
        QStringList({QString::fromUtf8("打开原文"), QString::fromUtf8("在系统浏览器中打开"),
                     QString::fromUtf8("复制标题和链接\tCtrl+C"), QString::fromUtf8("标为已读"),
                     QString::fromUtf8("标为未读\tU"), QString::fromUtf8("星标\tS")}));
    EXPECT_EQ(copy->ids, (std::vector<int>{ID_LIST_OPEN_LINK, ID_LIST_OPEN_EXTERNAL, ID_LIST_COPY,
                                           ID_LIST_MARK_READ, ID_LIST_MARK_UNREAD, ID_LIST_STAR}));
    // In the list's order; the script address is no link to copy: its title comes alone.
    const QString expected = script < fans ? QString::fromUtf8("比赛\n\n球迷\nhttp://fans.test/")
                                           : QString::fromUtf8("球迷\nhttp://fans.test/\n\n比赛");
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->html().contains(
        QStringLiteral("<a href=\"http://fans.test/\">")));

    SelectRows({fans, script});
    ListCommand(fans, ID_LIST_MARK_READ);
    EXPECT_EQ(Unread(), (Rows{{"1"}, {"4"}}));
    EXPECT_FALSE(Cell(fans).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(Cell(goal).data(Qt::FontRole).value<QFont>().bold());

    SelectRows({goal});
    ListCommand(goal, ID_LIST_OPEN_LINK);
    const QUrl article(QString::fromStdString(m_server.Url("/goal")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return HtmlView()->url() == article; }, 10000));

    QApplication::clipboard()->clear();
    g_pListView->setFocus();
    SelectRows({goal});
    QTest::keyClick(g_pListView, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromUtf8("开幕\n") + QString::fromStdString(m_server.Url("/goal")));
}

// 在系统浏览器中打开 hands the address to the desktop's browser, and says so when no browser
// could be started; so does 帮助 → 更新版本.
TEST_F(ListCommands, OpeningInTheSystemBrowserSaysWhenNoBrowserCouldBeStarted) {
    OpenOn("足球", 3);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
    SelectRows({RowTitled("球迷")});
    ListCommand(RowTitled("球迷"), ID_LIST_OPEN_EXTERNAL);
    EXPECT_TRUE(QTest::qWaitFor([&] { return catcher.Count() == 1; }, 2000));
    EXPECT_EQ(catcher.Last(), QUrl(QStringLiteral("http://fans.test/")));
    EXPECT_TRUE(OpenMessageBoxText().isEmpty());
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

    // No handler and no xdg-open on the path: nothing can start a browser.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray("/nonexistent"));
    ListCommand(RowTitled("球迷"), ID_LIST_OPEN_EXTERNAL);
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return OpenMessageBoxText() == QString::fromUtf8("无法启动系统浏览器。"); }, 2000));
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            EXPECT_TRUE(box->informativeText().contains(QStringLiteral("http://fans.test/")));
            box->close();
        }
    }
    Frame()->CommandAction(ID_UPDATE_VERSION)->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return OpenMessageBoxText() == QString::fromUtf8("无法启动系统浏览器。"); }, 5000));
    qputenv("PATH", path);
}

// F6 goes tree, list, page, search bar and round again; Shift+F6 back.
TEST_F(ListCommands, F6VisitsTheTreeTheListThePageAndTheSearchBarInThatOrder) {
    OpenOn("足球", 3);
    Tree()->setFocus();
    const auto focusIn = [](QWidget* pane) {
        QWidget* focus = QApplication::focusWidget();
        return focus == pane || pane->isAncestorOf(focus);
    };
    QWidget* const order[] = {g_pListView, Frame()->BrowserPane(), Frame()->SearchBar(), Tree()};
    for (QWidget* pane : order) {
        QTest::keyClick(Frame(), Qt::Key_F6);
        EXPECT_TRUE(QTest::qWaitFor([&] { return focusIn(pane); }, 2000))
            << pane->metaObject()->className();
    }
    QTest::keyClick(Frame(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(focusIn(Frame()->SearchBar()));
}

// The list gaining the focus from the keyboard shows its current row at once, so the first
// Down shows the second row; N leaves the focus in the list, where Enter opens the item.
TEST_F(ListCommands, TheListShowsItsCurrentRowWhenItGainsTheFocusAndKeepsItAfterN) {
    OpenOn("足球", 3);
    QSignalSpy pages(g_pListView, &CTD_ListView::PageReady);
    Tree()->setFocus();
    QTest::keyClick(Frame(), Qt::Key_F6);
    ASSERT_EQ(pages.count(), 1);
    EXPECT_TRUE(pages.at(0).at(0).toString().contains(Cell(0).data().toString()));
    EXPECT_TRUE(g_pListView->selectionModel()->isRowSelected(0, QModelIndex()));
    QTest::keyClick(g_pListView, Qt::Key_Down);
    ASSERT_EQ(pages.count(), 2);
    EXPECT_TRUE(pages.at(1).at(0).toString().contains(Cell(1).data().toString()));
    // Back in the list, the row already shown is not shown again.
    QTest::keyClick(Frame(), Qt::Key_F6, Qt::ShiftModifier);
    QTest::keyClick(Frame(), Qt::Key_F6);
    EXPECT_EQ(pages.count(), 2);

    // N in the tree goes on to the third row and leaves the focus in the list.
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_N);
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->hasFocus(); }, 2000));
    EXPECT_EQ(g_pListView->currentIndex().row(), 2);
    const int target = RowTitled("开幕");
    g_pListView->setCurrentIndex(Cell(target));
    QTest::keyClick(g_pListView, Qt::Key_Return);
    const QUrl article(QString::fromStdString(m_server.Url("/goal")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return HtmlView()->url() == article; }, 10000));
}

// End and Home change the row, never the columns in view.
TEST_F(ListCommands, EndAndHomeDoNotScrollTheListSideways) {
    OpenOn("足球", 3);
    g_pListView->setColumnWidth(5, 2000);
    QScrollBar* sideways = g_pListView->horizontalScrollBar();
    ASSERT_GT(sideways->maximum(), 0);
    g_pListView->setFocus();
    g_pListView->setCurrentIndex(Cell(0, 1));
    sideways->setValue(0);
    QTest::keyClick(g_pListView, Qt::Key_End);
    EXPECT_EQ(g_pListView->currentIndex().row(), 2);
    EXPECT_EQ(sideways->value(), 0);
    sideways->setValue(sideways->maximum());
    QTest::keyClick(g_pListView, Qt::Key_Home);
    EXPECT_EQ(g_pListView->currentIndex().row(), 0);
    EXPECT_EQ(sideways->value(), sideways->maximum());
}

// 撤消, 剪切, 复制 and 粘贴 are enabled where they can act: in the search field as its text
// and the clipboard allow, in the list 复制 alone, in the tree none.
TEST_F(ListCommands, TheEditCommandsAreEnabledWhereTheyCanAct) {
    OpenOn("足球", 3);
    QApplication::clipboard()->clear();
    QLineEdit* search = Frame()->SearchBar()->SearchEdit();
    search->setFocus();
    QTest::qWait(10);
    for (int id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    QTest::keyClicks(search, QStringLiteral("abc"));
    EXPECT_TRUE(Enabled(ID_EDIT_UNDO));
    EXPECT_FALSE(Enabled(ID_EDIT_COPY));
    search->selectAll();
    EXPECT_TRUE(Enabled(ID_EDIT_CUT));
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    Frame()->CommandAction(ID_EDIT_CUT)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("abc"));
    EXPECT_TRUE(search->text().isEmpty());
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    Frame()->CommandAction(ID_EDIT_PASTE)->trigger();
    EXPECT_EQ(search->text(), QStringLiteral("abc"));

    Tree()->setFocus();
    QTest::qWait(10);
    for (int id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    g_pListView->setFocus();
    QTest::qWait(10);
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
    Frame()->CommandAction(ID_EDIT_COPY)->trigger();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(Cell(0).data().toString()));
}

// 全部标为已读 on the root's menu marks the news of every channel of the tree read.
TEST_F(ListCommands, TheRootMenuMarksEverythingRead) {
    OpenOn("足球", 3);
    ASSERT_TRUE(QTest::qWaitFor([] { return Frame()->windowTitle() == "Quillon (4)"; }, 5000));
    Command(g_hRootItem, ID_ROOT_MARK_READ);
    EXPECT_EQ(Unread(), Rows{});
    EXPECT_TRUE(QTest::qWaitFor([] { return Frame()->windowTitle() == "Quillon"; }, 5000));
    EXPECT_FALSE(Cell(0).data(Qt::FontRole).value<QFont>().bold());
}
