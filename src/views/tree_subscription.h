#pragma once

#include "model/subscription.h"

class CTD_TreeView;

// The tree pane as a subscription adds to it: nodes go into the tree control, the node map and
// the tree file together (CTD_TreeView::AddNode), and a channel added is fetched at once.
// Window thread only.
class CTreeSubscription final : public SubscriptionTree {
public:
    // Without `fetchAdded` the channels added are not fetched here (see CTD_TreeView::AddNode).
    explicit CTreeSubscription(CTD_TreeView& view, bool fetchAdded = true)
        : m_view(view), m_fetchAdded(fetchAdded) {}

    std::vector<Node> Children(int folderId) const override;
    std::vector<std::string> ChannelNames() const override;
    int Add(int type, int parentId, const std::string& name, bool searchName) override;
    bool Rename(int nodeId, const std::string& name) override;
    bool Move(int nodeId, int folderId) override;

private:
    CTD_TreeView& m_view;
    bool m_fetchAdded;
};
