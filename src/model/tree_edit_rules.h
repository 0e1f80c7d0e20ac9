#pragma once

#include <string_view>

#include "model/node_map.h"

class CAdoConnection;

// The rules the tree's editing commands check before they change anything, and what a
// deletion would take away. Any thread that may read the node map.

// Why a name cannot be given to a node.
enum class NodeNameProblem {
    kNone,   // the name may be used
    kEmpty,  // it is empty or only blanks
    kTaken,  // another child of the parent has the same type and name (ASCII case ignored)
};

// Whether a node of `type` named `name` (as the tree would store it, cut to the name limit)
// may stand among the children of `parent`: adding it there, renaming a child of `parent` to
// it, or moving it there. `self`, the node being renamed or moved, does not count as another
// child.
NodeNameProblem CheckNodeName(const CNodeMap& nodes, CNodeMap::Handle parent, int type,
                              std::string_view name, CNodeMap::Handle self = CNodeMap::kNoItem);

// What deleting a node takes from the user.
struct DeletionCounts {
    int channels = 0;     // channel nodes in the branch, the node itself included
    int folders = 0;      // folder nodes below the node
    long long items = 0;  // stored news of those channels that no node outside the branch names
    bool itemsCounted = false;  // false when the database could not be asked
    long long starred = 0;      // the starred ones among `items` (0 when not counted)
};

// Counts the branch of `item` in the node map and, with one statement, the news of its
// channels in the database of `connection`. News of a channel name that a node outside the
// branch also carries still show under that node and are not counted.
DeletionCounts CountDeletion(const CNodeMap& nodes, CNodeMap::Handle item,
                             const CAdoConnection& connection);
