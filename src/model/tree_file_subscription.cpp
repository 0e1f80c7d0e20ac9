#include "model/tree_file_subscription.h"

#include <algorithm>

#include "base/ascii.h"

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

bool TreeFileSubscription::Rename(int nodeId, const std::string& name) {
    if (!m_file.RenameNode(nodeId, name)) {
        return false;
    }
    for (auto& entry : m_nodes) {
        if (entry.second.id == nodeId) {
            entry.second.name = name;
        }
    }
    return true;
}

bool TreeFileSubscription::Move(int nodeId, int folderId) {
    const auto node = std::find_if(m_nodes.begin(), m_nodes.end(), [nodeId](const auto& entry) {
        return entry.second.id == nodeId;
    });
    if (node == m_nodes.end()) {
        return false;
    }
    for (const Node& sibling : Children(folderId)) {
        if (sibling.type == node->second.type &&
            EqualsIgnoreAsciiCase(sibling.name, node->second.name)) {
            return false;
        }
    }
    if (!m_file.MoveNodeToEnd(nodeId, folderId) || !m_file.Save()) {
        return false;
    }
    // Last among the folder's children, as in the file.
    std::pair<int, Node> moved{folderId, node->second};
    m_nodes.erase(node);
    m_nodes.push_back(std::move(moved));
    return true;
}
