#include <QKeyEvent>

#include "support/sqlite_rows.h"
#include "tree_editing.h"
#include "views/command_ids.h"

namespace {

QStringList Texts(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) {
        list << QString::fromUtf8(text);
    }
    return list;
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// Three top-level siblings; the first is a folder with a branch of its own.
constexpr char kThreeSiblings[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE>"
    "<TEXT>我的频道</TEXT>"
    "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>first</TEXT>"
    "<KEYWORDNODE><ID>4</ID><NODETYPE>KEY</NODETYPE><TEXT>x</TEXT></KEYWORDNODE>"
    "<KEYWORDNODE><ID>5</ID><NODETYPE>FOLDER</NODETYPE><TEXT>y</TEXT>"
    "<KEYWORDNODE><ID>6</ID><NODETYPE>KEY</NODETYPE><TEXT>z</TEXT></KEYWORDNODE>"
    "</KEYWORDNODE></KEYWORDNODE>"
    "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>second</TEXT></KEYWORDNODE>"
    "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>third</TEXT></KEYWORDNODE>"
    "</KEYWORDTREE>";

}  // namespace

TEST_F(TreeEditing, EachKindOfNodeGetsItsMenuAndARightClickSelectsTheNode) {
    Open();
    auto folder = Command(ItemNamed("球类"), 0);
    EXPECT_EQ(Tree()->currentItem(), ItemNamed("球类"));
    EXPECT_EQ(folder->title, QString::fromUtf8("文件夹"));
    EXPECT_EQ(folder->texts,
              Texts({"重命名", "添加文件夹", "添加频道", "删除文件夹", "删除所有内容",
                     "展开全部结点", "收缩全部结点", "上移", "下移", "全部标为已读"}));
    EXPECT_EQ(folder->ids, (std::vector<int>{32789, 32795, 32790, 32791, 32792, 32805, 32807, 32818,
                                             32819, 32841}));

    auto channel = Command(ItemNamed("weather"), 0);
    EXPECT_EQ(Tree()->currentItem(), ItemNamed("weather"));
    EXPECT_EQ(channel->title, QString::fromUtf8("关键字"));
    EXPECT_EQ(channel->texts, Texts({"刷新该频道", "删除该频道", "上移", "下移", "全部标为已读"}));
    EXPECT_EQ(channel->ids, (std::vector<int>{32813, 32775, 32820, 32821, 32840}));

    auto root = Command(g_hRootItem, 0);
    EXPECT_EQ(root->title, QString::fromUtf8("根结点"));
    EXPECT_EQ(root->texts, Texts({"添加文件夹", "添加频道", "展开全部结点", "收缩全部结点"}));
    EXPECT_EQ(root->ids, (std::vector<int>{32800, 32797, 32809, 32808}));

    // Below the last row there is no item and no menu.
    MenuAnswer none(0);
    RightClickAt(QPoint(Tree()->viewport()->width() / 2, Tree()->viewport()->height() - 2));
    QTest::qWait(50);
    EXPECT_FALSE(none.Answered());
    EXPECT_EQ(Tree()->currentItem(), g_hRootItem);
}

TEST_F(TreeEditing, TheMenuKeyAndShiftF10OpenTheSelectedNodesMenu) {
    Open();
    Tree()->setFocus();
    Tree()->setCurrentItem(ItemNamed("足球"));
    MenuAnswer channel(0);
    QTest::keyClick(Tree(), Qt::Key_Menu);
    EXPECT_TRUE(QTest::qWaitFor([&] { return channel.Answered(); }, 2000));
    EXPECT_EQ(channel.title, QString::fromUtf8("关键字"));

    // A platform that also sends a context-menu event for the key opens the menu once.
    Tree()->setCurrentItem(g_hRootItem);
    MenuAnswer root(ID_ROOT_COLLAPSE_ALL);
    QTest::keyClick(Tree(), Qt::Key_F10, Qt::ShiftModifier);
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(1, 1),
                               Tree()->viewport()->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(Tree()->viewport(), &keyboard);
    EXPECT_TRUE(QTest::qWaitFor([&] { return root.Answered(); }, 2000));
    EXPECT_EQ(root.title, QString::fromUtf8("根结点"));
    EXPECT_FALSE(g_hRootItem->isExpanded());
    MenuAnswer second(0);
    QTest::qWait(100);
    EXPECT_FALSE(second.Answered());
}

TEST_F(TreeEditing, AddingFromTheMenusAppendsAfterTheSiblingsAndRefusesSameTypeNames) {
    Open();
    DialogAnswer folder(QStringLiteral("News"), true);
    Command(g_hRootItem, ID_ROOT_ADD_FOLDER, &folder);
    EXPECT_EQ(folder.caption, QString::fromUtf8("添加文件夹"));
    EXPECT_TRUE(folder.initialText.isEmpty());
    EXPECT_TRUE(folder.okIsDefault);
    EXPECT_TRUE(folder.closed);
    EXPECT_EQ(LiveOutline(), "体育{足球,球类{Rock 'n' Roll}},weather,News");
    EXPECT_TRUE(Consistent());

    DialogAnswer channel(QStringLiteral("markets"), true);
    Command(ItemNamed("News"), ID_FOLDER_ADD_KEY, &channel);
    EXPECT_EQ(channel.caption, QString::fromUtf8("添加频道"));
    EXPECT_EQ(theStore.Engine().Keywords().back(), "markets");

    // The same folder name with other ASCII case is refused silently; the dialog still
    // closes. A channel of that name is a different node and is accepted.
    DialogAnswer twice(QStringLiteral("nEWS"), true);
    Command(g_hRootItem, ID_ROOT_ADD_FOLDER, &twice);
    EXPECT_TRUE(twice.closed);
    DialogAnswer sameNameChannel(QStringLiteral("news"), true);
    Command(g_hRootItem, ID_ROOT_ADD_KEY, &sameNameChannel);
    DialogAnswer underFolder(QStringLiteral("y"), true);
    Command(ItemNamed("球类"), ID_FOLDER_ADD_FOLDER, &underFolder);
    EXPECT_EQ(LiveOutline(), "体育{足球,球类{Rock 'n' Roll,y}},weather,News{markets},news");
    EXPECT_EQ(Tree()->Lookup(ItemNamed("news")).type, NODE_KEY);
    EXPECT_TRUE(Consistent());

    // Cancel adds nothing.
    DialogAnswer cancelled(QStringLiteral("never"), false);
    Command(g_hRootItem, ID_ROOT_ADD_KEY, &cancelled);
    EXPECT_EQ(ItemNamed("never"), nullptr);
    EXPECT_EQ(FileOutline(TreePath()), LiveOutline());
}

TEST_F(TreeEditing, ANameOf600CodePageBytesIsCutTo511AtACharacterBoundary) {
    Open();
    const std::string longName = Repeat("汉", 300);  // two code-page bytes each
    DialogAnswer channel(QString::fromStdString(longName), true);
    Command(g_hRootItem, ID_ROOT_ADD_KEY, &channel);
    const std::string kept = Repeat("汉", 255);  // 510 bytes: a 256th would need 512
    QTreeWidgetItem* added = ItemNamed(kept);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->text(0).left(255), QString::fromStdString(kept));
    EXPECT_EQ(FileOutline(TreePath()), "体育{足球,球类{Rock 'n' Roll}},weather," + kept);

    // One ASCII byte in front fills the 511 bytes exactly.
    DialogAnswer renamed(QString::fromStdString("a" + longName), true);
    Command(ItemNamed("体育"), ID_FOLDER_RENAME, &renamed);
    EXPECT_EQ(CodePageLength(Tree()->Lookup(Tree()->currentItem()).name), 511u);
    EXPECT_NE(ItemNamed("a" + kept), nullptr);
    EXPECT_TRUE(Consistent());
}

TEST_F(TreeEditing, RenamingShowsTheBareNameAtOnceAndTheCountReturns) {
    Open();
    QTreeWidgetItem* sports = ItemNamed("体育");
    EXPECT_TRUE(QTest::qWaitFor([&] { return sports->text(0).startsWith("体育|"); }, 5000));
    DialogAnswer renamed(QStringLiteral("weather"), true);  // a sibling's name is accepted
    Command(sports, ID_FOLDER_RENAME, &renamed);
    EXPECT_EQ(renamed.caption, QString::fromUtf8("文件夹改名"));
    EXPECT_TRUE(renamed.initialText.isEmpty());
    EXPECT_EQ(sports->text(0), QStringLiteral("weather"));
    EXPECT_EQ(LiveOutline(), "weather{足球,球类{Rock 'n' Roll}},weather");
    EXPECT_TRUE(Consistent());
    EXPECT_TRUE(QTest::qWaitFor([&] { return sports->text(0) == "weather|0"; }, 5000));

    DialogAnswer cancelled(QStringLiteral("other"), false);
    Command(sports, ID_FOLDER_RENAME, &cancelled);
    EXPECT_STREQ(Tree()->Lookup(sports).name, "weather");
    EXPECT_TRUE(Consistent());
}

TEST_F(TreeEditing, DeletingAFolderMovesItsChildrenToTheEndOfItsParent) {
    const std::string db = m_folder.File("data/data.dat");
    ExecSql(db,
            "insert into channel (ID, rss_title) values (1, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values (1, 'sun', "
            "date('now'));");
    Open();
    Command(ItemNamed("体育"), ID_FOLDER_DELETE);
    EXPECT_EQ(LiveOutline(), "weather,足球,球类{Rock 'n' Roll}");
    EXPECT_EQ(ItemNamed("体育"), nullptr);
    EXPECT_TRUE(Consistent());

    // A channel's stored news stay in the database.
    Command(ItemNamed("weather"), ID_KEY_DELETE);
    EXPECT_EQ(LiveOutline(), "足球,球类{Rock 'n' Roll}");
    EXPECT_TRUE(Consistent());
    EXPECT_EQ(QueryRows(db, "select rss_title from item"), (Rows{{"sun"}}));

    Command(ItemNamed("球类"), ID_FOLDER_DELETE_ALL);
    EXPECT_EQ(LiveOutline(), "足球");
    EXPECT_EQ(ItemNamed("Rock 'n' Roll"), nullptr);
    EXPECT_TRUE(Consistent());
}

TEST_F(TreeEditing, MovingRotatesThroughTheEndsAndCarriesTheBranch) {
    m_folder.WriteFile("document/keywordlist.xml", kThreeSiblings);
    Open();
    const struct {
        const char* name;
        int command;
        const char* outline;
    } steps[] = {
        {"first", ID_FOLDER_MOVE_UP, "second,third,first{x,y{z}}"},
        {"first", ID_FOLDER_MOVE_DOWN, "first{x,y{z}},second,third"},
        {"first", ID_FOLDER_MOVE_DOWN, "second,first{x,y{z}},third"},
        {"first", ID_FOLDER_MOVE_UP, "first{x,y{z}},second,third"},
        {"third", ID_KEY_MOVE_DOWN, "third,first{x,y{z}},second"},
        {"second", ID_KEY_MOVE_UP, "third,second,first{x,y{z}}"},
        {"x", ID_KEY_MOVE_UP, "third,second,first{y{z},x}"},
        {"z", ID_KEY_MOVE_DOWN, "third,second,first{y{z},x}"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.name) + " " + std::to_string(step.command));
        Command(ItemNamed(step.name), step.command);
        EXPECT_EQ(LiveOutline(), step.outline);
        EXPECT_EQ(Tree()->currentItem(), ItemNamed(step.name));
        EXPECT_TRUE(Consistent());
    }
}

TEST_F(TreeEditing, ExpandAndCollapseAllReachEveryLevel) {
    Open();
    Command(g_hRootItem, ID_ROOT_COLLAPSE_ALL);
    EXPECT_FALSE(g_hRootItem->isExpanded());
    Tree()->expandItem(g_hRootItem);
    EXPECT_FALSE(ItemNamed("体育")->isExpanded());
    Command(ItemNamed("体育"), ID_FOLDER_EXPAND_ALL);
    EXPECT_TRUE(ItemNamed("体育")->isExpanded());
    EXPECT_TRUE(ItemNamed("球类")->isExpanded());
    Command(ItemNamed("体育"), ID_FOLDER_COLLAPSE_ALL);
    EXPECT_FALSE(ItemNamed("体育")->isExpanded());
    EXPECT_FALSE(ItemNamed("球类")->isExpanded());
    Command(g_hRootItem, ID_ROOT_EXPAND_ALL);
    EXPECT_TRUE(ItemNamed("球类")->isExpanded());
    EXPECT_TRUE(Consistent());
}

TEST_F(TreeEditing, RefreshingAChannelFetchesItsSearchFeed) {
    Open();
    EXPECT_TRUE(QTest::qWaitFor([] { return theStore.Engine().PassesDone(); }, 10000));
    const auto requestsFor = [this](const std::string& word) {
        int count = 0;
        for (const std::string& target : m_server.Targets()) {
            count += target.find(word) != std::string::npos ? 1 : 0;
        }
        return count;
    };
    const int before = requestsFor("weather");
    Command(ItemNamed("weather"), ID_KEY_REFRESH);
    EXPECT_TRUE(QTest::qWaitFor([&] { return requestsFor("weather") == before + 1; }, 10000));
    EXPECT_EQ(LiveOutline(), FileOutline(TreePath()));
}

TEST_F(TreeEditing, AHandEditedChannelWithChildrenMovesWithItsBranch) {
    m_folder.WriteFile(
        "document/keywordlist.xml",
        "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
        "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>outer</TEXT>"
        "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>inner</TEXT></KEYWORDNODE>"
        "</KEYWORDNODE>"
        "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>other</TEXT></KEYWORDNODE>"
        "</KEYWORDTREE>");
    Open();
    Command(ItemNamed("outer"), ID_KEY_MOVE_DOWN);
    EXPECT_EQ(LiveOutline(), "other,outer{inner}");
    EXPECT_TRUE(Consistent());
    Command(ItemNamed("outer"), ID_KEY_DELETE);
    EXPECT_EQ(LiveOutline(), "other,inner");
    EXPECT_TRUE(Consistent());
}
