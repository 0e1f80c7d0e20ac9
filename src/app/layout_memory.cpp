#include "app/layout_memory.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeWidgetItemIterator>
#include <QWidget>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>
#include <string>

#include "views/tree_view.h"

namespace {

// The folder IDs of a kExpandedFolders value; words that are no ID are passed over.
std::set<int> ParseFolderIds(const std::string& text) {
    std::set<int> ids;
    const char* at = text.data();
    const char* end = at + text.size();
    while (at < end) {
        at = std::find_if(at, end, [](char c) { return c != ' '; });
        const char* wordEnd = std::find(at, end, ' ');
        int id = 0;
        const auto [stop, error] = std::from_chars(at, wordEnd, id);
        if (error == std::errc() && stop == wordEnd && id >= 0) {
            ids.insert(id);
        }
        at = wordEnd;
    }
    return ids;
}

}  // namespace

CLayoutMemory::CLayoutMemory(CAppSettings& settings, QSplitter* listSplitter, CTD_TreeView* tree,
                             QObject* parent)
    : QObject(parent), m_settings(settings), m_listSplitter(listSplitter), m_tree(tree) {
    // Only a drag by the user moves the bar with this signal; the window's own sizing does not.
    connect(m_listSplitter, &QSplitter::splitterMoved, this, &CLayoutMemory::RememberListShare);
}

bool CLayoutMemory::RestoreListShare(int minimumList) {
    const int share = m_settings.Get(kListShare);
    if (share == kListShare.defaultValue) {
        return false;
    }
    const QList<int> sizes = m_listSplitter->sizes();
    int total = sizes.value(0) + sizes.value(1);
    if (total <= 0) {
        total = std::max(m_listSplitter->height() - m_listSplitter->handleWidth(), 1);
    }
    // A list the page layout hid comes back.
    m_listSplitter->setCollapsible(0, false);
    const int list = std::clamp(total * share / 1000, std::min(minimumList, total), total);
    m_listSplitter->setSizes({list, std::max(total - list, 1)});
    return true;
}

void CLayoutMemory::RememberListShare() {
    const QList<int> sizes = m_listSplitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    // A list dragged out of sight is the page layout, not a share to keep.
    if (sizes.value(0) <= 0 || total <= 0) {
        return;
    }
    m_settings.Set(kListShare, static_cast<int>(std::lround(sizes.value(0) * 1000.0 / total)));
}

void CLayoutMemory::RestoreExpandedFolders() {
    if (m_foldersRestored || m_tree->RootItem() == nullptr) {
        return;
    }
    m_foldersRestored = true;
    const std::set<int> expanded = ParseFolderIds(m_settings.Get(kExpandedFolders));
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        const CKeywordNode node = m_tree->Lookup(*it);
        if (node.type == NODE_FOLDER) {
            (*it)->setExpanded(expanded.count(node.id) > 0);
        }
    }
    connect(m_tree, &QTreeWidget::itemExpanded, this, &CLayoutMemory::RememberExpandedFolders);
    connect(m_tree, &QTreeWidget::itemCollapsed, this, &CLayoutMemory::RememberExpandedFolders);

    const int top = m_settings.Get(kTreeTop);
    QTreeWidgetItem* topItem = m_tree->ItemOf(m_tree->Nodes().FindById(top));
    if (top == 0 || topItem == nullptr) {
        m_tree->scrollToTop();
    } else {
        m_tree->scrollToItem(topItem, QAbstractItemView::PositionAtTop);
    }
    connect(m_tree->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CLayoutMemory::RememberTreeTop);
}

void CLayoutMemory::RememberTreeTop() {
    QTreeWidgetItem* top = m_tree->itemAt(0, 0);
    m_settings.Set(kTreeTop, top ? m_tree->Lookup(top).id : 0);
}

void CLayoutMemory::RestoreWindow(QWidget* window) {
    if (m_window != nullptr) {
        return;
    }
    m_window = window;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int maximised = 0;
    const std::string text = m_settings.Get(kWindow);
    if (std::sscanf(text.c_str(), "%d %d %d %d %d", &x, &y, &width, &height, &maximised) == 5 &&
        width > 0 && height > 0) {
        const QRect place(x, y, width, height);
        // A place on a screen that is gone (or moved) is not restored: the window would open
        // out of sight.
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().intersects(place)) {
                window->setGeometry(place);
                if (maximised != 0) {
                    window->setWindowState(window->windowState() | Qt::WindowMaximized);
                }
                break;
            }
        }
    }
    window->installEventFilter(this);
}

bool CLayoutMemory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::WindowStateChange) &&
        m_window->isVisible()) {
        RememberWindow();
    }
    return QObject::eventFilter(watched, event);
}

void CLayoutMemory::RememberWindow() {
    // The normal place of a maximised window, so that it comes back there when restored.
    const bool maximised = m_window->isMaximized();
    const QRect place = maximised ? m_window->normalGeometry() : m_window->geometry();
    if (!place.isValid() || m_window->isMinimized()) {
        return;
    }
    m_settings.Set(kWindow, std::to_string(place.x()) + " " + std::to_string(place.y()) + " " +
                                std::to_string(place.width()) + " " +
                                std::to_string(place.height()) + " " + (maximised ? "1" : "0"));
}

void CLayoutMemory::RememberExpandedFolders() {
    std::string ids;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->isExpanded()) {
            const CKeywordNode node = m_tree->Lookup(*it);
            if (node.type == NODE_FOLDER) {
                ids += (ids.empty() ? "" : " ") + std::to_string(node.id);
            }
        }
    }
    m_settings.Set(kExpandedFolders, ids);
}
