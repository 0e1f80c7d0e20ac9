// Stars, 星标新闻, marking unread and 只看未读, in the real window offscreen.

#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "bars/search_bar.h"
#include "modal.h"
#include "model/news_loader.h"
#include "page_text.h"
#include "tree_editing.h"
#include "views/command_ids.h"

namespace {

// 足球 (ID 1) holds three news of today and one of three days ago, weather (ID 2) one of
// yesterday, and a channel no node names one starred item, older than any list keeps; every
// item unread.
class Stars : public TreeEditing {
protected:
    void SetUp() override {
        TreeEditing::SetUp();
        ExecSql(Db(),
                "insert into channel (ID, rss_title) values (1, '足球'), (2, 'weather'), "
                "(3, 'gone');"
                "insert into item (ID, rss_channelID, rss_title, rss_pubDate) values "
                "(1, 1, '开幕', date('now')), (2, 1, '球迷', date('now')), "
                "(3, 1, '比赛', date('now')), (4, 1, '旧闻', date('now', '-3 days')), "
                "(5, 2, 'Sunny', date('now', '-1 days')), "
                "(6, 3, 'Orphan', date('now', '-400 days'));"
                "insert into item_star (item_id) values (6);");
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    void OpenOn(QTreeWidgetItem* item, int rows) {
        g_pListView->List().pacing().SetEnabled(false);
        ClickItem(item);
        ASSERT_TRUE(QTest::qWaitFor([rows] { return Listed() == rows; }, 5000)) << Listed();
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
    static int RowTitled(const char* title) {
        return static_cast<int>(Titles().indexOf(QString::fromUtf8(title)));
    }
    static QString Star(int row) {
        return g_pListView->model()->headerData(row, Qt::Vertical).toString();
    }
    static bool Bold(int row) { return Cell(row).data(Qt::FontRole).value<QFont>().bold(); }
    // Makes `row` the current and only selected row, then gives the list the focus (which
    // shows the current row's page).
    static void Select(int row) {
        g_pListView->selectionModel()->setCurrentIndex(
            Cell(row), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        g_pListView->setFocus();
    }
    static void ClickStarColumn(int row) {
        QHeaderView* header = g_pListView->verticalHeader();
        const QPoint at(header->width() / 2, header->sectionViewportPosition(row) + 3);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
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
    Rows Starred() { return QueryRows(Db(), "select item_id from item_star order by 1"); }
    Rows Unread() { return QueryRows(Db(), "select item_id from item_unread order by 1"); }
    static QString StarredLabel() { return Tree()->StarredItem()->text(0); }
};

}  // namespace

// S, the star column and the menu's 星标 each star and unstar; the tree's 星标新闻 node counts
// the stars and lists them across channels, and a starred item's page shows a star.
TEST_F(Stars, StarsAreSetByKeyClickAndMenuAndListedAboveTheTree) {
    Open();
    ASSERT_EQ(Tree()->topLevelItem(0), Tree()->StarredItem());
    ASSERT_EQ(Tree()->topLevelItem(1), g_hRootItem);
    EXPECT_TRUE(QTest::qWaitFor([] { return StarredLabel().contains(QStringLiteral("1")); }, 3000))
        << StarredLabel().toStdString();
    OpenOn(ItemNamed("足球"), 4);
    const int opening = RowTitled("开幕");
    const int fans = RowTitled("球迷");
    EXPECT_EQ(Star(opening), QString::fromUtf8("☆"));

    Select(opening);
    QTest::keyClick(g_pListView, Qt::Key_S);
    EXPECT_EQ(Starred(), (Rows{{"1"}, {"6"}}));
    EXPECT_EQ(Star(opening), QString::fromUtf8("★"));

    // A click in the star column neither selects nor reads its row.
    ClickStarColumn(fans);
    EXPECT_EQ(Starred(), (Rows{{"1"}, {"2"}, {"6"}}));
    EXPECT_EQ(g_pListView->currentIndex().row(), opening);
    EXPECT_TRUE(Bold(fans));
    ClickStarColumn(fans);
    EXPECT_EQ(Starred(), (Rows{{"1"}, {"6"}}));

    // The menu's entry is checked for a starred row, and takes its star off.
    Select(opening);
    auto menu = ListCommand(opening, ID_LIST_STAR);
    EXPECT_EQ(Starred(), (Rows{{"6"}}));
    Select(opening);
    ListCommand(opening, ID_LIST_STAR);
    QTest::keyClick(g_pListView, Qt::Key_Down);  // shows 球迷's page, unstarred
    Select(RowTitled("旧闻"));
    QTest::keyClick(g_pListView, Qt::Key_S);
    EXPECT_EQ(Starred(), (Rows{{"1"}, {"4"}, {"6"}}));
    EXPECT_TRUE(QTest::qWaitFor([] { return StarredLabel().contains(QStringLiteral("3")); }, 3000))
        << StarredLabel().toStdString();

    // Every channel and age, the newest first, each under its own channel.
    OpenOn(Tree()->StarredItem(), 3);
    EXPECT_EQ(Titles(), QStringList({QString::fromUtf8("开幕"), QString::fromUtf8("旧闻"),
                                     QStringLiteral("Orphan")}));
    EXPECT_EQ(Cell(2, 2).data().toString(), QStringLiteral("gone"));
    EXPECT_EQ(Star(2), QString::fromUtf8("★"));
    EXPECT_NE(Cell(0, 0).data(Qt::BackgroundRole), Cell(2, 0).data(Qt::BackgroundRole));
    QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                      g_pListView->visualRect(Cell(0)).center());
    EXPECT_TRUE(QTest::qWaitFor([] { return PageText().contains(QString::fromUtf8("★")); }, 5000));
}

// U makes the selected rows unread again and the tree's counts follow.
TEST_F(Stars, UMarksTheSelectedRowsUnread) {
    ExecSql(Db(), "delete from item_unread where item_id in (1, 2)");
    Open();
    OpenOn(ItemNamed("足球"), 4);
    QTreeWidgetItem* football = ItemNamed("足球");
    EXPECT_TRUE(QTest::qWaitFor([&] { return CTD_TreeView::UnreadOf(football) == 2; }, 3000));
    const int opening = RowTitled("开幕");
    ASSERT_FALSE(Bold(opening));
    Select(opening);
    QTest::keyClick(g_pListView, Qt::Key_U);
    EXPECT_EQ(Unread(), (Rows{{"1"}, {"3"}, {"4"}, {"5"}, {"6"}}));
    EXPECT_TRUE(Bold(opening));
    EXPECT_TRUE(QTest::qWaitFor([&] { return CTD_TreeView::UnreadOf(football) == 3; }, 3000));
    // The menu does the same, and is disabled while every selected row is unread.
    Select(RowTitled("球迷"));
    ListCommand(RowTitled("球迷"), ID_LIST_MARK_UNREAD);
    EXPECT_EQ(Unread().size(), 6u);
}

// 只看未读 lists only unread rows; a row read while it is on stays until the list is loaded
// again; the menu entry and the button agree; the choice outlives a restart.
TEST_F(Stars, UnreadOnlyKeepsARowReadMeanwhileUntilTheListLoadsAgain) {
    ExecSql(Db(), "delete from item_unread where item_id = 3");
    Open();
    OpenOn(ItemNamed("足球"), 4);
    QPushButton* button = Frame()->SearchBar()->Button(CTD_FormView::kUnreadOnly);
    QAction* entry = Frame()->CommandAction(ID_UNREAD_ONLY);
    ASSERT_FALSE(entry->isChecked());
    button->click();
    EXPECT_TRUE(entry->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([] { return Listed() == 3; }, 5000)) << Listed();
    EXPECT_EQ(RowTitled("比赛"), -1);

    const int opening = RowTitled("开幕");
    QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                      g_pListView->visualRect(Cell(opening)).center());
    EXPECT_TRUE(QTest::qWaitFor([] { return !Bold(RowTitled("开幕")); }, 3000));
    // News stored meanwhile refresh the list: the read row stays.
    g_pListView->RefreshSoon();
    QTest::qWait(CTD_ListView::kRefreshDelayMs + 300);
    EXPECT_NE(RowTitled("开幕"), -1);
    OpenOn(ItemNamed("足球"), 2);
    EXPECT_EQ(RowTitled("开幕"), -1);

    Close();
    Open();
    EXPECT_TRUE(Frame()->CommandAction(ID_UNREAD_ONLY)->isChecked());
    EXPECT_TRUE(Frame()->SearchBar()->Button(CTD_FormView::kUnreadOnly)->isChecked());
    OpenOn(ItemNamed("足球"), 2);
    Frame()->CommandAction(ID_UNREAD_ONLY)->trigger();
    EXPECT_FALSE(Frame()->SearchBar()->Button(CTD_FormView::kUnreadOnly)->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([] { return Listed() == 4; }, 5000)) << Listed();
}

// Deleting a channel says how many of its news are starred; they stay listed.
TEST_F(Stars, DeletingAChannelTellsOfItsStarredNews) {
    ExecSql(Db(), "insert into item_star (item_id) values (1), (4)");
    Open();
    QString asked;
    AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
        asked = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    Command(ItemNamed("足球"), ID_KEY_DELETE);
    EXPECT_EQ(asked, QString::fromUtf8("将删除 1 个频道，它的 4 条新闻（其中 2 条星标新闻）保留在"
                                       "数据库中，星标新闻仍列在“星标新闻”下，确定吗？"));
    EXPECT_EQ(ItemNamed("足球"), nullptr);
    OpenOn(Tree()->StarredItem(), 3);
}
