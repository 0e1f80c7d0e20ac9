#pragma once

#include <string>
#include <string_view>

#include "model/node_map.h"

class CTD_TreeView;
class QTreeWidgetItem;

// The editing commands of the channel tree. A command that changes the tree changes the
// tree control, the node map and the tree file together (the file is saved at once) and then
// tells the view, which emits TreeChanged; a change the tree file refuses leaves all three
// as they were. No command asks for confirmation or reports anything. Window thread only.
class CTreeCommands {
public:
    explicit CTreeCommands(CTD_TreeView& view);

    // Runs a command of the context menus on the view's selected item: the name dialogs
    // for the add and rename commands, the operations below for the rest. Does nothing
    // without a selected item or for an id that is not a tree command.
    void Run(int commandId);

    // Adds a folder or channel named `name` as the last child of `parent` (CTD_TreeView's
    // AddNode); a same-type sibling of that name (ASCII case ignored) adds nothing.
    bool AddChild(QTreeWidgetItem* parent, int type, const std::string& name);
    // Sets the node's name (cut to the name limit) in the file, the node map and, bare, as
    // the item's label; the count suffix returns with the count refresher's next visit.
    bool Rename(QTreeWidgetItem* item, std::string_view name);
    // Removes one node; its children move, in order, to the end of its parent's children.
    // The channel's stored news stay in the database.
    bool DeleteNode(QTreeWidgetItem* item);
    // Removes the node with everything below it.
    bool DeleteBranch(QTreeWidgetItem* item);
    // Moves the node one place up or down among its siblings, with its branch: moving up the
    // first child makes it the last, moving down the last makes it the first. The moved copy
    // is selected.
    bool Move(QTreeWidgetItem* item, bool up);
    // Moves the node with its branch to the end of `folder`'s children; the branch arrives
    // collapsed, `folder` is expanded and the moved copy selected. Refused for no folder, for
    // the node itself and for a folder inside the node's own branch (the root included).
    bool MoveToFolder(QTreeWidgetItem* item, QTreeWidgetItem* folder);
    // Expands or collapses the item and every item below it.
    void SetBranchExpanded(QTreeWidgetItem* item, bool expanded);
    // Starts a one-off update of a channel in the background.
    void RefreshChannel(QTreeWidgetItem* item);
    // Marks every stored item of the channel, or of every channel below the folder, read;
    // the labels follow at once and the view emits ChannelsMarkedRead.
    void MarkRead(QTreeWidgetItem* item);

private:
    // Copies `item`'s branch to its new place, deletes the old branch and selects the copy.
    QTreeWidgetItem* Relocate(QTreeWidgetItem* item, QTreeWidgetItem* parent,
                              CNodeMap::Handle after);

    CTD_TreeView& m_view;
};
