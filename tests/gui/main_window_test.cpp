#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QUrl>

#include "model/list_mode.h"
#include "reader_window.h"
#include "url_catcher.h"
#include "views/book_view.h"
#include "views/command_ids.h"
#include "views/html_view.h"
#include "views/list_view.h"

namespace {

struct MenuEntry {
    const char* text;  // nullptr for a separator
    int id;
};

// Every popup of the menu bar with its items, as the window must show them.
const std::vector<std::pair<const char*, std::vector<MenuEntry>>> kMenus = {
    {"文件(&F)",
     {{"导出OPML", ID_EXPORT_OPML},
      {"我要订阅", ID_SUBSCRIBE},
      {"订阅新闻源…", ID_SUBSCRIBE_FEED},
      {"全部更新\tF5", ID_UPDATE_ALL},
      {"立即同步", ID_SYNC_NOW},
      {nullptr, 0},
      {"打印...\tCtrl+P(&P)", ID_FILE_PRINT},
      {"打印预览(&V)", ID_FILE_PRINT_PREVIEW},
      {"打印设置(&R)...", ID_FILE_PRINT_SETUP},
      {nullptr, 0},
      {"最近的文件", ID_FILE_MRU_FILE1},
      {nullptr, 0},
      {"退出(&X)", ID_APP_EXIT}}},
    {"编辑(&E)",
     {{"撤消\tCtrl+Z(&U)", ID_EDIT_UNDO},
      {nullptr, 0},
      {"剪切\tCtrl+X(&T)", ID_EDIT_CUT},
      {"复制\tCtrl+C(&C)", ID_EDIT_COPY},
      {"粘贴\tCtrl+V(&P)", ID_EDIT_PASTE},
      {nullptr, 0},
      {"全部标为已读", ID_MARK_ALL_READ},
      {"下一条未读\tN", ID_NEXT_UNREAD},
      {"只看未读", ID_UNREAD_ONLY},
      {"显示已隐藏", ID_SHOW_HIDDEN}}},
    {"帮助(&H)",
     {{"系统设置", ID_SYSTEM_SETTINGS},
      {"过滤规则…", ID_NEWS_RULES},
      {"同步账户…", ID_SYNC_ACCOUNT},
      {"关于 Quillon(&A)...", ID_APP_ABOUT},
      {nullptr, 0},
      {"更新版本", ID_UPDATE_VERSION}}},
};

QList<QKeySequence> Keys(std::initializer_list<QKeySequence> keys) {
    return QList<QKeySequence>(keys);
}

}  // namespace

TEST_F(ReaderWindow, MenusCarryEveryItemTextAndCommand) {
    Open();
    const QList<QAction*> popups = Frame()->menuBar()->actions();
    ASSERT_EQ(popups.size(), static_cast<qsizetype>(kMenus.size()));
    for (std::size_t p = 0; p < kMenus.size(); ++p) {
        EXPECT_EQ(popups[p]->text(), QString::fromUtf8(kMenus[p].first));
        const QList<QAction*> items = popups[p]->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(kMenus[p].second.size())) << p;
        for (std::size_t i = 0; i < kMenus[p].second.size(); ++i) {
            const MenuEntry& entry = kMenus[p].second[i];
            if (entry.text == nullptr) {
                EXPECT_TRUE(items[i]->isSeparator()) << p << "/" << i;
            } else {
                EXPECT_EQ(items[i]->text(), QString::fromUtf8(entry.text));
                EXPECT_EQ(items[i]->data().toInt(), entry.id);
            }
        }
    }
}

TEST_F(ReaderWindow, AcceleratorsReachTheirCommands) {
    Open();
    const std::vector<std::pair<int, QList<QKeySequence>>> expected = {
        {ID_FILE_NEW, Keys({QKeySequence("Ctrl+N")})},
        {ID_FILE_OPEN, Keys({QKeySequence("Ctrl+O")})},
        {ID_FILE_SAVE, Keys({QKeySequence("Ctrl+S")})},
        {ID_FILE_PRINT, Keys({QKeySequence("Ctrl+P")})},
        {ID_EDIT_UNDO, Keys({QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")})},
        {ID_EDIT_CUT, Keys({QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")})},
        {ID_EDIT_COPY, Keys({QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")})},
        {ID_EDIT_PASTE, Keys({QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")})},
        {ID_NEXT_PANE, Keys({QKeySequence("F6")})},
        {ID_PREV_PANE, Keys({QKeySequence("Shift+F6")})},
        {ID_EDIT_FIND, Keys({QKeySequence("Ctrl+F")})},
    };
    for (const auto& [id, keys] : expected) {
        ASSERT_NE(Frame()->CommandAction(id), nullptr) << id;
        EXPECT_EQ(Frame()->CommandAction(id)->shortcuts(), keys) << id;
    }
    // F6 and Shift+F6 walk the panes in both directions.
    Tree()->setFocus();
    QTest::keyClick(Frame(), Qt::Key_F6);
    EXPECT_TRUE(Frame()->Panes()[1]->hasFocus());
    QTest::keyClick(Frame(), Qt::Key_F6, Qt::ShiftModifier);
    QTest::keyClick(Frame(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(Frame()->Panes()[3]->isAncestorOf(QApplication::focusWidget()));
}

TEST_F(ReaderWindow, TheCaptionStaysQuillon) {
    Open();
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Quillon"));
    Frame()->setWindowTitle(QStringLiteral("something else"));
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Quillon"));
}

TEST_F(ReaderWindow, TheStatusBarShowsReadyAndTheLockIndicators) {
    Open();
    EXPECT_EQ(Frame()->StatusText(), QString::fromUtf8("就绪"));
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = Frame()->statusBar()->findChild<QLabel*>(QString::fromLatin1(indicator));
        ASSERT_NE(label, nullptr) << indicator;
        EXPECT_EQ(label->text(), QString::fromLatin1(indicator));
    }
}

TEST_F(ReaderWindow, OnlyTheSearchBarsSplitterBarIsFixed) {
    Open();
    EXPECT_FALSE(Frame()->RightSplitter()->handle(1)->isEnabled());
    EXPECT_TRUE(Frame()->MainSplitter()->handle(1)->isEnabled());
    EXPECT_TRUE(Frame()->ListSplitter()->handle(1)->isEnabled());
    QSplitterHandle* bar = Frame()->RightSplitter()->handle(1);
    QTest::mousePress(bar, Qt::LeftButton, {}, bar->rect().center());
    QTest::mouseMove(bar, bar->rect().center() + QPoint(0, 120));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->rect().center() + QPoint(0, 120));
    EXPECT_EQ(Frame()->RightSplitter()->sizes()[0], 30);
}

TEST_F(ReaderWindow, SwitchListPaneSwapsTheListForTheBookViewAndBack) {
    Open();
    Frame()->SwitchListPane(kListModeBook);
    EXPECT_EQ(g_nListMode.load(), kListModeBook);
    EXPECT_NE(qobject_cast<CTD_BookView*>(Frame()->ListPlace()), nullptr);
    EXPECT_EQ(g_pListView, nullptr);

    Frame()->SwitchListPane(7);  // only stored
    EXPECT_EQ(g_nListMode.load(), 7);
    EXPECT_NE(qobject_cast<CTD_BookView*>(Frame()->ListPlace()), nullptr);

    Frame()->SwitchListPane(kListModeToday);
    auto* list = qobject_cast<CTD_ListView*>(Frame()->ListPlace());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(g_pListView, list);
    EXPECT_EQ(list->model()->rowCount(), 0);
    Frame()->SwitchListPane(kListModeAll);
    EXPECT_NE(qobject_cast<CTD_ListView*>(Frame()->ListPlace()), list);  // a fresh list
}

TEST_F(ReaderWindow, TheBookViewPaintsItsNotice) {
    Open();
    Frame()->SwitchListPane(kListModeBook);
    QWidget* book = Frame()->ListPlace();
    const QImage image = book->grab().toImage();
    bool inked = false;  // something was drawn near the top-left corner
    for (int y = 0; y < 20 && !inked; ++y) {
        for (int x = 0; x < 60 && !inked; ++x) {
            inked =
                image.pixelColor(x, y) != image.pixelColor(image.width() - 1, image.height() - 1);
        }
    }
    EXPECT_TRUE(inked);
}

TEST_F(ReaderWindow, UpdateVersionOpensThePublishersPageWithoutWaiting) {
    Open();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
    Frame()->CommandAction(ID_UPDATE_VERSION)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return catcher.Count() == 1; }, 5000));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(catcher.Last(),
              QUrl(QString::fromStdString(m_server.Url("/rss/index.asp?boardid=6"))));
}

TEST_F(ReaderWindow, NewAndOpenDocumentDoNotLoadASecondTree) {
    Open();
    const int items = static_cast<int>(Tree()->Nodes().Handles().size());
    Frame()->CommandAction(ID_FILE_NEW)->trigger();
    EXPECT_EQ(static_cast<int>(Tree()->Nodes().Handles().size()), items);
    EXPECT_EQ(Tree()->topLevelItemCount(), 2);  // 星标新闻 and the root
}

TEST_F(ReaderWindow, ClosingWhileLoadingAndCountingSavesTheSettingsPromptly) {
    // Enough items that the loader (with its pauses) is still at work when the window closes.
    AddTodaysItems("weather", 3000);
    Open();
    theStore.Settings().SetRetentionDays(12);
    ClickItem(ItemNamed("weather"));
    ASSERT_TRUE(g_pListView->List().IsBusy());
    const auto started = std::chrono::steady_clock::now();
    Close();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(static_cast<unsigned char>(m_folder.ReadFile("data/sysdata.dat")[8]), 12);
}
