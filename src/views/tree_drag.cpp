#include "views/tree_drag.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <algorithm>

#include "views/tree_view.h"

namespace {

// Where the pointer touches the drag picture.
constexpr QPoint kHotSpot(8, 8);

// The dragged item's icon and label on the view's background, framed.
QPixmap DragPicture(const QTreeWidget& view, const QTreeWidgetItem& item) {
    const QString label = item.text(0);
    const QSize icon = view.iconSize();
    const QFontMetrics metrics = view.fontMetrics();
    constexpr int kMargin = 3;
    const QSize size(kMargin + icon.width() + kMargin + metrics.horizontalAdvance(label) + kMargin,
                     std::max(icon.height(), metrics.height()) + 2 * kMargin);
    QPixmap picture(size);
    picture.fill(view.palette().color(QPalette::Base));
    QPainter painter(&picture);
    painter.setPen(view.palette().color(QPalette::Mid));
    painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    item.icon(0).paint(&painter, QRect(QPoint(kMargin, (size.height() - icon.height()) / 2), icon));
    painter.setFont(view.font());
    painter.setPen(view.palette().color(QPalette::Text));
    painter.drawText(QRect(2 * kMargin + icon.width(), 0, size.width(), size.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, label);
    return picture;
}

void CollapseBranch(QTreeWidgetItem* item) {
    if (item->childCount() == 0) {
        return;
    }
    item->setExpanded(false);
    for (int i = 0; i < item->childCount(); ++i) {
        CollapseBranch(item->child(i));
    }
}

}  // namespace

CTreeDragger::CTreeDragger(CTD_TreeView& view) : m_view(view) {}

CTreeDragger::~CTreeDragger() = default;

void CTreeDragger::Press(const QPoint& pos) {
    m_pressed = CTD_TreeView::HandleOf(m_view.itemAt(pos));
    m_pressPos = pos;
}

bool CTreeDragger::Move(const QPoint& pos, Qt::MouseButtons buttons) {
    if (!(buttons & Qt::LeftButton)) {
        m_pressed = CNodeMap::kNoItem;
        if (m_dragging) {
            End();
            return true;
        }
        return false;
    }
    if (!m_dragging) {
        QTreeWidgetItem* pressed = m_view.ItemOf(m_pressed);
        if (pressed == nullptr ||
            (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance()) {
            return false;
        }
        Begin(pressed, m_pressPos);
    }
    Track(pos);
    return true;
}

void CTreeDragger::Begin(QTreeWidgetItem* item, const QPoint& pos) {
    m_dragged = CTD_TreeView::HandleOf(item);
    m_dropTarget = CNodeMap::kNoItem;
    m_pressed = CNodeMap::kNoItem;
    m_image = std::make_unique<QLabel>(
        nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    m_image->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_image->setAttribute(Qt::WA_ShowWithoutActivating);
    m_image->setPixmap(DragPicture(m_view, *item));
    m_image->setWindowOpacity(0.8);
    m_dragging = true;
    MoveImage(pos);
    m_image->show();
    CollapseBranch(item);
}

void CTreeDragger::Track(const QPoint& pos) {
    MoveImage(pos);
    if (QTreeWidgetItem* under = m_view.itemAt(pos)) {
        SetHighlight(under);
        m_dropTarget = CTD_TreeView::HandleOf(under);
    }
    m_dropTarget = CTD_TreeView::HandleOf(FolderFor(m_view.ItemOf(m_dropTarget)));
    if (pos.x() < kNoTargetMargin) {
        m_dropTarget = CNodeMap::kNoItem;
        SetHighlight(nullptr);
    }
}

bool CTreeDragger::Release(Drop* drop) {
    if (!m_dragging) {
        m_pressed = CNodeMap::kNoItem;
        return false;
    }
    drop->dragged = m_view.ItemOf(m_dragged);
    drop->target = FolderFor(m_view.ItemOf(m_dropTarget));
    End();
    return true;
}

void CTreeDragger::End() {
    m_dragging = false;
    m_image.reset();
    m_dragged = CNodeMap::kNoItem;
    m_dropTarget = CNodeMap::kNoItem;
    SetHighlight(nullptr);
}

void CTreeDragger::MoveImage(const QPoint& pos) {
    if (m_image) {
        m_image->move(m_view.viewport()->mapToGlobal(pos) - kHotSpot);
    }
}

QTreeWidgetItem* CTreeDragger::FolderFor(QTreeWidgetItem* item) const {
    if (item != nullptr && item->childCount() == 0 && m_view.Lookup(item).type != NODE_FOLDER) {
        return item->parent();
    }
    return item;
}

QTreeWidgetItem* CTreeDragger::Highlighted() const {
    return m_view.ItemOf(m_highlight);
}

void CTreeDragger::SetHighlight(QTreeWidgetItem* item) {
    const CNodeMap::Handle handle = CTD_TreeView::HandleOf(item);
    if (handle != m_highlight) {
        m_highlight = handle;
        m_view.viewport()->update();
    }
}
