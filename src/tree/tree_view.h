#pragma once

#include <QTreeWidget>
#include <memory>

#include "store/keyword_tree_file.h"
#include "tree/count_refresher.h"
#include "tree/node_map.h"

// The channel tree pane: the folders and channels of the tree file, each labelled with its
// count of recent news by a background refresher. A mouse click anywhere on a row (or
// below the last row) hands a copy of the node's record to the news list; moving the
// selection with the keyboard does not.
class CTD_TreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CTD_TreeView(QWidget* parent = nullptr);
    // Stops the count refresher and waits for it.
    ~CTD_TreeView() override;

    // Loads the tree, registers every channel with the update engine, starts the engine
    // ("启动失败" when the database cannot be opened) and the count refresher. Takes effect
    // once per view: repeated calls (new and open document) change nothing.
    void OnInitialUpdate();

    // Adds a folder or channel as the last child of the node `parentId`: in the tree file
    // (saved at once), the tree control and the node map; a channel is also handed to the
    // update engine. `record` is a new node's record (CKeywordNode::NewNode); its name is cut
    // to the name limit. Returns false and changes nothing when the tree file refuses the node
    // (an unknown or channel parent, a same-type sibling of that name ignoring ASCII case).
    // `newId`, when given, receives the new node's ID.
    bool AddNode(int type, int parentId, const CKeywordNode& record, int* newId = nullptr);

    CNodeMap& Nodes() { return m_nodes; }
    // The record of `item`, or the blank record.
    CKeywordNode Lookup(QTreeWidgetItem* item) const;
    static CNodeMap::Handle HandleOf(QTreeWidgetItem* item);
    // The item of a handle still in the tree, or null.
    QTreeWidgetItem* ItemOf(CNodeMap::Handle handle) const;
    CCountRefresher* Refresher() { return m_refresher.get(); }
    // Recounts at once, e.g. after the retention period changed; labels also catch up by
    // themselves within the refresher's interval.
    void RefreshCounts();
    CKeywordTreeFile* TreeFile() { return m_treeFile.get(); }

    static const char kStartupFailed[];

signals:
    // A click on `item` (null for the empty area): the node to show in the news list.
    void NodeClicked(const CKeywordNode& record, CNodeMap::Handle item);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const CKeywordNode& record);
    void StartCountRefresher();
    void ApplyLabels(const std::vector<CCountRefresher::LabelChange>& changes);

    CNodeMap m_nodes;
    std::unique_ptr<CKeywordTreeFile> m_treeFile;
    std::unique_ptr<CCountRefresher> m_refresher;
    bool m_initialised = false;
};

// The one tree pane and its root item, or null.
extern CTD_TreeView* g_pTreeView;
extern QTreeWidgetItem* g_hRootItem;
