#pragma once

// Command ids of the menus and accelerators. Every QAction carries its id as its data.
enum CommandId : int {
    // The program's own commands.
    ID_SYSTEM_SETTINGS = 32811,  // "系统设置"
    ID_SUBSCRIBE = 32822,        // "我要订阅"
    ID_EXPORT_OPML = 32824,      // "导出OPML"
    ID_UPDATE_VERSION = 32827,   // "更新版本"

    // Standard commands.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};
