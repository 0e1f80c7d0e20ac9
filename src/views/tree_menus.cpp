#include "views/tree_menus.h"

#include <QMenu>
#include <iterator>

#include "views/command_ids.h"

namespace {

struct MenuItem {
    int commandId;
    const char* text;
};

struct Popup {
    const char* title;
    const MenuItem* items;
    int count;
};

constexpr MenuItem kFolderItems[] = {
    {ID_FOLDER_RENAME, "重命名"},
    {ID_FOLDER_ADD_FOLDER, "添加文件夹"},
    {ID_FOLDER_ADD_KEY, "添加频道"},
    {ID_FOLDER_DELETE, "删除文件夹"},
    {ID_FOLDER_DELETE_ALL, "删除所有内容"},
    {ID_FOLDER_EXPAND_ALL, "展开全部节点"},
    {ID_FOLDER_COLLAPSE_ALL, "收缩全部节点"},
    {ID_FOLDER_MOVE_UP, "上移"},
    {ID_FOLDER_MOVE_DOWN, "下移"},
    {ID_FOLDER_MARK_READ, "全部标为已读"},
    {ID_FOLDER_SUBSCRIBE_FEED, "订阅新闻源…"},
};

constexpr MenuItem kChannelItems[] = {
    {ID_KEY_REFRESH, "刷新该频道"},     {ID_KEY_DELETE, "删除该频道"},
    {ID_KEY_MOVE_UP, "上移"},           {ID_KEY_MOVE_DOWN, "下移"},
    {ID_KEY_MARK_READ, "全部标为已读"}, {ID_KEY_RENAME, "重命名"},
    {ID_KEY_EDIT_FEEDS, "编辑新闻源…"}, {ID_KEY_SEARCH_NAME, "搜索频道名称"},
    {ID_KEY_EXCLUDE_WORDS, "排除词…"},
};

constexpr MenuItem kRootItems[] = {
    {ID_ROOT_ADD_FOLDER, "添加文件夹"},      {ID_ROOT_ADD_KEY, "添加频道"},
    {ID_ROOT_EXPAND_ALL, "展开全部节点"},    {ID_ROOT_COLLAPSE_ALL, "收缩全部节点"},
    {ID_ROOT_SUBSCRIBE_FEED, "订阅新闻源…"}, {ID_ROOT_MARK_READ, "全部标为已读"},
};

constexpr Popup kPopups[] = {
    {"文件夹", kFolderItems, static_cast<int>(std::size(kFolderItems))},
    {"关键字", kChannelItems, static_cast<int>(std::size(kChannelItems))},
    {"根节点", kRootItems, static_cast<int>(std::size(kRootItems))},
};

}  // namespace

void FillTreePopup(QMenu& menu, int popup) {
    if (popup < 0 || popup >= static_cast<int>(std::size(kPopups))) {
        return;
    }
    const Popup& chosen = kPopups[popup];
    menu.setTitle(QString::fromUtf8(chosen.title));
    for (int i = 0; i < chosen.count; ++i) {
        QAction* action = menu.addAction(QString::fromUtf8(chosen.items[i].text));
        action->setData(chosen.items[i].commandId);
        action->setCheckable(chosen.items[i].commandId == ID_KEY_SEARCH_NAME);
    }
}
