#include "model/node_map.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

namespace {

using Handles = std::vector<CNodeMap::Handle>;

// root(1){a(2){x(5)}, b(3), c(4)}
void Fill(CNodeMap& nodes) {
    nodes.Insert(1, CNodeMap::kNoItem, CKeywordNode::NewNode("root", NODE_FOLDER));
    nodes.Insert(2, 1, CKeywordNode::NewNode("a", NODE_FOLDER));
    nodes.Insert(3, 1, CKeywordNode::NewNode("b", NODE_KEY));
    nodes.Insert(4, 1, CKeywordNode::NewNode("c", NODE_KEY));
    nodes.Insert(5, 2, CKeywordNode::NewNode("x", NODE_KEY));
}

}  // namespace

TEST(NodeMap, AMovedEntryKeepsItsRecordAndChildrenUnderItsNewHandle) {
    CNodeMap nodes;
    Fill(nodes);
    nodes.MoveEntry(2, 12, 1, CNodeMap::kLastChild);
    EXPECT_FALSE(nodes.Contains(2));
    EXPECT_EQ(nodes.Lookup(12).name, "a");
    EXPECT_EQ(nodes.Lookup(12).item, 12);
    EXPECT_EQ(nodes.Children(1), (Handles{3, 4, 12}));
    EXPECT_EQ(nodes.Children(12), (Handles{5}));
    EXPECT_EQ(nodes.Parent(5), 12);
    EXPECT_EQ(nodes.NamesBelow(1), (std::vector<std::string>{"b", "c", "a", "x"}));

    nodes.MoveEntry(4, 14, 1, CNodeMap::kFirstChild);
    nodes.MoveEntry(5, 15, 1, 14);  // after a sibling
    EXPECT_EQ(nodes.Children(1), (Handles{14, 15, 3, 12}));
    EXPECT_TRUE(nodes.Children(12).empty());

    // An unknown source or a handle already in use changes nothing.
    nodes.MoveEntry(99, 20, 1, CNodeMap::kLastChild);
    nodes.MoveEntry(3, 14, 1, CNodeMap::kLastChild);
    EXPECT_EQ(nodes.Children(1), (Handles{14, 15, 3, 12}));
    EXPECT_EQ(nodes.Handles().size(), 5u);
}

TEST(NodeMap, ReadersOnOtherThreadsSeeEveryMoveWholeOrNotAtAll) {
    CNodeMap nodes;
    Fill(nodes);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            const std::vector<std::string> names = nodes.NamesBelow(1);
            EXPECT_EQ(names.size(), 4u);
            const CNodeMap::Counts counts = nodes.ApplyRecentCounts({{"b", 2}, {"x", 3}});
            ASSERT_FALSE(counts.nodes.empty());
            EXPECT_EQ(counts.nodes.back().item, 1);  // the root comes after its descendants
            EXPECT_EQ(counts.nodes.back().count, 5);
        }
    });
    CNodeMap::Handle handle = 3;
    for (CNodeMap::Handle next = 100; next < 2100; ++next) {
        nodes.MoveEntry(handle, next, 1, next % 2 ? CNodeMap::kFirstChild : CNodeMap::kLastChild);
        handle = next;
    }
    done = true;
    reader.join();
    EXPECT_EQ(nodes.Lookup(handle).name, "b");
}

// Channels of one name list the same items: a folder holding several counts them once, at
// every level, while each channel keeps its own count.
TEST(NodeMap, ChannelsOfOneNameCountOnceInTheFoldersAboveThem) {
    // root(1){a(2){x(5), y(6){X(7)}}, b(3){x(8)}, c(4)}
    CNodeMap nodes;
    nodes.Insert(1, CNodeMap::kNoItem, CKeywordNode::NewNode("root", NODE_FOLDER));
    nodes.Insert(2, 1, CKeywordNode::NewNode("a", NODE_FOLDER));
    nodes.Insert(3, 1, CKeywordNode::NewNode("b", NODE_FOLDER));
    nodes.Insert(4, 1, CKeywordNode::NewNode("c", NODE_KEY));
    nodes.Insert(5, 2, CKeywordNode::NewNode("x", NODE_KEY));
    nodes.Insert(6, 2, CKeywordNode::NewNode("y", NODE_FOLDER));
    nodes.Insert(7, 6, CKeywordNode::NewNode("X", NODE_KEY));
    nodes.Insert(8, 3, CKeywordNode::NewNode("x", NODE_KEY));
    const CNodeMap::Counts counts = nodes.ApplyRecentCounts({{"x", 10}, {"c", 1}}, {{"x", 4}});
    std::map<CNodeMap::Handle, std::pair<int, int>> byItem;
    for (const CNodeMap::NodeCount& node : counts.nodes) {
        byItem[node.item] = {node.count, node.unread};
    }
    using P = std::pair<int, int>;
    EXPECT_EQ(byItem[5], P(10, 4));
    EXPECT_EQ(byItem[7], P(10, 4));
    EXPECT_EQ(byItem[8], P(10, 4));
    EXPECT_EQ(byItem[6], P(10, 4));
    EXPECT_EQ(byItem[2], P(10, 4));
    EXPECT_EQ(byItem[3], P(10, 4));
    EXPECT_EQ(byItem[1], P(11, 4));
}
