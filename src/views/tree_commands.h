#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/node_map.h"

class CTD_TreeView;
class QTreeWidgetItem;

// The editing commands of the channel tree. A command that changes the tree changes the
// tree control, the node map and the tree file together (the file is saved at once) and then
// tells the view, which emits TreeChanged; a change the tree file refuses leaves all three
// as they were. Names follow one rule wherever a node gets one (adding, renaming, dropping):
// not blank, and no sibling of the same type with that name (ASCII case ignored). Window
// thread only.
class CTreeCommands {
public:
    explicit CTreeCommands(CTD_TreeView& view);

    // Runs a command of the context menus on the view's selected item: the name dialogs
    // for the add and rename commands (a refused name is explained in the dialog, which stays
    // open), a question naming what goes before the deletions (取消 changes nothing), the
    // operations below for the rest. Does nothing without a selected item or for an id that
    // is not a tree command.
    void Run(int commandId);

    // Why a node of `type` cannot be named `name` among the children of `parent` (`self`, the
    // node being renamed or moved, aside), in the user's words; empty when it can.
    QString NameRefusal(QTreeWidgetItem* parent, int type, const std::string& name,
                        QTreeWidgetItem* self = nullptr) const;
    // The question to ask before deleting `item` (`wholeBranch`: with everything below it),
    // naming what goes; empty when nothing but an empty folder goes.
    QString DeletionQuestion(QTreeWidgetItem* item, bool wholeBranch) const;

    // Adds a folder or channel named `name` as the last child of `parent` (CTD_TreeView's
    // AddNode), selects it, scrolls to it and shows it in the list; a name the rule refuses
    // adds nothing.
    bool AddChild(QTreeWidgetItem* parent, int type, const std::string& name);
    // Sets the node's name (cut to the name limit) in the file, the node map and, bare, as
    // the item's label; the count suffix returns with the count refresher's next visit. A
    // name the rule refuses changes nothing.
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
    // the node itself, for a folder inside the node's own branch (the root included) and for
    // a name the rule refuses in `folder`.
    bool MoveToFolder(QTreeWidgetItem* item, QTreeWidgetItem* folder);
    // A drag released on `folder`: MoveToFolder, after telling the user in a message box when
    // the name rule refuses the move.
    bool DropOnFolder(QTreeWidgetItem* item, QTreeWidgetItem* folder);
    // Expands or collapses the item and every item below it.
    void SetBranchExpanded(QTreeWidgetItem* item, bool expanded);
    // Starts a one-off update of a channel in the background.
    void RefreshChannel(QTreeWidgetItem* item);
    // Marks every stored item of the channel, or of every channel below the folder, read;
    // the labels follow at once and the view emits ChannelsMarkedRead.
    void MarkRead(QTreeWidgetItem* item);

private:
    // The add and rename commands: the name dialog, with the rule as its check.
    void AskAndAdd(QTreeWidgetItem* parent, int type);
    void AskAndRename(QTreeWidgetItem* item);
    // The channels that go with `item`, and the name of the folder right below the root that
    // holds it ("" for none), for the view's ChannelsDeleted.
    std::pair<std::vector<std::string>, std::string> ChannelsGoing(QTreeWidgetItem* item,
                                                                   bool wholeBranch) const;
    // Asks DeletionQuestion; true when there is none or the user chose 确定.
    bool ConfirmDeletion(QTreeWidgetItem* item, bool wholeBranch);

    // Copies `item`'s branch to its new place, deletes the old branch and selects the copy.
    QTreeWidgetItem* Relocate(QTreeWidgetItem* item, QTreeWidgetItem* parent,
                              CNodeMap::Handle after);

    CTD_TreeView& m_view;
};
