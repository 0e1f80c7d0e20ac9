#pragma once

// Command ids of the menus and accelerators. Every QAction carries its id as its data.
enum CommandId : int {
    // The program's own commands.
    ID_SYSTEM_SETTINGS = 32811,  // "系统设置"
    ID_SUBSCRIBE = 32822,        // "我要订阅"
    ID_EXPORT_OPML = 32824,      // "导出OPML"
    ID_UPDATE_VERSION = 32827,   // "更新版本"
    ID_UPDATE_ALL = 32830,       // "全部更新"
    ID_SUBSCRIBE_FEED = 32865,   // "订阅新闻源…" (into the selected folder)
    ID_SYNC_ACCOUNT = 32870,     // "同步账户…"
    ID_SYNC_NOW = 32871,         // "立即同步"

    // The channel tree's context menus.
    ID_KEY_DELETE = 32775,           // "删除该频道"
    ID_FOLDER_RENAME = 32789,        // "重命名"
    ID_FOLDER_ADD_KEY = 32790,       // "添加频道"
    ID_FOLDER_DELETE = 32791,        // "删除文件夹"
    ID_FOLDER_DELETE_ALL = 32792,    // "删除所有内容"
    ID_FOLDER_ADD_FOLDER = 32795,    // "添加文件夹"
    ID_ROOT_ADD_KEY = 32797,         // "添加频道"
    ID_ROOT_ADD_FOLDER = 32800,      // "添加文件夹"
    ID_FOLDER_EXPAND_ALL = 32805,    // "展开全部节点"
    ID_FOLDER_COLLAPSE_ALL = 32807,  // "收缩全部节点"
    ID_ROOT_COLLAPSE_ALL = 32808,    // "收缩全部节点"
    ID_ROOT_EXPAND_ALL = 32809,      // "展开全部节点"
    ID_KEY_REFRESH = 32813,          // "刷新该频道"
    ID_FOLDER_MOVE_UP = 32818,       // "上移"
    ID_FOLDER_MOVE_DOWN = 32819,     // "下移"
    ID_KEY_MOVE_UP = 32820,          // "上移"
    ID_KEY_MOVE_DOWN = 32821,        // "下移"
    ID_KEY_MARK_READ = 32840,        // "全部标为已读" (the channel's news)
    ID_FOLDER_MARK_READ = 32841,     // "全部标为已读" (the news of every channel below)
    ID_ROOT_MARK_READ = 32844,       // "全部标为已读" (the news of every channel of the tree)
    ID_KEY_RENAME = 32860,           // "重命名" (a channel, with its news and feeds)
    ID_KEY_EDIT_FEEDS = 32861,       // "编辑新闻源…"
    ID_KEY_SEARCH_NAME = 32862,      // "搜索频道名称" (a check entry)
    ID_KEY_EXCLUDE_WORDS = 32866,    // "排除词…" (words that hide the channel's news)
    ID_FOLDER_SUBSCRIBE_FEED = 32863,  // "订阅新闻源…" (into the folder)
    ID_ROOT_SUBSCRIBE_FEED = 32864,    // "订阅新闻源…" (at the top of the tree)

    // Reading.
    ID_MARK_ALL_READ = 32842,  // "全部标为已读" (every stored item)
    ID_NEXT_UNREAD = 32843,    // "下一条未读"
    ID_UNREAD_ONLY = 32846,    // "只看未读" (a check entry)
    ID_SHOW_HIDDEN = 32847,    // "显示已隐藏" (a check entry: also the news rules hid)
    ID_NEWS_RULES = 32848,     // "过滤规则…"

    // The news list's context menu.
    ID_LIST_OPEN_LINK = 32850,      // "打开原文"
    ID_LIST_OPEN_EXTERNAL = 32851,  // "在系统浏览器中打开"
    ID_LIST_COPY = 32852,           // "复制标题和链接"
    ID_LIST_MARK_READ = 32853,      // "标为已读"
    ID_LIST_MARK_UNREAD = 32854,    // "标为未读"
    ID_LIST_STAR = 32855,           // "星标" (a check entry: every selected row is starred)

    // Standard commands.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_COPY = 57634,
    ID_EDIT_FIND = 57636,  // Ctrl+F: the search field
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};
