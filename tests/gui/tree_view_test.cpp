#include <QApplication>
#include <QDate>
#include <QMessageBox>
#include <filesystem>
#include <fstream>
#include <functional>

#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "views/app_icons.h"
#include "views/list_view.h"
#include "views/tree_file_notice.h"

namespace {

QImage IconImage(const QIcon& icon, QIcon::Mode mode) {
    return icon.pixmap(16, 16, mode).toImage();
}

std::string Label(const char* name) {
    QTreeWidgetItem* item = g_pTreeView ? nullptr : nullptr;
    for (CNodeMap::Handle handle : g_pTreeView->Nodes().Handles()) {
        if (std::string(name) == g_pTreeView->Nodes().Lookup(handle).name) {
            item = g_pTreeView->ItemOf(handle);
        }
    }
    return item ? item->text(0).toStdString() : std::string("<missing>");
}

QMessageBox* VisibleBox(const std::function<bool(QMessageBox*)>& match) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible() && match(box)) {
            return box;
        }
    }
    return nullptr;
}

// 新闻 holds only folders; 足球 has two items inside the 30-day retention period and one
// older, Rock 'n' Roll three, weather one.
constexpr char kNestedTree[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE>"
    "<TEXT>我的频道</TEXT>"
    "<KEYWORDNODE><ID>6</ID><NODETYPE>FOLDER</NODETYPE><TEXT>新闻</TEXT>"
    "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>体育</TEXT>"
    "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT></KEYWORDNODE>"
    "<KEYWORDNODE><ID>4</ID><NODETYPE>FOLDER</NODETYPE><TEXT>球类</TEXT>"
    "<KEYWORDNODE><ID>5</ID><NODETYPE>KEY</NODETYPE><TEXT>Rock 'n' Roll</TEXT></KEYWORDNODE>"
    "</KEYWORDNODE></KEYWORDNODE></KEYWORDNODE>"
    "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>weather</TEXT></KEYWORDNODE>"
    "</KEYWORDTREE>";

void SeedKnownCounts(const std::string& db) {
    ExecSql(db,
            "insert into channel (ID, rss_title) values (1, '足球'), (2, 'Rock ''n'' Roll'), "
            "(3, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values "
            "(1, 'a', date('now')), (1, 'b', date('now', '-3 days')), "
            "(1, 'too old', date('now', '-40 days')), "
            "(2, 'c', date('now')), (2, 'd', date('now')), (2, 'e', date('now', '-29 days')), "
            "(3, 'f', date('now', '-1 day'));");
}

bool FirstPassShown() {
    if (!QTest::qWaitFor([] { return g_pTreeView->Refresher()->PassesCompleted() >= 1; }, 10000)) {
        return false;
    }
    // The pass posted its labels before it counted itself done.
    QCoreApplication::processEvents();
    return true;
}

// Threads of this process with the given name.
int ThreadsNamed(const std::string& name) {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        count += comm == name ? 1 : 0;
    }
    return count;
}

QMessageBox* StartupFailedBox() {
    return VisibleBox(
        [](QMessageBox* box) { return box->text() == QString::fromUtf8("启动失败"); });
}

QMessageBox* TreeFileBox() {
    return VisibleBox([](QMessageBox* box) {
        return box->windowTitle() == QString::fromUtf8(kTreeFileDamagedCaption);
    });
}

}  // namespace

TEST_F(ReaderWindow, TheTreeShowsTheFileWithFolderAndChannelIcons) {
    // The searches answer, so that no channel takes the warning mark of failed sources.
    m_server.Serve("/ns", "<rss version=\"2.0\"><channel><title>t</title></channel></rss>");
    Open();
    ASSERT_EQ(Tree()->topLevelItemCount(), 2);
    EXPECT_EQ(Tree()->topLevelItem(0), Tree()->StarredItem());
    QTreeWidgetItem* root = Tree()->topLevelItem(1);
    EXPECT_EQ(root, g_hRootItem);
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(root->childCount(), 2);
    QTreeWidgetItem* sports = root->child(0);
    EXPECT_EQ(Tree()->Lookup(sports).type, NODE_FOLDER);
    EXPECT_EQ(Tree()->Lookup(sports).name, "体育");
    ASSERT_EQ(sports->childCount(), 2);
    EXPECT_EQ(Tree()->Lookup(sports->child(0)).name, "足球");
    EXPECT_EQ(Tree()->Lookup(sports->child(1)->child(0)).name, "Rock 'n' Roll");
    EXPECT_EQ(Tree()->Lookup(root->child(1)).name, "weather");
    EXPECT_EQ(Tree()->Lookup(root).id, 0);

    const QIcon folder = sports->icon(0);
    const QIcon channel = root->child(1)->icon(0);
    EXPECT_EQ(IconImage(folder, QIcon::Normal), IconImage(FolderIcon(), QIcon::Normal));
    EXPECT_EQ(IconImage(folder, QIcon::Selected), IconImage(FolderIcon(), QIcon::Selected));
    EXPECT_EQ(IconImage(channel, QIcon::Normal), IconImage(ChannelIcon(), QIcon::Normal));
    EXPECT_EQ(IconImage(channel, QIcon::Selected), IconImage(ChannelIcon(), QIcon::Selected));
    EXPECT_NE(IconImage(folder, QIcon::Normal), IconImage(channel, QIcon::Normal));
    EXPECT_EQ(IconImage(root->icon(0), QIcon::Selected), IconImage(FolderIcon(), QIcon::Normal));

    // Every channel went to the engine, in file order.
    EXPECT_EQ(theStore.Engine().Keywords(),
              (std::vector<std::string>{"足球", "Rock 'n' Roll", "weather"}));
}

TEST_F(ReaderWindow, TheFirstPassLabelsChannelsAndFoldersAtEveryDepth) {
    m_folder.WriteFile("document/keywordlist.xml", kNestedTree);
    SeedKnownCounts(m_folder.File("data/data.dat"));
    Open();
    ASSERT_TRUE(FirstPassShown());
    EXPECT_EQ(Label("足球"), "足球|2");
    EXPECT_EQ(Label("Rock 'n' Roll"), "Rock 'n' Roll|3");
    EXPECT_EQ(Label("weather"), "weather|1");
    EXPECT_EQ(Label("球类"), "球类|3");
    EXPECT_EQ(Label("体育"), "体育|5");
    EXPECT_EQ(Label("新闻"), "新闻|5");
    EXPECT_EQ(Label("我的频道"), "我的频道|6");
    // Records keep the bare names; only labels carry the counts.
    EXPECT_EQ(Tree()->Lookup(ItemNamed("足球")).name, "足球");
    EXPECT_EQ(Tree()->Lookup(ItemNamed("足球")).recentCount, 2);
}

TEST_F(ReaderWindow, AChangedRetentionPeriodRelabelsTheTree) {
    SeedKnownCounts(m_folder.File("data/data.dat"));
    Open();
    ASSERT_TRUE(FirstPassShown());
    ASSERT_EQ(Label("我的频道"), "我的频道|6");
    // Set as the settings dialog sets it; the refresher notices the new cut-off by itself.
    theStore.Settings().SetRetentionDays(2);
    EXPECT_TRUE(QTest::qWaitFor([] { return Label("我的频道") == "我的频道|4"; }, 20000));
    EXPECT_EQ(Label("足球"), "足球|1");
    EXPECT_EQ(Label("Rock 'n' Roll"), "Rock 'n' Roll|2");
    EXPECT_EQ(Label("体育"), "体育|3");
}

TEST_F(ReaderWindow, NewsStoredByTheEngineShowsInItsChannelAndEveryFolderAbove) {
    Open();
    ASSERT_TRUE(FirstPassShown());
    ASSERT_EQ(Label("足球"), "足球|0");
    ASSERT_TRUE(QTest::qWaitFor([] { return theStore.Engine().PassesDone(); }, 10000));
    const std::string today = QDate::currentDate().toString("yyyy-MM-dd").toStdString();
    m_server.Serve("/ns",
                   "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel>"
                   "<title>足球</title><link>http://news.test/</link>"
                   "<item><title>进球</title><link>http://news.test/1</link><pubDate>" +
                       today +
                       " 08:00:00</pubDate></item>"
                       "<item><title>点球</title><link>http://news.test/2</link><pubDate>" +
                       today + " 09:00:00</pubDate></item></channel></rss>");
    // What the tree's refresh command asks for. The refresher's own checks would not recount
    // for a minute: the stored feed wakes it.
    theStore.RefreshChannel("足球");
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return Label("足球") == "足球|2" && Label("体育") == "体育|2" &&
                   Label("我的频道") == "我的频道|2";
        },
        10000))
        << Label("足球") << " " << Label("体育") << " " << Label("我的频道");
    EXPECT_EQ(Label("球类"), "球类|0");
}

TEST_F(ReaderWindow, WithoutADatabaseTheStartFailsVisiblyAndLabelsStayBare) {
    std::filesystem::remove(m_folder.File("data/data.dat"));
    Open();
    EXPECT_TRUE(QTest::qWaitFor([] { return StartupFailedBox() != nullptr; }, 5000));
    QMessageBox* box = StartupFailedBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->windowTitle().isEmpty());
    // Why it failed, in words: no dump of SQLite's codes.
    EXPECT_TRUE(box->informativeText().startsWith(QString::fromUtf8("无法打开数据库文件")))
        << box->informativeText().toStdString();
    box->accept();
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pTreeView->Refresher()->Finished(); }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(Label("足球"), "足球");
    EXPECT_EQ(Label("我的频道"), "我的频道");
    EXPECT_FALSE(m_folder.Exists("data/data.dat"));
}

TEST_F(ReaderWindow, ADamagedTreeFileIsKeptAsideAndTheUserIsToldOnce) {
    const std::string damaged = std::string(kSampleTree).substr(0, 200);
    m_folder.WriteFile("document/keywordlist.xml", damaged);
    Open();
    EXPECT_TRUE(QTest::qWaitFor([] { return TreeFileBox() != nullptr; }, 5000));
    QMessageBox* box = TreeFileBox();
    ASSERT_NE(box, nullptr);
    const std::string aside = Tree()->TreeFile()->Damage()->asidePath;
    EXPECT_TRUE(aside.starts_with(m_folder.File("document/keywordlist.xml.damaged-"))) << aside;
    EXPECT_TRUE(box->text().contains(QString::fromStdString(aside)));
    EXPECT_TRUE(box->text().contains(QStringLiteral("not well-formed")));
    box->accept();
    std::ifstream kept(aside, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
    EXPECT_EQ(g_hRootItem->childCount(), 0);
    EXPECT_EQ(g_hRootItem->text(0).left(4), QString::fromUtf8("我的频道"));
    EXPECT_FALSE(m_folder.Exists("document/keywordlist.xml"));
    // Nothing else asks: the next start reads the new, missing file without a word.
    Close();
    Open();
    QTest::qWait(100);
    EXPECT_EQ(TreeFileBox(), nullptr);
}

TEST_F(ReaderWindow, ServicesLinesNotUnderstoodShowInTheStatusBar) {
    m_folder.WriteFile("data/services.conf", "search.baidu = " + m_server.BaseUrl() +
                                                 "\nportal.bing = http://bing.test\n");
    Open();
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return Frame()->StatusText().contains(QStringLiteral("services.conf")) &&
                   Frame()->StatusText().contains(QStringLiteral("portal.bing"));
        },
        5000))
        << Frame()->StatusText().toStdString();
}

TEST_F(ReaderWindow, AMouseClickLoadsTheNodeButTheKeyboardDoesNot) {
    ExecSql(m_folder.File("data/data.dat"),
            "insert into channel (ID, rss_title) values (1, 'weather'), (2, '足球');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values "
            "(1, 'sunny', date('now')), (2, 'goal', date('now'));");
    Open();
    g_pListView->List().pacing().SetEnabled(false);
    ClickItem(ItemNamed("weather"));
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 1; }, 5000));
    EXPECT_EQ(g_pListView->model()->index(0, 1).data().toString(), QStringLiteral("sunny"));

    // Moving the selection with the arrow keys leaves the list as it is.
    Tree()->setFocus();
    Tree()->setCurrentItem(ItemNamed("weather"));
    QTest::keyClick(Tree(), Qt::Key_Up);
    QTest::keyClick(Tree(), Qt::Key_Up);
    QTest::qWait(200);
    EXPECT_NE(Tree()->currentItem(), ItemNamed("weather"));
    ASSERT_EQ(g_pListView->model()->rowCount(), 1);
    EXPECT_EQ(g_pListView->model()->index(0, 1).data().toString(), QStringLiteral("sunny"));

    // A click on a folder lists the news of every channel below it.
    ClickItem(g_hRootItem);
    EXPECT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 2; }, 5000));
}

TEST_F(ReaderWindow, ClickingTheExpandButtonAlsoShowsThatNodesNews) {
    Open();
    QTreeWidgetItem* sports = ItemNamed("体育");
    Tree()->collapseItem(sports);
    const QRect row = Tree()->visualItemRect(sports);
    // The branch indicator sits left of the item's text, in the indentation.
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                      QPoint(row.left() - Tree()->indentation() / 2, row.center().y()));
    EXPECT_TRUE(QTest::qWaitFor([] { return !g_pListView->List().IsBusy(); }, 5000));
    EXPECT_TRUE(sports->isExpanded());
    // The folder's news were asked for: the list says how many it has.
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return Frame()->StatusText().startsWith(QString::fromUtf8("共 ")); }, 5000));
}

TEST_F(ReaderWindow, AddingANodeChangesTheTreeTheMapTheFileAndTheEngineTogether) {
    Open();
    int folderId = -1;
    ASSERT_TRUE(
        Tree()->AddNode(NODE_FOLDER, 0, CKeywordNode::NewNode("财经", NODE_FOLDER), &folderId));
    EXPECT_EQ(folderId, 6);
    ASSERT_TRUE(Tree()->AddNode(NODE_KEY, folderId, CKeywordNode::NewNode("股市", NODE_KEY)));
    // Refused: a same-type sibling ignoring ASCII case, a channel as parent, an unknown parent.
    EXPECT_FALSE(Tree()->AddNode(NODE_FOLDER, 0, CKeywordNode::NewNode("财经", NODE_FOLDER)));
    EXPECT_FALSE(Tree()->AddNode(NODE_KEY, 0, CKeywordNode::NewNode("WEATHER", NODE_KEY)));
    EXPECT_FALSE(Tree()->AddNode(NODE_KEY, 2, CKeywordNode::NewNode("x", NODE_KEY)));
    EXPECT_FALSE(Tree()->AddNode(NODE_KEY, 99, CKeywordNode::NewNode("x", NODE_KEY)));

    QTreeWidgetItem* folder = g_hRootItem->child(g_hRootItem->childCount() - 1);
    ASSERT_EQ(folder, ItemNamed("财经"));
    ASSERT_EQ(folder->childCount(), 1);
    EXPECT_EQ(folder->child(0), ItemNamed("股市"));
    EXPECT_EQ(Tree()->Lookup(folder->child(0)).type, NODE_KEY);
    EXPECT_EQ(Tree()->Nodes().Parent(CTD_TreeView::HandleOf(folder->child(0))),
              CTD_TreeView::HandleOf(folder));
    EXPECT_EQ(theStore.Engine().Keywords().back(), "股市");

    std::vector<std::pair<std::string, int>> saved;
    CKeywordTreeFile(m_folder.File("document/keywordlist.xml"))
        .Load([&](const CKeywordNode& node, int parentId) {
            saved.emplace_back(node.name, parentId);
        });
    ASSERT_EQ(saved.size(), 7u);
    EXPECT_EQ(saved[5], std::make_pair(std::string("财经"), 0));
    EXPECT_EQ(saved[6], std::make_pair(std::string("股市"), folderId));
}

TEST_F(ReaderWindow, ClosingTheWindowDuringACountEndsTheRefresher) {
    std::string values;
    for (int i = 0; i < 20000; ++i) {
        values += (i ? "," : "") + std::string("(1, 'item ") + std::to_string(i) +
                  "', date('now', '-" + std::to_string(i % 40) + " days'))";
    }
    ExecSql(m_folder.File("data/data.dat"),
            "insert into channel (ID, rss_title) values (1, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values " +
                values + ";");
    // The first pass starts as the window opens and a woken one follows; closing at once
    // destroys the view while they run.
    for (int round = 0; round < 3; ++round) {
        Open();
        Tree()->RefreshCounts();
        Close();
        EXPECT_EQ(g_pTreeView, nullptr);
        EXPECT_EQ(ThreadsNamed("count-refresher"), 0);
        // Labels posted by the last pass go nowhere.
        QCoreApplication::processEvents();
    }
}
