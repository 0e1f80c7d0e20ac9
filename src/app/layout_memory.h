#pragma once

#include <QObject>

#include "store/app_settings.h"

class CTD_TreeView;
class QSplitter;

// What the user made of the window's layout, kept in the data folder's settings
// (data/settings.conf) across channel clicks and restarts: the news list's share of the
// list/page splitter once the user has dragged its bar, and which of the tree's folders are
// expanded. A value that is missing or damaged gives the window's own layout.
//
// Window thread only; the settings object guards its own values.
class CLayoutMemory : public QObject {
    Q_OBJECT
public:
    // The news list's height in thousandths of the list and page together; 0 (never dragged)
    // leaves the layout to the window.
    static constexpr CAppSettings::IntKey kListShare{"layout.list_per_mille", 0, 1, 999};
    // The IDs of the expanded folders (the root is 0), separated by blanks.
    static constexpr CAppSettings::TextKey kExpandedFolders{"layout.expanded_folders", "0"};

    CLayoutMemory(CAppSettings& settings, QSplitter* listSplitter, CTD_TreeView* tree,
                  QObject* parent);

    // Sizes the list and the page by the remembered share, the list at least `minimumList`
    // high; false, changing nothing, when the user never dragged the bar.
    bool RestoreListShare(int minimumList);
    // Expands the tree's folders the settings name and collapses the others (once, after the
    // tree has loaded); from then on every folder opened or closed is remembered.
    void RestoreExpandedFolders();

private:
    void RememberListShare();
    void RememberExpandedFolders();

    CAppSettings& m_settings;
    QSplitter* m_listSplitter;
    CTD_TreeView* m_tree;
    bool m_foldersRestored = false;
};
