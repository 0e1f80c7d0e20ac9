#include "app/layout_memory.h"

#include <QSplitter>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <charconv>
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
