#include "app/main_frame.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <algorithm>

#include "app/focus_commands.h"
#include "app/layout_memory.h"
#include "app/main_status_bar.h"
#include "app/news_notifier.h"
#include "app/print_commands.h"
#include "app/quillon_app.h"
#include "app/quillon_doc.h"
#include "app/reading_commands.h"
#include "app/rule_commands.h"
#include "app/subscription_commands.h"
#include "app/unread_filter_commands.h"
#include "app/zoom_commands.h"
#include "bars/link_panel.h"
#include "bars/search_bar.h"
#include "model/list_mode.h"
#include "model/newspaper_page.h"
#include "views/book_view.h"
#include "views/browser_pane.h"
#include "views/command_ids.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/tree_view.h"

CMainFrame* g_pMainFrame = nullptr;
CTD_TreeView* g_pTreeView = nullptr;
QTreeWidgetItem* g_hRootItem = nullptr;
CTD_HtmlView* g_pHtmlView = nullptr;
CTD_ListView* g_pListView = nullptr;
std::atomic<int> g_nListMode{kListModeAll};

const char CMainFrame::kCaption[] = "Quillon";
const char CMainFrame::kNoUnreadText[] = "没有未读新闻";

namespace {

constexpr int kSearchBarHeight = 30;
constexpr int kMinimumLeftWidth = 100;
constexpr int kMinimumListHeight = 50;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    g_pMainFrame = this;
    m_caption = Utf8(kCaption);
    setWindowTitle(m_caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    CreateMenus();
    CreateAccelerators();
    CreateClient();
    resize(1000, 700);
}

CMainFrame::~CMainFrame() {
    if (g_pMainFrame == this) {
        g_pMainFrame = nullptr;
        g_pTreeView = nullptr;
        g_hRootItem = nullptr;
        g_pHtmlView = nullptr;
        g_pListView = nullptr;
    }
}

QAction* CMainFrame::AddCommand(QMenu* menu, const QString& text, int commandId) {
    auto* action = new QAction(text, this);
    action->setData(commandId);
    connect(action, &QAction::triggered, this, [this, commandId] { OnCommand(commandId); });
    if (menu) {
        menu->addAction(action);
    } else {
        addAction(action);  // an accelerator without a menu item
    }
    m_actions[commandId] = action;
    return action;
}

QAction* CMainFrame::CommandAction(int commandId) const {
    const auto found = m_actions.find(commandId);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(Utf8("文件(&F)"));
    m_fileMenu = file;
    AddCommand(file, Utf8("导出OPML"), ID_EXPORT_OPML);
    AddCommand(file, Utf8("我要订阅"), ID_SUBSCRIBE);
    AddCommand(file, Utf8("订阅新闻源…"), ID_SUBSCRIBE_FEED);
    AddCommand(file, Utf8("全部更新\tF5"), ID_UPDATE_ALL)->setShortcut(QKeySequence(Qt::Key_F5));
    AddCommand(file, Utf8("立即同步"), ID_SYNC_NOW);
    file->addSeparator();
    AddCommand(file, Utf8("打印...\tCtrl+P(&P)"), ID_FILE_PRINT);
    AddCommand(file, Utf8("打印预览(&V)"), ID_FILE_PRINT_PREVIEW);
    AddCommand(file, Utf8("打印设置(&R)..."), ID_FILE_PRINT_SETUP);
    file->addSeparator();
    m_recentPlaceholder = AddCommand(file, Utf8("最近的文件"), ID_FILE_MRU_FILE1);
    m_recentPlaceholder->setEnabled(false);
    file->addSeparator();
    AddCommand(file, Utf8("退出(&X)"), ID_APP_EXIT);

    QMenu* edit = menuBar()->addMenu(Utf8("编辑(&E)"));
    AddCommand(edit, Utf8("撤消\tCtrl+Z(&U)"), ID_EDIT_UNDO);
    edit->addSeparator();
    AddCommand(edit, Utf8("剪切\tCtrl+X(&T)"), ID_EDIT_CUT);
    AddCommand(edit, Utf8("复制\tCtrl+C(&C)"), ID_EDIT_COPY);
    AddCommand(edit, Utf8("粘贴\tCtrl+V(&P)"), ID_EDIT_PASTE);
    edit->addSeparator();
    AddCommand(edit, Utf8("全部标为已读"), ID_MARK_ALL_READ);
    // N and Space are the list's and the tree's own keys, not the window's: a window-wide
    // letter would be taken from every text field of a page in the browser pane.
    AddCommand(edit, Utf8("下一条未读\tN"), ID_NEXT_UNREAD);
    AddCommand(edit, Utf8("只看未读"), ID_UNREAD_ONLY);
    AddCommand(edit, Utf8("显示已隐藏"), ID_SHOW_HIDDEN);

    QMenu* help = menuBar()->addMenu(Utf8("帮助(&H)"));
    AddCommand(help, Utf8("系统设置"), ID_SYSTEM_SETTINGS);
    AddCommand(help, Utf8("过滤规则…"), ID_NEWS_RULES);
    AddCommand(help, Utf8("同步账户…"), ID_SYNC_ACCOUNT);
    AddCommand(help, Utf8("关于 Quillon(&A)..."), ID_APP_ABOUT);
    help->addSeparator();
    AddCommand(help, Utf8("更新版本"), ID_UPDATE_VERSION);
}

void CMainFrame::CreateAccelerators() {
    AddCommand(nullptr, QString(), ID_FILE_NEW)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(nullptr, QString(), ID_FILE_OPEN)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    AddCommand(nullptr, QString(), ID_FILE_SAVE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(nullptr, QString(), ID_NEXT_PANE)->setShortcut(QKeySequence(Qt::Key_F6));
    AddCommand(nullptr, QString(), ID_PREV_PANE)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    AddCommand(nullptr, QString(), ID_EDIT_FIND)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    CommandAction(ID_FILE_PRINT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    CommandAction(ID_EDIT_UNDO)
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    CommandAction(ID_EDIT_CUT)
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    CommandAction(ID_EDIT_COPY)
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    CommandAction(ID_EDIT_PASTE)
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
}

void CMainFrame::CreateClient() {
    m_mainSplitter = new QSplitter(Qt::Horizontal, this);
    m_mainSplitter->setChildrenCollapsible(false);

    m_leftSplitter = new QSplitter(Qt::Vertical, m_mainSplitter);
    m_linkPanel = new CTD_LeftFormView(m_leftSplitter);
    m_leftSplitter->addWidget(m_linkPanel);
    m_treeView = new CTD_TreeView(theStore, m_leftSplitter);
    g_pTreeView = m_treeView;
    m_reading = new CReadingCommands(*this, *m_treeView);
    m_subscriptions = new CSubscriptionCommands(*this, *m_treeView);
    m_leftSplitter->addWidget(m_treeView);
    m_leftSplitter->setSizes({100, 600});
    m_leftSplitter->setStretchFactor(1, 1);

    m_rightSplitter = new QSplitter(Qt::Vertical, m_mainSplitter);
    m_rightSplitter->setChildrenCollapsible(false);
    m_searchBar = new CTD_FormView(m_rightSplitter);
    m_searchBar->setFixedHeight(kSearchBarHeight);
    m_rightSplitter->addWidget(m_searchBar);
    m_listSplitter = new QSplitter(Qt::Vertical, m_rightSplitter);
    m_listSplitter->setChildrenCollapsible(false);
    m_rightSplitter->addWidget(m_listSplitter);
    m_rightSplitter->setStretchFactor(1, 1);
    // The bar between the search bar and the panes below it cannot be dragged.
    m_rightSplitter->handle(1)->setEnabled(false);

    m_browser = new CBrowserPane(m_listSplitter);
    connect(m_browser, &CBrowserPane::ViewMade, this,
            [](CTD_HtmlView* view) { g_pHtmlView = view; });
    m_listSplitter->addWidget(NewListView(g_nListMode.load()));
    m_listSplitter->addWidget(m_browser);
    m_listSplitter->setStretchFactor(1, 1);
    m_unreadFilter = new CUnreadFilterCommands(*this, *m_searchBar, *CommandAction(ID_UNREAD_ONLY));
    m_rules = new CRuleCommands(*this, *m_treeView, *CommandAction(ID_NEWS_RULES),
                                *CommandAction(ID_SHOW_HIDDEN));

    m_layout = new CLayoutMemory(theStore.MoreSettings(), m_listSplitter, m_treeView, this);
    m_notifier = new CNewsNotifier(this);
    m_status = new CMainStatusBar(*statusBar(), *m_notifier);
    m_print = new CPrintCommands(*this, *m_browser);
    m_zoom = new CZoomCommands(*this, *m_browser);
    m_focus = new CFocusCommands(
        *this, [this] { return Panes(); }, [this](int id) { return CommandAction(id); });

    m_mainSplitter->addWidget(m_leftSplitter);
    m_mainSplitter->addWidget(m_rightSplitter);
    m_mainSplitter->setStretchFactor(1, 1);
    setCentralWidget(m_mainSplitter);

    connect(m_treeView, &CTD_TreeView::NodeClicked, this, &CMainFrame::OnNodeClicked);
    // A channel added after start is fetched at once, with its subscribed feeds.
    connect(m_treeView, &CTD_TreeView::ChannelAdded, this,
            [](const std::string& name) { theStore.RefreshChannel(name); });
    // Updates fetch the tree's channels as they are now: with timed updates, a deleted or
    // renamed channel would otherwise be fetched (and its news stored) until the next start.
    connect(m_treeView, &CTD_TreeView::TreeChanged, this,
            [this] { theStore.SetKeywords(ChannelKeywords(m_treeView->Nodes())); });
    connect(m_linkPanel, &CTD_LeftFormView::PageRequested, this, &CMainFrame::OpenInBrowserPane);
    connect(m_searchBar, &CTD_FormView::PageRequested, this, &CMainFrame::OpenInBrowserPane);
    connect(m_searchBar, &CTD_FormView::ListModeRequested, this, &CMainFrame::ShowListMode);
    connect(m_searchBar, &CTD_FormView::SearchRequested, m_reading, &CReadingCommands::ShowSearch);
    connect(m_searchBar, &CTD_FormView::SearchCleared, m_reading, &CReadingCommands::EndSearch);
    connect(m_treeView, &CTD_TreeView::UnreadTotalChanged, this, &CMainFrame::SetUnreadTotal);
    connect(m_treeView, &CTD_TreeView::NewsCountsChanged, this, [] {
        if (g_pListView) {
            g_pListView->RefreshSoon();
        }
    });
    connect(m_browser, &CBrowserPane::AddressShown, m_searchBar, &CTD_FormView::ShowAddress);
    connect(m_browser, &CBrowserPane::ItemLinkClicked, m_reading,
            &CReadingCommands::ShowLinkedItem);
}

CTD_ListView* CMainFrame::NewListView(int mode) {
    auto* list = new CTD_ListView(theStore, m_treeView->Nodes(), mode);
    connect(list, &CTD_ListView::StatusText, this, &CMainFrame::SetStatusText);
    connect(list, &CTD_ListView::PageReady, m_browser, &CBrowserPane::WriteHtml);
    connect(list, &CTD_ListView::LinkOpened, m_browser, &CBrowserPane::Navigate2);
    connect(list, &CTD_ListView::ItemRead, m_treeView, &CTD_TreeView::RefreshCounts);
    connect(list, &CTD_ListView::StarsChanged, m_treeView, &CTD_TreeView::RecountStarred);
    connect(list, &CTD_ListView::NextUnreadRequested, m_reading, &CReadingCommands::ShowNextUnread);
    connect(list, &CTD_ListView::LoadEnded, m_reading, &CReadingCommands::OnListLoadEnded);
    connect(list, &CTD_ListView::PageRoomWanted, this, &CMainFrame::GivePageRoom);
    list->List().SetShowHidden(CRuleCommands::ShowHidden());
    g_pListView = list;
    return list;
}

void CMainFrame::OpenInBrowserPane(const std::string& address) {
    m_browser->Navigate2(QString::fromStdString(address));
}

void CMainFrame::ShowListMode(int mode) {
    if (mode == kListModeBook && g_pListView) {
        CNewsList& list = g_pListView->List();
        list.Invalidate();
        if (list.IsBusy()) {
            return;
        }
    }
    SwitchListPane(mode);
    if (mode == kListModeBook) {
        SetListPlaceShown(false);
        ShowNewspaper();
    } else {
        SetListPlaceShown(true);
        ReloadList();
    }
    if (g_pDocument) {
        g_pDocument->UpdateAllViews();
    }
}

void CMainFrame::ReloadList() {
    auto* list = qobject_cast<CTD_ListView*>(ListPlace());
    QTreeWidgetItem* item = m_treeView->currentItem();
    if (list != nullptr && item != nullptr) {
        list->Reload(m_treeView->ListedRecord(item), CTD_TreeView::HandleOf(item));
    }
}

void CMainFrame::ShowNewspaper() {
    QTreeWidgetItem* root = m_treeView->RootItem();
    const std::string page =
        root ? ReadNewspaper(m_treeView->Nodes(), CTD_TreeView::HandleOf(root), theStore)
             : BuildNewspaperPage({}, std::string());
    m_browser->WriteHtml(QString::fromStdString(page), QUrl(QStringLiteral("about:blank")));
}

void CMainFrame::InitialUpdate() {
    m_treeView->OnInitialUpdate();
    // The tree's start read the settings.
    m_layout->RestoreWindow(this);
    m_layout->RestoreExpandedFolders();
    g_hRootItem = m_treeView->RootItem();
    m_browser->ShowStartPage();
    m_searchBar->OnInitialUpdate();
    m_unreadFilter->ShowSetting();
    m_rules->ShowSetting();
    m_zoom->ShowSetting();
    if (g_pListView) {
        g_pListView->ShowSavedSort();
    }
    if (g_pDocument) {
        g_pDocument->UpdateAllViews();
    }
}

QList<QWidget*> CMainFrame::Panes() const {
    return {m_treeView, ListPlace(), m_browser, m_searchBar};
}

int CMainFrame::StartListHeight() const {
    const int below = std::max(centralWidget()->height() - kSearchBarHeight, 1);
    return std::max(static_cast<int>(below * kStartListShare), kMinimumListHeight);
}

void CMainFrame::ApplyStartLayout() {
    const QSize client = centralWidget()->size();
    const int left = std::max(client.width() * 200 / 800, kMinimumLeftWidth);
    m_mainSplitter->setSizes({left, std::max(client.width() - left, 1)});
    const int below = std::max(client.height() - kSearchBarHeight, 1);
    m_rightSplitter->setSizes({kSearchBarHeight, below});
    SetListPlaceShown(true);
    const int list = StartListHeight();
    m_listSplitter->setSizes({list, std::max(below - list - m_listSplitter->handleWidth(), 1)});
}

void CMainFrame::SetListPlaceShown(bool shown) {
    const QList<int> sizes = m_listSplitter->sizes();
    const int total = sizes[0] + sizes[1];
    if (!shown) {
        // Like a pane dragged below its minimum, the list place is then hidden.
        m_listSplitter->setCollapsible(0, true);
        m_listSplitter->setSizes({0, std::max(total, 1)});
        return;
    }
    m_listSplitter->setCollapsible(0, false);
    if (sizes[0] == 0) {
        const int list = StartListHeight();
        m_listSplitter->setSizes({list, std::max(total - list, 1)});
    }
}

void CMainFrame::GivePageRoom() {
    const QList<int> sizes = m_listSplitter->sizes();
    const int list = StartListHeight();
    if (sizes[0] > list) {
        m_listSplitter->setSizes({list, sizes[0] + sizes[1] - list});
    }
}

void CMainFrame::RepaintListPlace() {
    QWidget* place = ListPlace();
    if (auto* area = qobject_cast<QAbstractScrollArea*>(place)) {
        area->viewport()->update();
    }
    place->update();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_sized) {
        m_sized = true;
        ApplyStartLayout();
        m_layout->RestoreListShare(kMinimumListHeight);
    }
    m_status->WatchLocks(windowHandle());
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowTitleChange && windowTitle() != m_caption) {
        setWindowTitle(m_caption);
    }
}

void CMainFrame::SetUnreadTotal(int unread) {
    m_caption =
        unread > 0 ? QStringLiteral("%1 (%2)").arg(Utf8(kCaption)).arg(unread) : Utf8(kCaption);
    setWindowTitle(m_caption);
}

void CMainFrame::SetRecentFiles(const QStringList& files) {
    for (QAction* action : m_recentActions) {
        m_fileMenu->removeAction(action);
        delete action;
    }
    m_recentActions.clear();
    m_recentPlaceholder->setVisible(files.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i]), this);
        action->setData(ID_FILE_MRU_FILE1 + i);
        m_fileMenu->insertAction(m_recentPlaceholder, action);
        m_recentActions.push_back(action);
    }
}

void CMainFrame::SwitchListPane(int mode) {
    g_nListMode = mode;
    QWidget* fresh = nullptr;
    if (mode == kListModeAll || mode == kListModeToday) {
        fresh = NewListView(mode);
    } else if (mode == kListModeBook) {
        fresh = new CTD_BookView();
        g_pListView = nullptr;
    } else {
        return;
    }
    QWidget* old = ListPlace();
    QWidget* focus = QApplication::focusWidget();
    const bool wasActive = focus == nullptr || old->isAncestorOf(focus) || focus == old;
    const QList<int> sizes = m_listSplitter->sizes();
    m_listSplitter->replaceWidget(0, fresh);
    delete old;
    m_listSplitter->setSizes(sizes);
    if (wasActive) {
        fresh->setFocus();
    }
}

void CMainFrame::OnNodeClicked(const CKeywordNode& record, CNodeMap::Handle item) {
    m_reading->ForgetPendingUnread();
    if (auto* list = qobject_cast<CTD_ListView*>(ListPlace())) {
        list->ShowNode(record, item);
    }
    // The panes keep the sizes the user gave them.
    if (g_pDocument) {
        g_pDocument->UpdateAllViews();
    }
}

void CMainFrame::OnCommand(int commandId) {
    switch (commandId) {
        case ID_APP_EXIT:
            close();
            break;
        case ID_FILE_PRINT:
            m_print->Print();
            break;
        case ID_FILE_PRINT_PREVIEW:
            m_print->PrintPreview();
            break;
        case ID_FILE_PRINT_SETUP:
            m_print->PrintSetup();
            break;
        case ID_EDIT_UNDO:
        case ID_EDIT_CUT:
        case ID_EDIT_COPY:
        case ID_EDIT_PASTE:
            m_focus->ForwardEditCommand(commandId);
            break;
        case ID_NEXT_PANE:
            m_focus->CyclePane(1);
            break;
        case ID_PREV_PANE:
            m_focus->CyclePane(-1);
            break;
        case ID_MARK_ALL_READ:
            m_reading->MarkAllRead();
            break;
        case ID_NEXT_UNREAD:
            m_reading->ShowNextUnread();
            break;
        case ID_UNREAD_ONLY:
        case ID_SHOW_HIDDEN:
        case ID_NEWS_RULES:
            break;  // the entries' own signals do it (CUnreadFilterCommands, CRuleCommands)
        case ID_EDIT_FIND:
            m_searchBar->FocusSearch();
            break;
        default:
            if (!m_subscriptions->Run(commandId)) {
                emit ApplicationCommand(commandId);
            }
            break;
    }
}
