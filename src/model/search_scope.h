#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CAdoConnection;

// The IDs of the stored channels that no name of `treeNames` names (ignoring ASCII case, as
// the database compares channel names): a channel deleted from the tree keeps its items in
// the database, where adding it again finds them, but a search must not list them.
std::vector<std::int64_t> ChannelsNotInTree(const CAdoConnection& connection,
                                            const std::vector<std::string>& treeNames);
