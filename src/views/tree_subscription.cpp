#include "views/tree_subscription.h"

#include "views/tree_commands.h"
#include "views/tree_view.h"

std::vector<SubscriptionTree::Node> CTreeSubscription::Children(int folderId) const {
    std::vector<Node> children;
    CNodeMap& nodes = m_view.Nodes();
    const CNodeMap::Handle folder = nodes.FindById(folderId);
    if (folder == CNodeMap::kNoItem) {
        return children;
    }
    for (CNodeMap::Handle child : nodes.Children(folder)) {
        const CKeywordNode record = nodes.Lookup(child);
        children.push_back({record.id, record.type, record.name});
    }
    return children;
}

std::vector<std::string> CTreeSubscription::ChannelNames() const {
    std::vector<std::string> names;
    CNodeMap& nodes = m_view.Nodes();
    for (CNodeMap::Handle handle : nodes.Descendants(nodes.FindById(0))) {
        const CKeywordNode record = nodes.Lookup(handle);
        if (record.type == NODE_KEY) {
            names.emplace_back(record.name);
        }
    }
    return names;
}

int CTreeSubscription::Add(int type, int parentId, const std::string& name, bool searchName) {
    CKeywordNode record = CKeywordNode::NewNode(name, type);
    record.searchName = searchName;
    int id = -1;
    return m_view.AddNode(type, parentId, record, &id, m_fetchAdded) ? id : -1;
}

bool CTreeSubscription::Rename(int nodeId, const std::string& name) {
    QTreeWidgetItem* item = m_view.ItemOf(m_view.Nodes().FindById(nodeId));
    return item != nullptr && m_view.Commands().Rename(item, name);
}

bool CTreeSubscription::Move(int nodeId, int folderId) {
    QTreeWidgetItem* item = m_view.ItemOf(m_view.Nodes().FindById(nodeId));
    QTreeWidgetItem* folder = m_view.ItemOf(m_view.Nodes().FindById(folderId));
    return item != nullptr && folder != nullptr && m_view.Commands().MoveToFolder(item, folder);
}
