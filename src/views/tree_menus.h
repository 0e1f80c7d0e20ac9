#pragma once

class QMenu;

// The three context menus of the channel tree.
enum TreePopup : int {
    kFolderPopup = 0,   // "文件夹"
    kChannelPopup = 1,  // "关键字"
    kRootPopup = 2,     // "根节点"
};

// Gives `menu` the title and the items of `popup`, in their order; every action carries its
// command id as its data. An unknown popup leaves the menu empty.
void FillTreePopup(QMenu& menu, int popup);
