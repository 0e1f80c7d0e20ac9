#pragma once

#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/news_loader.h"
#include "model/node_map.h"
#include "store/app_settings.h"
#include "store/sys_data.h"
#include "views/news_sort.h"
#include "views/news_table_model.h"

class CFeedStore;
class CListMenu;

// The news-list pane: a click on a tree node loads that channel's or folder's news in the
// background, a search every stored item that holds the typed text; a click on a row, or
// moving the selection with the keyboard, announces the item's page for the browser pane and
// marks the item read; a double click or Enter the item's own address. Space and N ask for
// the next unread item. The list keeps the page of its current row in view: gaining the focus
// from the keyboard shows the current row (the first when there is none). Home and End go to
// the first and the last row, and no key scrolls the list sideways. Rows can be selected
// together: the context menu (CListMenu) and Ctrl+C act on the selected rows. A cell whose
// text is cut shows the whole text as its tooltip. S, or a click in the star column (the
// vertical header) stars the rows or takes their stars off; U marks the selected rows unread.
// With kUnreadOnlySetting on, a load lists only unread items; a row read meanwhile stays until
// the list is loaded again. A click on a column's header sorts the rows by it within their age
// groups, a second click reverses the order (CNewsSort, kept in the settings); a load is
// sorted when it ends, a refresh's rows before they are shown, and the selection, the current
// row and the rows' read states and stars go with their rows. The pane shows news in one list
// mode
// (model/list_mode.h), fixed for its life: the window puts a fresh pane in place for another
// mode.
class CTD_ListView : public QTableView, private INewsListListener {
    Q_OBJECT
public:
    // `store` is read for the rows, the pages and the colours; `nodes` gives the channels
    // below a folder. Both outlive the pane.
    CTD_ListView(CFeedStore& store, const CNodeMap& nodes, int listMode, QWidget* parent = nullptr);
    ~CTD_ListView() override;

    // Loads the news of the clicked node (a request while a load runs stops that load and
    // is itself dropped). `item` is the tree item, for the names below a folder.
    void ShowNode(const CKeywordNode& record, CNodeMap::Handle item);
    // Like ShowNode, but a request that finds a load busy stops that load and waits for it
    // (for a node the user did not click: the search field was cleared).
    void ShowNodeWhenIdle(const CKeywordNode& record, CNodeMap::Handle item);
    // Lists every stored item that holds `typed`, newest first; a load that is busy is stopped
    // and the search waits for it, so that the last text typed is the one searched.
    void ShowSearch(const QString& typed);
    // Whether the rows are a search's.
    bool ShowsSearch() const { return m_showsSearch; }
    // Loads the node's news afresh: a load still running is stopped and waited for first, so
    // the request is never dropped.
    void Reload(const CKeywordNode& record, CNodeMap::Handle item);
    // News may have been stored (an update, a subscription): the node's rows are read again
    // in the background, within kRefreshDelayMs, and the new ones join the list, bold while
    // unread, the selection and the rows in view staying where they were (the top stays the
    // top). Nothing while a search is listed or a load runs.
    void RefreshSoon();
    static constexpr int kRefreshDelayMs = 1000;
    int ListMode() const { return m_listMode; }
    // Brings the row into view without scrolling sideways: the columns stay where the user
    // scrolled them.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

    // Selects the first unread row from the current one on (from the top without one) and
    // shows its page; false when there is none.
    bool SelectNextUnread();
    // The whole text of a cell whose text is cut (it does not fit its column, or its field
    // lost its end), the cell's tooltip; empty for a cell shown whole.
    QString CutCellText(const QModelIndex& index) const;

    // Notes that every stored item of these channels, or every item at all, was marked read.
    void MarkChannelsRead(const std::vector<std::string>& names);
    void MarkEverythingRead();
    // Notes that the item `id` was marked read elsewhere (a page of the newspaper).
    void NoteItemRead(std::int64_t id);
    // Marks the unread ones of `rows` read in the database and in the list.
    void MarkRowsRead(const std::vector<CNewsRow>& rows);
    // Marks the read ones of `rows` unread in the database and in the list.
    void MarkRowsUnread(const std::vector<CNewsRow>& rows);
    // Stars `rows`, or takes their stars off when every one of them has one; the shown page
    // follows. False when nothing could be changed.
    bool ToggleStars(const std::vector<CNewsRow>& rows);

    // Whether loads list only unread items (data/settings.conf).
    static constexpr CAppSettings::IntKey kUnreadOnlySetting{"list.unread_only", 0, 0, 1};

    // The selected rows in display order; the current row when none is selected.
    std::vector<CNewsRow> SelectedRows() const;
    // Opens the item's own address in the browser pane (double click, Enter, 打开原文) and
    // gives the page room.
    void OpenItemLink(const QModelIndex& index);

    CNewsList& List() { return *m_list; }
    CNewsTableModel& Model() { return *m_model; }
    CListMenu& Menu() { return *m_menu; }
    const CNewsSort& Sort() const { return m_sort; }
    // Takes the order kept in the settings, and shows it in the header (once they are read).
    void ShowSavedSort();
    CFeedStore& Store() { return m_store; }

    // Column headers and widths in pixels.
    static const char* const kHeaders[6];
    static const int kWidths[6];

signals:
    // A text for the status bar (the loader's progress and failures).
    void StatusText(const QString& text);
    // A generated page to show in the browser pane, with its base address.
    void PageReady(const QString& html, const QUrl& baseUrl);
    // An address to open in the browser pane.
    void LinkOpened(const QString& address);
    // An item's read state changed: its page was shown, or it was marked read or unread.
    void ItemRead();
    // Items gained or lost their stars.
    void StarsChanged();
    // The user asks for the next unread item (Space, N).
    void NextUnreadRequested();
    // A load has ended with its last rows published.
    void LoadEnded();
    // The page wants room: a double click opened the item's own address in it.
    void PageRoomWanted();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    // A click in the star column stars its row; it neither selects nor shows it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Home and End go to the first and the last row, as in a list (a table's go along the row),
    // staying in the current column.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void PublishCount(int count) override;
    void ShowStatus(const std::string& text) override;
    void LoadFinished() override;
    void RefreshRead(std::uint64_t token, std::vector<CNewsRow> rows) override;
    // Reads the shown node's rows again (RefreshSoon).
    void Refresh();
    // Puts the rows a refresh read in place, keeping the selection and the rows in view.
    void ApplyRefresh(std::uint64_t token, std::vector<CNewsRow> rows);
    void ShowItemPage(const QModelIndex& index);
    // Shows the page of the item `id` again if it is the one shown (its star changed).
    void RewriteShownPage(std::int64_t id);
    // The order chosen by a click on the header: kept, and applied unless a load runs (its
    // end applies it).
    void SortBy(int column, Qt::SortOrder order);
    // Puts the listed rows in m_sort's order, the selection and current row going with them.
    void SortRows();
    // What the user has in the list: the selected items, the current one and its column.
    struct Place {
        std::set<std::int64_t> selected;
        std::optional<CNewsRow> current;
        int column = 0;
    };
    Place KeptPlace() const;
    // Selects the rows of the items `place` holds and makes its current item current again
    // (among the first `count` rows); returns the current index (invalid when it is gone).
    QModelIndex RestorePlace(const Place& place, int count);
    // Runs `request` now, or once the running load has stopped.
    void RunWhenIdle(std::function<void()> request);

    CFeedStore& m_store;
    const CNodeMap& m_nodes;
    const int m_listMode;
    std::unique_ptr<CNewsList> m_list;
    CNewsTableModel* m_model = nullptr;
    CListMenu* m_menu = nullptr;
    bool m_showsSearch = false;
    CNewsSort m_sort;
    // The node whose rows are listed, for a refresh; its type is NODE_NONE while none is.
    CKeywordNode m_shownNode;
    bool m_refreshing = false;  // the running load is a refresh
    QTimer* m_refreshDelay = nullptr;
    // The item whose page the list last announced; -1 for none.
    std::int64_t m_shownItem = -1;
    // The request waiting for the running load to stop, tried again by m_retry.
    std::function<void()> m_waiting;
    QTimer* m_retry = nullptr;
};
