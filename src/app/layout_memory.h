#pragma once

#include <QObject>

#include "store/app_settings.h"

class CTD_TreeView;
class QSplitter;
class QWidget;

// What the user made of the window's layout, kept in the data folder's settings
// (data/settings.conf) across channel clicks and restarts: the window's place and size, the
// news list's share of the list/page splitter once the user has dragged its bar, which of the
// tree's folders are expanded and which node is the tree's first row in view. A value that is
// missing or damaged gives the window's own layout.
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
    // The window's place and size on the desktop, "x y width height maximised (0 or 1)"; empty
    // until it was first shown.
    static constexpr CAppSettings::TextKey kWindow{"layout.window", ""};
    // The ID of the node in the tree's first row in view (the root is 0).
    static constexpr CAppSettings::IntKey kTreeTop{"layout.tree_top", 0, 0, 2147483647};

    CLayoutMemory(CAppSettings& settings, QSplitter* listSplitter, CTD_TreeView* tree,
                  QObject* parent);

    // Sizes the list and the page by the remembered share, the list at least `minimumList`
    // high; false, changing nothing, when the user never dragged the bar.
    bool RestoreListShare(int minimumList);
    // Expands the tree's folders the settings name and collapses the others, and scrolls the
    // tree to the node that was its first row in view (the root's row when it is gone); once,
    // after the tree has loaded. From then on every folder opened or closed, and every scroll,
    // is remembered.
    void RestoreExpandedFolders();
    // Puts `window` where it was, when that place is on a screen now; from then on its moves
    // and sizes are remembered. Once, before the window is first shown and after the settings
    // were read.
    void RestoreWindow(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RememberListShare();
    void RememberExpandedFolders();
    void RememberTreeTop();
    void RememberWindow();

    CAppSettings& m_settings;
    QSplitter* m_listSplitter;
    CTD_TreeView* m_tree;
    QWidget* m_window = nullptr;
    bool m_foldersRestored = false;
};
