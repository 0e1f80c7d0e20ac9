#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "model/count_refresher.h"
#include "model/node_map.h"
#include "store/keyword_tree_file.h"

class CChannelCommands;
class CFeedStore;
class CTreeCommands;
class CTreeDragger;

// The channel tree pane: above the root the node 星标新闻 (every starred item, labelled with
// their count; it has no menu and takes no drop), then the folders and channels of the tree
// file, each labelled with its count of recent news by a background refresher; a node with unread
// news shows in bold, its tooltip telling how many. A mouse click anywhere on a row (or below the
// last row) hands a copy of the node's record to the news list; so does a selection moved by the
// keyboard once it has rested for kKeyboardLoadDelay (holding an arrow key loads nothing on the
// way), and Enter at once. N asks for the next unread item.
//
// The tree is edited through context menus (a right-click selects the item under the pointer
// and opens its menu; the Menu key and Shift+F10 open the selected item's) and by dragging a
// node onto a folder with the left button. The tree control, the node map and the tree file
// change together and always hold the same tree.
class CTD_TreeView : public QTreeWidget {
    Q_OBJECT
public:
    // `store` gives the tree file's folder, takes the channels for its update engine and is
    // counted by the refresher; it outlives the view.
    explicit CTD_TreeView(CFeedStore& store, QWidget* parent = nullptr);
    // Stops the count refresher and waits for it.
    ~CTD_TreeView() override;

    // Loads the tree, registers every channel with the update engine, starts the engine
    // ("启动失败" when the database cannot be opened) and the count refresher. Takes effect
    // once per view: repeated calls (new and open document) change nothing.
    void OnInitialUpdate();
    // Whether the initial update starts the first update (by default it does); the window
    // starts it itself after the sync when an account is set.
    void SetStartsUpdate(bool starts) { m_startsUpdate = starts; }

    // Adds a folder or channel as the last child of the node `parentId`: in the tree file
    // (saved at once), the tree control and the node map; a channel is also handed to the
    // update engine. `record` is a new node's record (CKeywordNode::NewNode); its name is cut
    // to the name limit. Returns false and changes nothing when the tree file refuses the node
    // (an unknown or channel parent, a same-type sibling of that name ignoring ASCII case).
    // `newId`, when given, receives the new node's ID. Without `fetchNow` a channel is neither
    // handed to the engine nor fetched at once (one whose news another fetches, as the sync's
    // server does).
    bool AddNode(int type, int parentId, const CKeywordNode& record, int* newId = nullptr,
                 bool fetchNow = true);

    // Copies `item` as a child of `parent`, right after the sibling `after` (or
    // CNodeMap::kFirstChild, kLastChild), with its label, icon and flags, and hands its node
    // map entry to the copy. The old item stays in the control, without an entry, for the
    // caller to delete. Returns the copy, which starts collapsed.
    QTreeWidgetItem* CopyItem(QTreeWidgetItem* item, QTreeWidgetItem* parent,
                              CNodeMap::Handle after);
    // CopyItem, then every child of `item`, in order, to the end of the copy's children.
    QTreeWidgetItem* CopyBranch(QTreeWidgetItem* item, QTreeWidgetItem* parent,
                                CNodeMap::Handle after);

    // Selects `item`, scrolls it into view and hands it to the news list, as a click does
    // (a node just added or dropped).
    void SelectAndShow(QTreeWidgetItem* item);
    // Runs a command of the context menus on the selected item.
    void OnCommand(int commandId);
    // Opens the context menu of `item` at `globalPos` (the root always gets the root menu)
    // and runs the command chosen from it once the menu has closed.
    void OpenContextMenu(QTreeWidgetItem* item, const QPoint& globalPos);
    CTreeCommands& Commands() { return *m_commands; }
    CChannelCommands& ChannelCommands() { return *m_channelCommands; }
    CTreeDragger& Dragger() { return *m_dragger; }

    CNodeMap& Nodes() { return m_nodes; }
    // The root item, or null before the initial update.
    QTreeWidgetItem* RootItem() const { return m_root; }
    // The record of `item`, or the blank record (the 星标新闻 node has none).
    CKeywordNode Lookup(QTreeWidgetItem* item) const;
    // What a click on `item` hands to the news list: its record, or for the 星标新闻 node a
    // record of type NODE_STARRED.
    CKeywordNode ListedRecord(QTreeWidgetItem* item) const;
    // The 星标新闻 node, or null before the initial update.
    QTreeWidgetItem* StarredItem() const { return m_starredItem; }
    // Counts the starred items again for the 星标新闻 node's label (stars were set or taken
    // off, or items removed).
    void RecountStarred();
    static CNodeMap::Handle HandleOf(QTreeWidgetItem* item);
    // The item of a handle still in the tree, or null.
    QTreeWidgetItem* ItemOf(CNodeMap::Handle handle) const;
    CCountRefresher* Refresher() { return m_refresher.get(); }
    // Recounts at once, e.g. after the retention period changed; labels also catch up by
    // themselves within the refresher's interval.
    void RefreshCounts();
    CKeywordTreeFile* TreeFile() { return m_treeFile.get(); }
    CFeedStore& Store() { return m_store; }

    // How many of a node's recent news are unread, as the refresher last told (0 before).
    static int UnreadOf(const QTreeWidgetItem* item);
    // The first channel with unread news after `item` in the tree's order (from the top when
    // `item` is null), going round past the last; `item` itself only when no other has any.
    // Null when none has unread news.
    QTreeWidgetItem* NextUnreadChannel(QTreeWidgetItem* item) const;

    static const char kStartupFailed[];
    static constexpr int kKeyboardLoadDelayMs = 300;
    // An item's data in this role is true while it shows the warning mark.
    static constexpr int kWarningRole = Qt::UserRole + 1;

signals:
    // A click on `item` (null for the empty area): the node to show in the news list.
    void NodeClicked(const CKeywordNode& record, CNodeMap::Handle item);
    // The tree changed and the tree file was saved (added, renamed, removed or moved nodes).
    void TreeChanged();
    // These channels left the tree (deleted alone or with a folder above them), all from the
    // branch of the folder `topFolder` right below the root ("" for channels right below it).
    void ChannelsDeleted(const std::vector<std::string>& names, const std::string& topFolder);
    // Every stored item of these channels was marked read (a context menu command).
    void ChannelsMarkedRead(const std::vector<std::string>& names);
    // The unread news of every channel in the tree, as the root counts them.
    void UnreadTotalChanged(int unread);
    // A node's count of recent news changed: news were stored or removed (or the tree or the
    // retention period changed).
    void NewsCountsChanged();
    // The user asks for the next unread item (N).
    void NextUnreadRequested();
    // A channel was added after the tree loaded (a new channel, or one of a subscription):
    // its news are to be fetched now.
    void ChannelAdded(const std::string& name);
    // The user asks to subscribe a feed into the folder `folderId`: 订阅新闻源… of a folder's
    // menu, or an address typed as a new channel's name (`address`, "" for none).
    void FeedSubscriptionRequested(int folderId, const QString& address);
    // 排除词… of a channel's menu: the words that hide the channel's news are to be edited.
    void ExcludedWordsRequested(const std::string& channel);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const CKeywordNode& record);
    void StartCountRefresher();
    void ApplyLabels(const std::vector<CCountRefresher::LabelChange>& changes);
    // The current item moved: a move made by the keyboard loads it once it rests.
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    // Hands the current item to the news list, as a click on it does.
    void LoadCurrent();
    // The selected item's menu, opened from the keyboard once the events of the key press
    // have been handled (some platforms send both a key press and a context-menu event).
    void RequestKeyboardMenu();

    CFeedStore& m_store;
    CNodeMap m_nodes;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_starredItem = nullptr;
    std::unique_ptr<CKeywordTreeFile> m_treeFile;
    std::unique_ptr<CCountRefresher> m_refresher;
    std::unique_ptr<CTreeCommands> m_commands;
    std::unique_ptr<CChannelCommands> m_channelCommands;
    std::unique_ptr<CTreeDragger> m_dragger;
    bool m_initialised = false;
    bool m_startsUpdate = true;  // see SetStartsUpdate
    bool m_keyboardMenuPending = false;
    // Set while a key press is handled: a current item changed meanwhile was moved by it.
    bool m_handlingKey = false;
    // Single-shot; restarted by every keyboard move, it loads the item the selection rests on.
    QTimer* m_keyboardLoad = nullptr;
};
