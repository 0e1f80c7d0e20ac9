#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

#include "modal.h"
#include "model/news_seed.h"
#include "support/sqlite_rows.h"
#include "tree_editing.h"
#include "views/command_ids.h"
#include "views/name_dialogs.h"

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
    EXPECT_EQ(folder->texts, Texts({"重命名", "添加文件夹", "添加频道", "删除文件夹",
                                    "删除所有内容", "展开全部节点", "收缩全部节点", "上移", "下移",
                                    "全部标为已读", "订阅新闻源…"}));
    EXPECT_EQ(folder->ids, (std::vector<int>{32789, 32795, 32790, 32791, 32792, 32805, 32807, 32818,
                                             32819, 32841, 32863}));

    auto channel = Command(ItemNamed("weather"), 0);
    EXPECT_EQ(Tree()->currentItem(), ItemNamed("weather"));
    EXPECT_EQ(channel->title, QString::fromUtf8("关键字"));
    EXPECT_EQ(channel->texts, Texts({"刷新该频道", "删除该频道", "上移", "下移", "全部标为已读",
                                     "重命名", "编辑新闻源…", "搜索频道名称", "排除词…"}));
    EXPECT_EQ(channel->ids,
              (std::vector<int>{32813, 32775, 32820, 32821, 32840, 32860, 32861, 32862, 32866}));

    auto root = Command(g_hRootItem, 0);
    EXPECT_EQ(root->title, QString::fromUtf8("根节点"));
    EXPECT_EQ(root->texts, Texts({"添加文件夹", "添加频道", "展开全部节点", "收缩全部节点",
                                  "订阅新闻源…", "全部标为已读"}));
    EXPECT_EQ(root->ids, (std::vector<int>{32800, 32797, 32809, 32808, 32864, 32844}));

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
    EXPECT_EQ(root.title, QString::fromUtf8("根节点"));
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

    // The same folder name with other ASCII case is refused in the dialog, which stays open.
    // A channel of that name is a different node and is accepted.
    DialogAnswer twice(QStringLiteral("nEWS"), true);
    Command(g_hRootItem, ID_ROOT_ADD_FOLDER, &twice);
    EXPECT_FALSE(twice.closed);
    EXPECT_EQ(twice.refusal, QString::fromUtf8("这里已有名为“nEWS”的文件夹，请换一个名称。"));
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
    // A sibling channel's name is a folder's name too.
    DialogAnswer renamed(QStringLiteral("weather"), true);
    Command(sports, ID_FOLDER_RENAME, &renamed);
    EXPECT_EQ(renamed.caption, QString::fromUtf8("文件夹改名"));
    // The dialog opens on the bare name, selected, for the user to type over.
    EXPECT_EQ(renamed.initialText, QString::fromUtf8("体育"));
    EXPECT_EQ(renamed.selectedText, QString::fromUtf8("体育"));
    EXPECT_EQ(sports->text(0), QStringLiteral("weather"));
    EXPECT_EQ(LiveOutline(), "weather{足球,球类{Rock 'n' Roll}},weather");
    EXPECT_TRUE(Consistent());
    EXPECT_TRUE(QTest::qWaitFor([&] { return sports->text(0) == "weather|0"; }, 5000));

    DialogAnswer cancelled(QStringLiteral("other"), false);
    Command(sports, ID_FOLDER_RENAME, &cancelled);
    EXPECT_EQ(Tree()->Lookup(sports).name, "weather");
    EXPECT_TRUE(Consistent());
}

TEST_F(TreeEditing, DeletingAFolderMovesItsChildrenToTheEndOfItsParent) {
    const std::string db = m_folder.File("data/data.dat");
    ExecSql(db,
            "insert into channel (ID, rss_title) values (1, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_pubDate) values (1, 'sun', "
            "date('now'));");
    Open();
    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    Command(ItemNamed("体育"), ID_FOLDER_DELETE);
    EXPECT_EQ(LiveOutline(), "weather,足球,球类{Rock 'n' Roll}");
    EXPECT_EQ(ItemNamed("体育"), nullptr);
    EXPECT_TRUE(Consistent());

    // A channel's stored news stay in the database.
    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    Command(ItemNamed("weather"), ID_KEY_DELETE);
    EXPECT_EQ(LiveOutline(), "足球,球类{Rock 'n' Roll}");
    EXPECT_TRUE(Consistent());
    EXPECT_EQ(QueryRows(db, "select rss_title from item"), (Rows{{"sun"}}));

    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    Command(ItemNamed("球类"), ID_FOLDER_DELETE_ALL);
    EXPECT_EQ(LiveOutline(), "足球");
    EXPECT_EQ(ItemNamed("Rock 'n' Roll"), nullptr);
    EXPECT_TRUE(Consistent());
}

// 足球 holds 100 news and Rock 'n' Roll 12; weather 3, and a second weather channel stands
// elsewhere.
TEST_F(TreeEditing, DeletesAskFirstNamingWhatGoesAndCancelKeepsEverything) {
    const std::string db = m_folder.File("data/data.dat");
    ExecSql(db,
            "insert into channel (ID, rss_title) values (1, '足球'), (2, 'Rock ''n'' Roll'), "
            "(3, 'weather');");
    news_seed::AddNumberedItems(db, 1, 100, "goal ", "2023-06-14", 30);
    news_seed::AddNumberedItems(db, 2, 12, "song ", "2001-01-01", 1);  // old news count too
    news_seed::AddNumberedItems(db, 3, 3, "rain ", "2023-06-14", 1);
    Open();
    DialogAnswer folder(QStringLiteral("empty"), true);
    Command(g_hRootItem, ID_ROOT_ADD_FOLDER, &folder);
    const std::string tree = m_folder.ReadFile("document/keywordlist.xml");
    const std::string outline = LiveOutline();

    const struct {
        const char* name;
        int command;
        const char* question;
    } deletions[] = {
        {"体育", ID_FOLDER_DELETE_ALL,
         "将删除 2 个频道，它们的 112 条新闻保留在数据库中，确定吗？"},
        {"weather", ID_KEY_DELETE, "将删除 1 个频道，它的 3 条新闻保留在数据库中，确定吗？"},
        {"球类", ID_FOLDER_DELETE_ALL, "将删除 1 个频道，它的 12 条新闻保留在数据库中，确定吗？"},
        {"体育", ID_FOLDER_DELETE,
         "将删除文件夹“体育”，其中的 1 个频道和 1 个文件夹移到上一级，确定吗？"},
    };
    for (const auto& deletion : deletions) {
        QString asked;
        QString defaultButton;
        AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
            asked = box->text();
            defaultButton = box->defaultButton()->text();
            box->button(QMessageBox::Cancel)->click();
        });
        Command(ItemNamed(deletion.name), deletion.command);
        EXPECT_EQ(asked, QString::fromUtf8(deletion.question)) << deletion.name;
        EXPECT_EQ(defaultButton, QString::fromUtf8("取消"));
        EXPECT_EQ(LiveOutline(), outline);
        EXPECT_EQ(m_folder.ReadFile("document/keywordlist.xml"), tree);
    }
    EXPECT_EQ(QueryRows(db, "select count(*) from item"), (Rows{{"115"}}));

    // A name another channel outside the branch carries keeps its news on show: not counted.
    DialogAnswer second(QStringLiteral("Rock 'n' Roll"), true);
    Command(g_hRootItem, ID_ROOT_ADD_KEY, &second);
    QString asked;
    AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
        asked = box->text();
        box->button(QMessageBox::Cancel)->click();
    });
    Command(ItemNamed("体育"), ID_FOLDER_DELETE_ALL);
    EXPECT_EQ(asked,
              QString::fromUtf8("将删除 2 个频道，它们的 100 条新闻保留在数据库中，确定吗？"));

    // An empty folder goes without a question.
    Command(ItemNamed("empty"), ID_FOLDER_DELETE);
    EXPECT_EQ(ItemNamed("empty"), nullptr);
    EXPECT_TRUE(Consistent());
}

// Empty names, and a folder name a sibling folder has, are refused when adding, renaming and
// dropping; the dialog stays open for the user to correct the name.
TEST_F(TreeEditing, TheNameRulesHoldWhenAddingRenamingAndDropping) {
    Open();
    const std::string outline = LiveOutline();
    for (int command : {ID_ROOT_ADD_FOLDER, ID_ROOT_ADD_KEY}) {
        DialogAnswer blank(QStringLiteral("   "), true);
        Command(g_hRootItem, command, &blank);
        EXPECT_FALSE(blank.closed);
        EXPECT_EQ(blank.refusal, QString::fromUtf8("名称不能为空，请输入名称。"));
    }
    DialogAnswer emptyRename(QString(), true);
    Command(ItemNamed("球类"), ID_FOLDER_RENAME, &emptyRename);
    EXPECT_EQ(emptyRename.refusal, QString::fromUtf8("名称不能为空，请输入名称。"));
    EXPECT_EQ(LiveOutline(), outline);

    // A refused name, corrected in the same dialog.
    bool stayedOpen = false;
    AnswerNextModal<CNameDlg>([&](CNameDlg* dialog) {
        dialog->Edit()->setText(QStringLiteral("体育"));
        dialog->accept();
        stayedOpen = dialog->isVisible() && dialog->Message()->isVisible();
        dialog->Edit()->setText(QStringLiteral("综合"));
        dialog->accept();
    });
    Tree()->setCurrentItem(g_hRootItem);
    Tree()->OnCommand(ID_ROOT_ADD_FOLDER);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(LiveOutline(), outline + ",综合");

    // Renaming to a sibling folder's name, in other letter case.
    DialogAnswer upper(QStringLiteral("Sports"), true);
    Command(ItemNamed("综合"), ID_FOLDER_RENAME, &upper);
    DialogAnswer taken(QStringLiteral("SPORTS"), true);
    Command(ItemNamed("体育"), ID_FOLDER_RENAME, &taken);
    EXPECT_EQ(taken.refusal, QString::fromUtf8("这里已有名为“SPORTS”的文件夹，请换一个名称。"));
    // Its own name in other letter case is no clash.
    DialogAnswer own(QStringLiteral("SPORTS"), true);
    Command(ItemNamed("Sports"), ID_FOLDER_RENAME, &own);
    EXPECT_TRUE(own.closed);
    EXPECT_EQ(LiveOutline(), "体育{足球,球类{Rock 'n' Roll}},weather,SPORTS");

    // Dropping a folder beside a folder of its name.
    DialogAnswer inner(QStringLiteral("球类"), true);
    Command(ItemNamed("SPORTS"), ID_FOLDER_ADD_FOLDER, &inner);
    QString told;
    AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
        told = box->text();
        box->accept();
    });
    QTreeWidgetItem* second = ItemNamed("SPORTS")->child(0);
    DragOnto(second, ItemNamed("体育"));
    EXPECT_EQ(told, QString::fromUtf8("“体育”中已有名为“球类”的文件夹，不能移到那里。"));
    EXPECT_EQ(LiveOutline(), "体育{足球,球类{Rock 'n' Roll}},weather,SPORTS{球类}");
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

// A change the tree file cannot take (here a folder stands in its place) is told in a message
// box, one at a time however many saves fail; the window keeps the change, and the next save
// that can be written writes it too.
TEST_F(TreeEditing, ATreeChangeThatCannotBeSavedIsToldAndKept) {
    m_folder.WriteFile("document/keywordlist.xml", kThreeSiblings);
    Open();
    std::filesystem::remove(TreePath());
    m_folder.WriteFile("document/keywordlist.xml/blocker", "");
    const auto boxes = [] {
        QList<QMessageBox*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible() &&
                box->windowTitle() == QString::fromUtf8("频道树无法保存")) {
                found.append(box);
            }
        }
        return found;
    };
    Command(ItemNamed("first"), ID_FOLDER_MOVE_DOWN);
    EXPECT_EQ(LiveOutline(), "second,first{x,y{z}},third");
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_TRUE(boxes().front()->text().contains(QString::fromUtf8("那里有一个同名的文件夹")))
        << boxes().front()->text().toStdString();
    EXPECT_FALSE(Tree()->TreeFile()->Save());
    EXPECT_EQ(boxes().size(), 1);
    boxes().front()->accept();

    std::filesystem::remove_all(TreePath());
    Command(ItemNamed("third"), ID_KEY_MOVE_UP);
    EXPECT_EQ(LiveOutline(), "second,third,first{x,y{z}}");
    EXPECT_TRUE(Consistent());
    EXPECT_TRUE(boxes().isEmpty());
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
    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    Command(ItemNamed("outer"), ID_KEY_DELETE);
    EXPECT_EQ(LiveOutline(), "other,inner");
    EXPECT_TRUE(Consistent());
}

// The message of a refused name is never clipped, even with the dialog at its smallest and a
// name too long for a line.
TEST_F(TreeEditing, ARefusedNamesMessageFitsTheDialogAtItsSmallestSize) {
    Open();
    for (const std::string& name :
         {std::string(80, 'w'), std::string("世界杯足球赛新闻汇总世界杯足球赛新闻汇总")}) {
        ASSERT_TRUE(Tree()->Commands().AddChild(g_hRootItem, NODE_KEY, name));
        CkeyDlg dialog(Tree());
        dialog.SetCheck([&](const std::string& typed) {
            return Tree()->Commands().NameRefusal(g_hRootItem, NODE_KEY, typed);
        });
        dialog.show();
        dialog.Edit()->setText(QString::fromStdString(name));
        dialog.accept();
        ASSERT_TRUE(dialog.isVisible());
        QLabel* message = dialog.Message();
        ASSERT_TRUE(message->isVisible());
        dialog.resize(dialog.minimumSize());
        QCoreApplication::processEvents();
        EXPECT_GE(message->height(), message->heightForWidth(message->width())) << name;
        EXPECT_TRUE(dialog.rect().contains(message->geometry())) << name;
        // A name too long for a line is shortened: it could not wrap.
        const QString quoted = message->text()
                                   .section(QString::fromUtf8("“"), 1, 1)
                                   .section(QString::fromUtf8("”"), 0, 0);
        EXPECT_LE(message->fontMetrics().horizontalAdvance(quoted), message->width()) << name;
        dialog.reject();
    }
}
