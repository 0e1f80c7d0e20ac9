#pragma once

#include <QPoint>
#include <memory>

#include "model/node_map.h"

class CTD_TreeView;
class QLabel;
class QTreeWidgetItem;

// Dragging a folder or channel with the left button inside the tree. A drag begins when the
// pointer, pressed on an item, moves past the drag distance; from then on a picture of the
// item follows the pointer, the item under the pointer is highlighted and the drop target
// follows it: always a folder (a childless channel stands for its folder), none within
// kNoTargetMargin pixels of the view's left edge, and unchanged over empty space. The view
// hands its mouse events here first and carries out the drop itself.
// Window thread only.
class CTreeDragger {
public:
    explicit CTreeDragger(CTD_TreeView& view);
    ~CTreeDragger();
    CTreeDragger(const CTreeDragger&) = delete;
    CTreeDragger& operator=(const CTreeDragger&) = delete;

    // Positions are in the view's viewport coordinates.
    void Press(const QPoint& pos);
    // Returns whether the move belongs to a drag; the view then leaves it alone. A move
    // without the left button ends a drag whose release was lost, changing nothing.
    bool Move(const QPoint& pos, Qt::MouseButtons buttons);

    struct Drop {
        QTreeWidgetItem* dragged = nullptr;
        QTreeWidgetItem* target = nullptr;  // null when there is none
    };
    // Ends a drag at the left button's release; false when no drag was in progress.
    bool Release(Drop* drop);

    bool IsDragging() const { return m_dragging; }
    // The item whose row shows the drop highlight, or null.
    QTreeWidgetItem* Highlighted() const;

    static constexpr int kNoTargetMargin = 20;

private:
    void Begin(QTreeWidgetItem* item, const QPoint& pos);
    void Track(const QPoint& pos);
    void End();
    void MoveImage(const QPoint& pos);
    // A channel without children stands for its parent folder.
    QTreeWidgetItem* FolderFor(QTreeWidgetItem* item) const;
    void SetHighlight(QTreeWidgetItem* item);

    CTD_TreeView& m_view;
    // The press that may start a drag.
    CNodeMap::Handle m_pressed = CNodeMap::kNoItem;
    QPoint m_pressPos;
    bool m_dragging = false;
    std::unique_ptr<QLabel> m_image;
    CNodeMap::Handle m_dragged = CNodeMap::kNoItem;
    CNodeMap::Handle m_dropTarget = CNodeMap::kNoItem;
    CNodeMap::Handle m_highlight = CNodeMap::kNoItem;
};
