// What the window shows after a change: the open list after an update, the caption's count,
// the mark of a failing feed and the update's summary; and what it keeps across a restart
// or an edit of the tree. In the real window offscreen.

#include <algorithm>

#include <QPushButton>
#include <QScrollBar>

#include "modal.h"
#include "tree_editing.h"
#include "views/app_icons.h"
#include "views/command_ids.h"

namespace {

std::string Feed(std::initializer_list<const char*> titles) {
    std::string feed = "<rss version=\"2.0\"><channel><title>t</title>";
    for (const char* title : titles) {
        feed += std::string("<item><title>") + title + "</title></item>";
    }
    return feed + "</channel></rss>";
}

class AfterChange : public TreeEditing {
protected:
    std::string Db() const { return m_folder.File("data/data.dat"); }

    void OpenAndSettle() {
        Open();
        ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 10000));
        g_pListView->List().pacing().SetEnabled(false);
        QCoreApplication::processEvents();
    }
    static void ShowNews(const char* node, int rows) {
        ClickItem(ItemNamed(node));
        ASSERT_TRUE(QTest::qWaitFor([rows] { return ListedRows() == rows; }, 5000)) << ListedRows();
    }
    static int ListedRows() { return g_pListView->model()->rowCount(); }
    static QModelIndex Cell(int row) { return g_pListView->model()->index(row, 1); }
    static QString Title(int row) { return Cell(row).data().toString(); }
    static bool Bold(int row) { return Cell(row).data(Qt::FontRole).value<QFont>().bold(); }
    static int RowTitled(const QString& title) {
        for (int row = 0; row < ListedRows(); ++row) {
            if (Title(row) == title) {
                return row;
            }
        }
        return -1;
    }
    static QStringList SelectedTitles() {
        QStringList titles;
        for (const QModelIndex& index : g_pListView->selectionModel()->selectedRows(1)) {
            titles << index.data().toString();
        }
        return titles;
    }
};

}  // namespace

// An update that stores news adds them to the open list, bold, while the selected row stays
// selected and the list stays at its top.
TEST_F(AfterChange, TheOpenListGainsTheNewsOfAnUpdateKeepingItsSelection) {
    m_server.Serve("/ns", Feed({"first", "second"}));
    OpenAndSettle();
    ShowNews("足球", 2);
    const int second = RowTitled("second");
    QTest::mouseClick(g_pListView->viewport(), Qt::LeftButton, {},
                      g_pListView->visualRect(Cell(second)).center());
    ASSERT_FALSE(Bold(second));

    m_server.Serve("/ns", Feed({"third", "fourth", "first", "second"}));
    App()->UpdateAll();
    ASSERT_TRUE(QTest::qWaitFor([] { return ListedRows() == 4; }, 10000)) << ListedRows();
    EXPECT_TRUE(Bold(RowTitled("third")));
    EXPECT_TRUE(Bold(RowTitled("fourth")));
    EXPECT_FALSE(Bold(RowTitled("second")));
    EXPECT_EQ(Title(g_pListView->currentIndex().row()), QStringLiteral("second"));
    EXPECT_EQ(SelectedTitles(), QStringList{QStringLiteral("second")});
    EXPECT_EQ(g_pListView->verticalScrollBar()->value(), 0);
}

// Scrolled down, the rows in view stay in view when news arrive above them.
TEST_F(AfterChange, AScrolledListKeepsItsRowsInViewWhenNewsArrive) {
    std::string items;
    for (int i = 0; i < 80; ++i) {
        items += (i ? "," : "") + std::string("(1, 'old ") + std::to_string(i) +
                 "', date('now', '-" + std::to_string(1 + i / 10) + " days'))";
    }
    ExecSql(Db(),
            "insert into channel (ID, rss_title) values (1, '足球');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values " +
                items);
    m_server.Serve("/ns", Feed({}));
    OpenAndSettle();
    ShowNews("足球", 80);
    g_pListView->scrollTo(Cell(40), QAbstractItemView::PositionAtTop);
    g_pListView->setCurrentIndex(Cell(45));
    const QString top = Title(g_pListView->rowAt(0));
    const QString current = Title(45);

    ExecSql(Db(),
            "insert into item (rss_channelID, rss_title, rss_pubDate) values "
            "(1, 'new a', date('now')), (1, 'new b', date('now'))");
    Tree()->RefreshCounts();
    ASSERT_TRUE(QTest::qWaitFor([] { return ListedRows() == 82; }, 10000));
    EXPECT_EQ(Title(g_pListView->rowAt(0)), top);
    EXPECT_EQ(Title(g_pListView->currentIndex().row()), current);
    EXPECT_EQ(SelectedTitles(), QStringList{current});
    EXPECT_TRUE(Bold(RowTitled("new a")));
}

// Two folders holding a channel of one name count its news once in the caption and the
// root, and news of a channel no longer in the tree count nowhere.
TEST_F(AfterChange, TheCaptionCountsEachItemOnceAndOnlyChannelsOfTheTree) {
    m_folder.WriteFile(
        "document/keywordlist.xml",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
        "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
        "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>甲</TEXT>"
        "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT></KEYWORDNODE>"
        "</KEYWORDNODE>"
        "<KEYWORDNODE><ID>2</ID><NODETYPE>FOLDER</NODETYPE><TEXT>乙</TEXT>"
        "<KEYWORDNODE><ID>4</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT></KEYWORDNODE>"
        "<KEYWORDNODE><ID>5</ID><NODETYPE>KEY</NODETYPE><TEXT>weather</TEXT></KEYWORDNODE>"
        "</KEYWORDNODE></KEYWORDTREE>");
    ExecSql(Db(),
            "insert into channel (ID, rss_title) values (1, '足球'), (2, 'weather'), "
            "(3, 'gone');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values "
            "(1, 'a', date('now')), (1, 'b', date('now')), (1, 'c', date('now')),"
            "(2, 'd', date('now')), (3, 'e', date('now')), (3, 'f', date('now'))");
    m_server.Serve("/ns", Feed({}));
    OpenAndSettle();
    EXPECT_TRUE(QTest::qWaitFor([] { return Frame()->windowTitle() == "Quillon (4)"; }, 5000))
        << Frame()->windowTitle().toStdString();
    EXPECT_EQ(g_hRootItem->text(0), QString::fromUtf8("我的频道|4"));

    // Deleted, weather's news leave the count; they stay in the database.
    AnswerNextModal<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->text(),
                  QString::fromUtf8("将删除 1 个频道，它的 1 条新闻保留在数据库中，确定吗？"));
        box->button(QMessageBox::Ok)->click();
    });
    Command(ItemNamed("weather"), ID_KEY_DELETE);
    EXPECT_TRUE(QTest::qWaitFor([] { return Frame()->windowTitle() == "Quillon (3)"; }, 5000))
        << Frame()->windowTitle().toStdString();
    EXPECT_EQ(QueryRows(Db(), "select count(*) from item"), Rows{{"6"}});
}

// A subscribed feed that fails marks its channel, even though the channel's search answered;
// the mark is a grey icon under a red sign covering a third of it. The summary names the
// failing channels.
TEST_F(AfterChange, AFailingSubscribedFeedMarksItsChannelAndTheSummaryNamesIt) {
    m_server.Serve("/ns", Feed({"found"}));
    ExecSql(Db(), "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('足球', '" +
                      m_server.Url("/missing.xml") + "', '')");
    OpenAndSettle();
    QTreeWidgetItem* football = ItemNamed("足球");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return football->data(0, CTD_TreeView::kWarningRole).toBool(); }, 10000));
    EXPECT_FALSE(ItemNamed("weather")->data(0, CTD_TreeView::kWarningRole).toBool());
    EXPECT_TRUE(football->toolTip(0).contains(QString::fromUtf8("：找不到该页面（HTTP 404）")))
        << football->toolTip(0).toStdString();
    EXPECT_EQ(Frame()->UpdateText(),
              QString::fromUtf8("更新完成：新增 3 条新闻，1 个来源失败（足球）"));

    const QImage plain = ChannelIcon().pixmap(16, 16).toImage();
    const QImage marked = WarnedChannelIcon().pixmap(16, 16).toImage();
    int differing = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QColor a = plain.pixelColor(x, y);
            const QColor b = marked.pixelColor(x, y);
            differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                                     std::abs(a.blue() - b.blue()) >
                                 120
                             ? 1
                             : 0;
        }
    }
    EXPECT_GE(differing, 16 * 16 / 3);
}

// With no server to reach, the summary says so rather than blaming the search service.
TEST_F(AfterChange, WithoutAConnectionTheSummarySaysSo) {
    m_folder.WriteFile("data/services.conf",
                       "search.baidu = http://127.0.0.1:1\nsite.publisher = http://127.0.0.1:1\n");
    Open();
    ASSERT_TRUE(QTest::qWaitFor([] { return !theStore.Engine().Updating(); }, 20000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Frame()->UpdateText().endsWith(
        QString::fromUtf8("。无法连接：没有一个新闻源或搜索服务能够连接，请检查网络连接后再更新")))
        << Frame()->UpdateText().toStdString();
}

// The window's place and the tree's first row in view come back after a restart; a fresh
// start shows the tree's root.
TEST_F(AfterChange, TheWindowAndTheTreeComeBackWhereTheyWere) {
    std::string tree =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
        "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>";
    for (int id = 1; id <= 60; ++id) {
        tree += "<KEYWORDNODE><ID>" + std::to_string(id) +
                "</ID><NODETYPE>KEY</NODETYPE><TEXT>频道" + std::to_string(id) +
                "</TEXT></KEYWORDNODE>";
    }
    m_folder.WriteFile("document/keywordlist.xml", tree + "</KEYWORDTREE>");
    m_server.Serve("/ns", Feed({}));
    Open();
    EXPECT_EQ(Tree()->itemAt(0, 0), Tree()->StarredItem());
    // A size the window's layout allows, or the window would not take it.
    const QSize least = Frame()->minimumSizeHint();
    const QRect place(30, 20, std::max(640, least.width() + 20),
                      std::max(480, least.height() + 20));
    Frame()->setGeometry(place);
    QTest::qWait(50);
    Tree()->scrollToItem(ItemNamed("频道30"), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(Tree()->itemAt(0, 0), ItemNamed("频道30"));

    Close();
    Open();
    EXPECT_EQ(Frame()->geometry(), place);
    EXPECT_EQ(Tree()->itemAt(0, 0), ItemNamed("频道30"));
}

// A folder or channel just added is selected, in view and listed; after a drag the list
// shows the node that moved, which is the one selected.
TEST_F(AfterChange, ANewOrDraggedNodeIsSelectedShownAndListed) {
    m_server.Serve("/ns", Feed({}));
    OpenAndSettle();
    std::vector<std::string> listed;
    QObject::connect(Tree(), &CTD_TreeView::NodeClicked,
                     [&listed](const CKeywordNode& node) { listed.emplace_back(node.name); });
    ShowNews("weather", 0);
    ItemNamed("体育")->setExpanded(false);
    DialogAnswer name(QString::fromUtf8("新频道"), true);
    Command(ItemNamed("体育"), ID_FOLDER_ADD_KEY, &name);
    QTreeWidgetItem* added = ItemNamed("新频道");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(Tree()->currentItem(), added);
    EXPECT_TRUE(Tree()->viewport()->rect().contains(Tree()->visualItemRect(added)));
    EXPECT_EQ(listed.back(), "新频道");

    ShowNews("weather", 0);
    DragOnto(ItemNamed("足球"), ItemNamed("球类"));
    EXPECT_EQ(Tree()->currentItem(), ItemNamed("足球"));
    EXPECT_EQ(listed.back(), "足球");
    EXPECT_TRUE(Consistent());
}
