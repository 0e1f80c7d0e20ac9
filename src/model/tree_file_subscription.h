#pragma once

#include <utility>
#include <vector>

#include "model/subscription.h"

// The tree file as a subscription adds to it, for the command-line tool: every node is read
// once (CKeywordTreeFile::Load), and each node added is written to the file at once. The
// file's Damage() says whether it could be read; a damaged one must not be added to.
class TreeFileSubscription final : public SubscriptionTree {
public:
    explicit TreeFileSubscription(CKeywordTreeFile& file);

    std::vector<Node> Children(int folderId) const override;
    std::vector<std::string> ChannelNames() const override;
    int Add(int type, int parentId, const std::string& name, bool searchName) override;
    bool Rename(int nodeId, const std::string& name) override;
    bool Move(int nodeId, int folderId) override;

private:
    CKeywordTreeFile& m_file;
    std::vector<std::pair<int, Node>> m_nodes;  // each node with its parent's ID
};
