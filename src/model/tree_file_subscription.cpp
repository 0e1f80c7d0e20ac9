#include "model/tree_file_subscription.h"

TreeFileSubscription::TreeFileSubscription(CKeywordTreeFile& file) : m_file(file) {
    m_file.Load([this](const CKeywordNode& node, int parentId) {
        m_nodes.push_back({parentId, {node.id, node.type, node.name}});
    });
}

std::vector<SubscriptionTree::Node> TreeFileSubscription::Children(int folderId) const {
    std::vector<Node> children;
    for (const auto& [parent, node] : m_nodes) {
        if (parent == folderId) {
            children.push_back(node);
        }
    }
    return children;
}

std::vector<std::string> TreeFileSubscription::ChannelNames() const {
    std::vector<std::string> names;
    for (const auto& entry : m_nodes) {
        if (entry.second.type == NODE_KEY) {
            names.push_back(entry.second.name);
        }
    }
    return names;
}

int TreeFileSubscription::Add(int type, int parentId, const std::string& name, bool searchName) {
    const int id = m_file.AddNode(type, parentId, name, searchName);
    if (id == CKeywordTreeFile::kRefused) {
        return -1;
    }
    m_nodes.push_back({parentId, {id, type, name}});
    return id;
}
