#include "model/node_map.h"

#include <algorithm>
#include <set>

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

std::vector<std::string> CNodeMap::AllNames() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> names;
    names.reserve(m_entries.size());
    for (const auto& [handle, entry] : m_entries) {
        names.emplace_back(entry.record.name);
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
        found->second.record.name = CutToCodePageLimit(name, kMaxNodeNameCodePageBytes);
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

CNodeMap::BranchCount CNodeMap::CountBranchLocked(Handle item, const CountInputs& inputs,
                                                  std::vector<NodeCount>* out) {
    BranchCount branch;
    const auto found = m_entries.find(item);
    if (found == m_entries.end()) {
        return branch;
    }
    Entry& entry = found->second;
    CKeywordNode& record = entry.record;
    if (record.type == NODE_KEY) {
        branch.count = CountOf(inputs.recent, record.name);
        branch.unread = CountOf(inputs.unread, record.name);
        record.recentCount = branch.count;
        if (inputs.repeated.count(record.name) > 0) {
            branch.repeated.insert(record.name);
        }
    }
    // A channel name found in several children's branches is one channel of the database:
    // its items count once.
    std::map<std::string, int, LessIgnoreAsciiCase> branchesHolding;
    for (Handle child : entry.children) {
        BranchCount below = CountBranchLocked(child, inputs, out);
        branch.count += below.count;
        branch.unread += below.unread;
        for (const std::string& name : below.repeated) {
            ++branchesHolding[name];
            branch.repeated.insert(name);
        }
    }
    for (const auto& [name, branches] : branchesHolding) {
        const int extra =
            branches - 1 +
            (record.type == NODE_KEY && EqualsIgnoreAsciiCase(name, record.name) ? 1 : 0);
        branch.count -= extra * CountOf(inputs.recent, name);
        branch.unread -= extra * CountOf(inputs.unread, name);
    }
    if (record.type == NODE_KEY) {
        out->push_back({item, record.name, CountOf(inputs.recent, record.name),
                        CountOf(inputs.unread, record.name), NODE_KEY});
    } else if (record.type == NODE_FOLDER) {
        out->push_back({item, record.name, branch.count, branch.unread, NODE_FOLDER});
    }
    return branch;
}

int CNodeMap::CountOf(const CountsByName& counts, const std::string& name) {
    const auto found = counts.find(name);
    return found == counts.end() ? 0 : found->second;
}

CNodeMap::Counts CNodeMap::ApplyRecentCounts(const CountsByName& countByName,
                                             const CountsByName& unreadByName) {
    std::lock_guard lock(m_mutex);
    // The names more than one channel node bears, found again only when the tree changed;
    // usually none, and then a branch's count is the plain sum of its channels'.
    if (!m_repeatedFound || m_repeatedGeneration != m_generation) {
        m_repeated.clear();
        NameSet seen;
        for (const auto& [handle, entry] : m_entries) {
            if (entry.record.type == NODE_KEY && !seen.insert(entry.record.name).second) {
                m_repeated.insert(entry.record.name);
            }
        }
        m_repeatedFound = true;
        m_repeatedGeneration = m_generation;
    }
    const CountInputs inputs{countByName, unreadByName, m_repeated};
    Counts counts;
    counts.generation = m_generation;
    counts.nodes.reserve(m_entries.size());
    for (const auto& [handle, entry] : m_entries) {
        if (entry.parent == kNoItem || m_entries.count(entry.parent) == 0) {
            CountBranchLocked(handle, inputs, &counts.nodes);
        }
    }
    return counts;
}

std::vector<ChannelKeyword> ChannelKeywords(const CNodeMap& nodes) {
    std::vector<ChannelKeyword> channels;
    for (CNodeMap::Handle handle : nodes.Descendants(nodes.FindById(0))) {
        const CKeywordNode record = nodes.Lookup(handle);
        if (record.type == NODE_KEY) {
            channels.push_back({record.name, record.searchName});
        }
    }
    return channels;
}
