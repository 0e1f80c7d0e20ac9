#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

class CTD_TreeView;
class QMenu;
class QTreeWidgetItem;

// The channel commands of the tree's menus beyond the old editing ones: 重命名 of a channel
// (its news and feeds go with the new name), 编辑新闻源… (the channel's feed addresses),
// 搜索频道名称 (whether the channel's name is searched for) and 订阅新闻源… of a folder
// (which the view announces for the window to open its dialog). Window thread only.
class CChannelCommands {
public:
    explicit CChannelCommands(CTD_TreeView& view);

    // Runs `commandId` on the selected item when it is one of these commands; false for any
    // other command.
    bool Run(int commandId);
    // Sets the state of the menu's check entries for `item`.
    void PrepareMenu(QMenu& menu, QTreeWidgetItem* item) const;

    // Renames the channel: in the database (its channel row, its subscribed feeds, their
    // validators and outcomes, in one transaction) and in the tree. Refused, changing nothing,
    // for a name the tree's rule refuses, for the name of another channel anywhere in the tree
    // or of another channel's stored news, and when the database cannot be changed. Where
    // another node of the tree still shows the old name, that node keeps the news and the
    // renamed channel takes copies of its feeds. Returns why it was refused ("" when done).
    QString RenameChannel(QTreeWidgetItem* item, std::string_view name);
    // Replaces the channel's subscribed feeds with `addresses` (each kept once, blank ones
    // dropped): rows of addresses no longer listed go, new ones are added and fetched at once.
    // False when the database could not be changed.
    bool SetFeeds(QTreeWidgetItem* item, const std::vector<std::string>& addresses);
    // The channel's subscribed feed addresses, in the order they were added.
    std::vector<std::string> Feeds(QTreeWidgetItem* item) const;
    // Turns the search for the channel's name on or off (tree file, node map, update engine).
    void SetSearchName(QTreeWidgetItem* item, bool searchName);

private:
    void AskAndRename(QTreeWidgetItem* item);
    void AskAndEditFeeds(QTreeWidgetItem* item);

    CTD_TreeView& m_view;
};
