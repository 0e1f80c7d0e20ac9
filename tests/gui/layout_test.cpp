// The window keeps what the user made of its layout across restarts: the list/page splitter's
// position and the tree's expanded folders.

#include <QSplitter>
#include <QSplitterHandle>

#include "app/layout_memory.h"
#include "reader_window.h"

namespace {

// Drags the list/page splitter's bar `dy` pixels down, as the user does.
void DragListBar(int dy) {
    QSplitterHandle* bar = g_pMainFrame->ListSplitter()->handle(1);
    const QPoint from = bar->rect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    QTest::mouseMove(bar, from + QPoint(0, dy));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(0, dy));
}

int ListHeight() {
    return g_pMainFrame->ListSplitter()->sizes()[0];
}

}  // namespace

using RememberedLayout = ReaderWindow;

TEST_F(RememberedLayout, TheListsPositionAndTheOpenFoldersSurviveClicksAndARestart) {
    Open();
    const int start = ListHeight();
    DragListBar(120);
    const int dragged = ListHeight();
    ASSERT_GT(dragged, start + 60);
    ClickItem(ItemNamed("weather"));
    EXPECT_EQ(ListHeight(), dragged);

    ItemNamed("体育")->setExpanded(true);
    ItemNamed("球类")->setExpanded(true);
    ItemNamed("体育")->setExpanded(false);
    Close();
    const std::string settings = m_folder.ReadFile("data/settings.conf");
    EXPECT_NE(settings.find("layout.expanded_folders = 0 4"), std::string::npos) << settings;

    Open();
    EXPECT_NEAR(ListHeight(), dragged, 2);
    EXPECT_TRUE(Tree()->RootItem()->isExpanded());
    EXPECT_FALSE(ItemNamed("体育")->isExpanded());
    EXPECT_TRUE(ItemNamed("球类")->isExpanded());
}

// Damaged values cost only themselves: the window's own split, and the folders whose IDs
// can be read.
TEST_F(RememberedLayout, DamagedValuesGiveTheWindowsOwnLayout) {
    Open();
    const int own = ListHeight();
    Close();
    m_folder.WriteFile("data/settings.conf",
                       "layout.list_per_mille = 2000\nlayout.expanded_folders = 0 x1 1 -4 99\n");
    Open();
    EXPECT_EQ(ListHeight(), own);
    EXPECT_TRUE(Tree()->RootItem()->isExpanded());
    EXPECT_TRUE(ItemNamed("体育")->isExpanded());
    EXPECT_FALSE(ItemNamed("球类")->isExpanded());
}
