#include "tree_editing.h"
#include "views/command_ids.h"

// The sample tree: 我的频道{体育{足球,球类{Rock 'n' Roll}},weather}.

TEST_F(TreeEditing, ADroppedChannelGoesToTheEndOfTheFolderUnderThePointer) {
    Open();
    const struct {
        const char* dragged;
        const char* onto;
        const char* outline;
    } drops[] = {
        // Onto a channel: the end of that channel's folder, which opens.
        {"weather", "Rock 'n' Roll", "体育{足球,球类{Rock 'n' Roll,weather}}"},
        // Onto its own folder, and onto itself: the last place among its siblings.
        {"Rock 'n' Roll", "球类", "体育{足球,球类{weather,Rock 'n' Roll}}"},
        {"weather", "weather", "体育{足球,球类{Rock 'n' Roll,weather}}"},
        // Onto the root: the end of the top level.
        {"足球", "我的频道", "体育{球类{Rock 'n' Roll,weather}},足球"},
    };
    for (const auto& drop : drops) {
        SCOPED_TRACE(std::string(drop.dragged) + " onto " + drop.onto);
        Tree()->collapseItem(ItemNamed("球类"));
        DragOnto(ItemNamed(drop.dragged), ItemNamed(drop.onto));
        EXPECT_EQ(LiveOutline(), drop.outline);
        QTreeWidgetItem* moved = ItemNamed(drop.dragged);
        EXPECT_EQ(Tree()->currentItem(), moved);
        EXPECT_TRUE(moved->parent()->isExpanded());
        EXPECT_TRUE(Consistent());
    }
}

TEST_F(TreeEditing, ADraggedFolderArrivesCollapsedWithItsBranchInOrder) {
    Open();
    Tree()->expandItem(ItemNamed("球类"));
    DialogAnswer empty(QStringLiteral("空"), true);
    Command(g_hRootItem, ID_ROOT_ADD_FOLDER, &empty);
    DialogAnswer extra(QStringLiteral("extra"), true);
    Command(ItemNamed("球类"), ID_FOLDER_ADD_KEY, &extra);

    DragOnto(ItemNamed("体育"), ItemNamed("空"));
    EXPECT_EQ(LiveOutline(), "weather,空{体育{足球,球类{Rock 'n' Roll,extra}}}");
    EXPECT_TRUE(ItemNamed("空")->isExpanded());
    EXPECT_FALSE(ItemNamed("体育")->isExpanded());
    EXPECT_FALSE(ItemNamed("球类")->isExpanded());
    EXPECT_EQ(Tree()->currentItem(), ItemNamed("体育"));
    EXPECT_TRUE(Consistent());

    // Over empty space the target stays the folder passed last.
    Drag(
        ItemNamed("weather"),
        {[] { return PointOn(ItemNamed("体育")); },
         [] { return QPoint(Tree()->viewport()->width() / 2, Tree()->viewport()->height() - 2); }});
    EXPECT_EQ(LiveOutline(), "空{体育{足球,球类{Rock 'n' Roll,extra},weather}}");
    EXPECT_TRUE(Consistent());
}

TEST_F(TreeEditing, DropsIntoTheOwnBranchOrWithoutATargetChangeNothing) {
    Open();
    const std::string saved = m_folder.ReadFile("document/keywordlist.xml");
    const std::string outline = LiveOutline();
    const auto unchanged = [&] {
        EXPECT_EQ(LiveOutline(), outline);
        EXPECT_EQ(m_folder.ReadFile("document/keywordlist.xml"), saved);
        EXPECT_TRUE(Consistent());
    };
    {
        SCOPED_TRACE("a folder onto itself");
        DragOnto(ItemNamed("体育"), ItemNamed("体育"));
        unchanged();
    }
    {
        SCOPED_TRACE("a folder into its own subfolder");
        Tree()->expandItem(ItemNamed("体育"));
        DragOnto(ItemNamed("体育"), ItemNamed("Rock 'n' Roll"));
        unchanged();
    }
    {
        SCOPED_TRACE("the root onto a folder");
        Tree()->expandItem(ItemNamed("体育"));
        DragOnto(g_hRootItem, ItemNamed("体育"));
        unchanged();
    }
    {
        SCOPED_TRACE("released by the left edge");
        Drag(ItemNamed("weather"), {[] { return PointOn(ItemNamed("体育")); },
                                    [] {
                                        return QPoint(CTreeDragger::kNoTargetMargin - 1,
                                                      PointOn(ItemNamed("体育")).y());
                                    }});
        unchanged();
        EXPECT_EQ(Tree()->Dragger().Highlighted(), nullptr);
    }
}

TEST_F(TreeEditing, WhileDraggingThePointersItemIsHighlightedAndTheBranchCollapsed) {
    Open();
    Tree()->expandItem(ItemNamed("球类"));
    QWidget* viewport = Tree()->viewport();
    const QPoint start = PointOn(ItemNamed("体育"));
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    QTest::mouseMove(viewport, start + QPoint(2, 0));
    EXPECT_FALSE(Tree()->Dragger().IsDragging());  // not yet past the drag distance
    QTest::mouseMove(viewport, start + QPoint(QApplication::startDragDistance() + 1, 0));
    ASSERT_TRUE(Tree()->Dragger().IsDragging());
    EXPECT_FALSE(ItemNamed("体育")->isExpanded());
    EXPECT_FALSE(ItemNamed("球类")->isExpanded());
    QTest::mouseMove(viewport, PointOn(ItemNamed("weather")));
    EXPECT_EQ(Tree()->Dragger().Highlighted(), ItemNamed("weather"));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, PointOn(ItemNamed("weather")));
    // weather stands for the root: 体育 goes to the end of the top level.
    EXPECT_EQ(LiveOutline(), "weather,体育{足球,球类{Rock 'n' Roll}}");
    EXPECT_EQ(Tree()->Dragger().Highlighted(), nullptr);
    EXPECT_TRUE(Consistent());
}

TEST_F(TreeEditing, ATreeBuiltWithTheMouseIsTheSameAfterARestart) {
    m_folder.WriteFile("document/keywordlist.xml",
                       "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                       "</KEYWORDTREE>");
    Open();
    for (const char* name : {"国内", "国际"}) {
        DialogAnswer folder(QString::fromUtf8(name), true);
        Command(g_hRootItem, ID_ROOT_ADD_FOLDER, &folder);
    }
    for (const char* name : {"北京", "上海"}) {
        DialogAnswer channel(QString::fromUtf8(name), true);
        Command(ItemNamed("国内"), ID_FOLDER_ADD_KEY, &channel);
    }
    DialogAnswer channel(QStringLiteral("Tokyo"), true);
    Command(g_hRootItem, ID_ROOT_ADD_KEY, &channel);
    DragOnto(ItemNamed("Tokyo"), ItemNamed("国际"));
    DragOnto(ItemNamed("国内"), ItemNamed("国际"));
    Command(ItemNamed("上海"), ID_KEY_MOVE_UP);
    const std::string built = "国际{Tokyo,国内{上海,北京}}";
    ASSERT_EQ(LiveOutline(), built);
    ASSERT_TRUE(Consistent());

    Close();
    Open();
    EXPECT_EQ(LiveOutline(), built);
    EXPECT_TRUE(Consistent());
    EXPECT_EQ(theStore.Engine().Keywords(), (std::vector<std::string>{"Tokyo", "上海", "北京"}));
}
