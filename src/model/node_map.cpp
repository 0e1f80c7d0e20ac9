#include "model/node_map.h"

#include <algorithm>

#include "base/text_util.h"

void CNodeMap::Insert(Handle item, Handle parent, const CKeywordNode& record) {
    {
        std::lock_guard lock(m_mutex);
        Entry entry;
        entry.record = record;
        entry.record.item = item;
        entry.parent = parent;
        m_entries[item] = std::move(entry);
        const auto parentEntry = m_entries.find(parent);
        if (parentEntry != m_entries.end()) {
            parentEntry->second.children.push_back(item);
        }
        ++m_generation;
    }
    Changed();
}

void CNodeMap::MoveEntry(Handle from, Handle to, Handle newParent, Handle after) {
    {
        std::lock_guard lock(m_mutex);
        if (!MoveEntryLocked(from, to, newParent, after)) {
            return;
        }
        ++m_generation;
    }
    Changed();
}

bool CNodeMap::MoveEntryLocked(Handle from, Handle to, Handle newParent, Handle after) {
    const auto found = m_entries.find(from);
    if (found == m_entries.end() || m_entries.count(to) != 0) {
        return false;
    }
    Entry entry = std::move(found->second);
    m_entries.erase(found);
    const auto oldParent = m_entries.find(entry.parent);
    if (oldParent != m_entries.end()) {
        std::erase(oldParent->second.children, from);
    }
    for (Handle child : entry.children) {
        const auto childEntry = m_entries.find(child);
        if (childEntry != m_entries.end()) {
            childEntry->second.parent = to;
        }
    }
    entry.record.item = to;
    entry.parent = newParent;
    const auto parent = m_entries.find(newParent);
    if (parent != m_entries.end()) {
        std::vector<Handle>& siblings = parent->second.children;
        auto place = siblings.end();
        if (after == kFirstChild) {
            place = siblings.begin();
        } else if (after != kLastChild) {
            const auto sibling = std::find(siblings.begin(), siblings.end(), after);
            if (sibling != siblings.end()) {
                place = sibling + 1;
            }
        }
        siblings.insert(place, to);
    }
    m_entries.emplace(to, std::move(entry));
    return true;
}

void CNodeMap::RemoveBranch(Handle item) {
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(item);
        if (found == m_entries.end()) {
            return;
        }
        std::vector<Handle> doomed{item};
        DescendantsLocked(item, &doomed);
        const auto parent = m_entries.find(found->second.parent);
        if (parent != m_entries.end()) {
            std::erase(parent->second.children, item);
        }
        for (Handle handle : doomed) {
            m_entries.erase(handle);
        }
        ++m_generation;
    }
    Changed();
}

void CNodeMap::Clear() {
    {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
        ++m_generation;
    }
    Changed();
}

void CNodeMap::Changed() {
    if (m_changed) {
        m_changed();
    }
}

void CNodeMap::SetChangeListener(std::function<void()> listener) {
    m_changed = std::move(listener);
}

std::uint64_t CNodeMap::Generation() const {
    std::lock_guard lock(m_mutex);
    return m_generation;
}

bool CNodeMap::Contains(Handle item) const {
    std::lock_guard lock(m_mutex);
    return m_entries.count(item) != 0;
}

CNodeMap::Handle CNodeMap::FindById(int id) const {
    std::lock_guard lock(m_mutex);
    for (const auto& [handle, entry] : m_entries) {
        if (entry.record.id == id) {
            return handle;
        }
    }
    return kNoItem;
}

CKeywordNode CNodeMap::Lookup(Handle item) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(item);
    return found == m_entries.end() ? CKeywordNode::Blank() : found->second.record;
}

CNodeMap::Handle CNodeMap::Parent(Handle item) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(item);
    return found == m_entries.end() ? kNoItem : found->second.parent;
}

std::vector<CNodeMap::Handle> CNodeMap::Children(Handle item) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(item);
    return found == m_entries.end() ? std::vector<Handle>() : found->second.children;
}

std::vector<CNodeMap::Handle> CNodeMap::Handles() const {
    std::lock_guard lock(m_mutex);
    std::vector<Handle> handles;
    handles.reserve(m_entries.size());
    for (const auto& [handle, entry] : m_entries) {
        handles.push_back(handle);
    }
    return handles;
}

void CNodeMap::DescendantsLocked(Handle item, std::vector<Handle>* out) const {
    const auto found = m_entries.find(item);
    if (found == m_entries.end()) {
        return;
    }
    for (Handle child : found->second.children) {
        out->push_back(child);
        DescendantsLocked(child, out);
    }
}

std::vector<CNodeMap::Handle> CNodeMap::Descendants(Handle item) const {
    std::lock_guard lock(m_mutex);
    std::vector<Handle> out;
    DescendantsLocked(item, &out);
    return out;
}

std::vector<std::string> CNodeMap::NamesBelow(Handle item) const {
    std::lock_guard lock(m_mutex);
    std::vector<Handle> handles;
    DescendantsLocked(item, &handles);
    std::vector<std::string> names;
    names.reserve(handles.size());
    for (Handle handle : handles) {
        names.emplace_back(m_entries.at(handle).record.name);
    }
    return names;
}

void CNodeMap::SetName(Handle item, std::string_view name) {
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(item);
        if (found == m_entries.end()) {
            return;
        }
        CopyToCodePageField(found->second.record.name, kMaxNodeNameCodePageBytes, name);
        ++m_generation;
    }
    Changed();
}

void CNodeMap::SetSearchName(Handle item, bool searchName) {
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(item);
        if (found == m_entries.end()) {
            return;
        }
        found->second.record.searchName = searchName;
    }
    Changed();
}

std::pair<int, int> CNodeMap::CountBranchLocked(Handle item, const CountsByName& countByName,
                                                const CountsByName& unreadByName,
                                                std::vector<NodeCount>* out) {
    const auto found = m_entries.find(item);
    if (found == m_entries.end()) {
        return {0, 0};
    }
    Entry& entry = found->second;
    CKeywordNode& record = entry.record;
    int own = 0;
    int ownUnread = 0;
    if (record.type == NODE_KEY) {
        const auto count = countByName.find(record.name);
        own = count == countByName.end() ? 0 : count->second;
        record.recentCount = own;
        const auto unread = unreadByName.find(record.name);
        ownUnread = unread == unreadByName.end() ? 0 : unread->second;
    }
    int below = 0;
    int belowUnread = 0;
    for (Handle child : entry.children) {
        const auto [count, unread] = CountBranchLocked(child, countByName, unreadByName, out);
        below += count;
        belowUnread += unread;
    }
    if (record.type == NODE_KEY) {
        out->push_back({item, record.name, own, ownUnread, NODE_KEY});
    } else if (record.type == NODE_FOLDER) {
        out->push_back({item, record.name, below, belowUnread, NODE_FOLDER});
    }
    return {own + below, ownUnread + belowUnread};
}

CNodeMap::Counts CNodeMap::ApplyRecentCounts(const CountsByName& countByName,
                                             const CountsByName& unreadByName) {
    std::lock_guard lock(m_mutex);
    Counts counts;
    counts.generation = m_generation;
    counts.nodes.reserve(m_entries.size());
    for (const auto& [handle, entry] : m_entries) {
        if (entry.parent == kNoItem || m_entries.count(entry.parent) == 0) {
            CountBranchLocked(handle, countByName, unreadByName, &counts.nodes);
        }
    }
    return counts;
}
