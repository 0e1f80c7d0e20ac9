#pragma once

#include <QMainWindow>
#include <QSplitter>
#include <atomic>
#include <map>
#include <string>

#include "app/main_status_bar.h"
#include "feeds/engine_report.h"
#include "model/node_map.h"
#include "store/keyword_tree_file.h"

class CFocusCommands;
class CLayoutMemory;
class CNewsNotifier;
class CPrintCommands;
class CReadingCommands;
class CSubscriptionCommands;
class CUnreadFilterCommands;
class CRuleCommands;
class CZoomCommands;
class CTD_FormView;
class CBrowserPane;
class CTD_HtmlView;
class CTD_LeftFormView;
class CTD_ListView;
class CTD_TreeView;
class QTreeWidgetItem;

// The main window: the menu bar, the status bar and five panes in nested splitters: the
// link panel above the channel tree on the left; the search bar, the news list (or the book
// view) and the browser pane on the right. The caption is "Quillon", followed by the number
// of unread news in brackets while there are any: "Quillon (12)".
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The views' initial update: the tree loads and starts the engine (once), the browser
    // pane shows its start page.
    void InitialUpdate();

    // Puts a fresh view in the news-list place: 0 the list of all news, 1 today's news, 2
    // the book view. Any other mode is only stored.
    void SwitchListPane(int mode);

    // Sends the browser pane to `address` as it stands. The panes keep their sizes.
    void OpenInBrowserPane(const std::string& address);
    // Puts a fresh view for list mode `mode` in the news-list place and has the document
    // update its views. The two lists show again if the newspaper had hidden them, and load
    // the selected tree node's news at once. The newspaper waits while a list still loads:
    // that load is stopped, and the user asks again once it has; then its page fills the
    // right side below the search bar.
    void ShowListMode(int mode);
    // Loads the selected tree node's news again into the list shown (after the retention
    // period changed, or in a new list mode). Nothing while the book view holds the place.
    void ReloadList();

    // The sizes of a first start on the client area W x H: the left column W/4 (at least
    // 100), the search bar 30, and below it the news list kStartListShare of the height (at
    // least 50) and the page the rest, more than half. Later the sizes are the user's; only
    // the calls below change them.
    void ApplyStartLayout();
    // Hides the news-list place, so that the page fills the right side below the search bar,
    // or shows it again with its start-up share when it was hidden.
    void SetListPlaceShown(bool shown);
    // Gives the page its start-up share of the right side when it has less (the list's double
    // click opened an item there); the left column stays as the user set it.
    void GivePageRoom();
    static constexpr double kStartListShare = 0.4;

    // The status bar's panes (CMainStatusBar) as the window's callers reach them.
    bool LockIndicatorLit(const char* indicator) const {
        return m_status->LockIndicatorLit(indicator);
    }
    // Repaints the view of the news-list place (the document asked its views to update).
    void RepaintListPlace();

    void SetStatusText(const QString& text) { m_status->SetStatusText(text); }
    QString StatusText() const { return m_status->StatusText(); }
    // The caption for `unread` unread news in the tree's channels.
    void SetUnreadTotal(int unread);
    QString Caption() const { return m_caption; }
    void ShowUpdateProgress(const UpdateTally& tally) { m_status->ShowUpdateProgress(tally); }
    void ShowUpdateDone(const UpdateTally& tally) { m_status->ShowUpdateDone(tally); }
    void SetUpdateText(const QString& text) { m_status->SetUpdateText(text); }
    QString UpdateText() const { return m_status->UpdateText(); }
    QProgressBar* UpdateProgressBar() const { return m_status->UpdateProgressBar(); }
    // What tells of an update's news while the window is out of sight.
    CNewsNotifier* Notifier() const { return m_notifier; }
    void SetRecentFiles(const QStringList& files);

    QAction* CommandAction(int commandId) const;
    CTD_TreeView* TreeView() const { return m_treeView; }
    CBrowserPane* BrowserPane() const { return m_browser; }
    CTD_FormView* SearchBar() const { return m_searchBar; }
    CTD_LeftFormView* LinkPanel() const { return m_linkPanel; }
    QWidget* ListPlace() const { return m_listSplitter->widget(0); }
    QSplitter* MainSplitter() const { return m_mainSplitter; }
    QSplitter* LeftSplitter() const { return m_leftSplitter; }
    QSplitter* RightSplitter() const { return m_rightSplitter; }
    QSplitter* ListSplitter() const { return m_listSplitter; }
    // The panes F6 visits, in its order: the tree, the news-list place, the page, the search bar.
    QList<QWidget*> Panes() const;

    static const char kCaption[];
    static const char kNoUnreadText[];

signals:
    // A command that belongs to the application rather than to a view.
    void ApplicationCommand(int commandId);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateMenus();
    void CreateAccelerators();
    void CreateClient();
    QAction* AddCommand(QMenu* menu, const QString& text, int commandId);
    void OnCommand(int commandId);
    void OnNodeClicked(const CKeywordNode& record, CNodeMap::Handle item);
    // Shows the newspaper page in the browser pane.
    void ShowNewspaper();
    // The news list's height when it takes its start-up share of the right side.
    int StartListHeight() const;
    // A news list for `mode`, wired to the status bar and the browser pane.
    CTD_ListView* NewListView(int mode);

    QSplitter* m_mainSplitter = nullptr;
    QSplitter* m_leftSplitter = nullptr;
    QSplitter* m_rightSplitter = nullptr;
    QSplitter* m_listSplitter = nullptr;
    CTD_TreeView* m_treeView = nullptr;
    CBrowserPane* m_browser = nullptr;
    CTD_FormView* m_searchBar = nullptr;
    CTD_LeftFormView* m_linkPanel = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
    std::map<int, QAction*> m_actions;
    bool m_sized = false;
    CLayoutMemory* m_layout = nullptr;  // children of the window
    CNewsNotifier* m_notifier = nullptr;
    CReadingCommands* m_reading = nullptr;
    CSubscriptionCommands* m_subscriptions = nullptr;
    CUnreadFilterCommands* m_unreadFilter = nullptr;
    CRuleCommands* m_rules = nullptr;
    CMainStatusBar* m_status = nullptr;
    CPrintCommands* m_print = nullptr;
    CZoomCommands* m_zoom = nullptr;
    CFocusCommands* m_focus = nullptr;
    QString m_caption;
};

// The window's panes, for the application and its tests; only app/ reads them. Each is null
// while its pane does not exist. Window thread only.
extern CMainFrame* g_pMainFrame;
extern CTD_TreeView* g_pTreeView;
extern QTreeWidgetItem* g_hRootItem;  // the tree's root item, once the tree has loaded
// The browser pane's engine view, once the pane has made it for its first page.
extern CTD_HtmlView* g_pHtmlView;
extern CTD_ListView* g_pListView;  // null while the news-list place shows the book view
// What the news-list place shows (model/list_mode.h), kListModeAll at start: set by
// SwitchListPane.
extern std::atomic<int> g_nListMode;
