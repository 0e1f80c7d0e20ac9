#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/keyword_tree_file.h"

// A tree file's nodes as read straight from its bytes, without a document in memory: a tree
// of 100 000 channels takes some 8 MB so, against over 100 MB as a document.
struct StreamedTree {
    // Why the bytes could not be read whole; "" when they were.
    std::string error;
    // The file has a document type declaration: its entities are expanded only in a document,
    // so it has to be read as one.
    bool hasDoctype = false;
    // The document element's name as written ("KEYWORDTREE" in a tree file).
    std::string rootName;
    // The text of the root's first TEXT field; nothing when the root has none.
    std::optional<std::string> rootLabel;
    // Every KEYWORDNODE element in document order, as a document would give it: the ID, type
    // (NODE_KEY or NODE_FOLDER), name (cut to the name limit), search flag and the ID of the
    // enclosing element (0 for the root, whatever its own ID field says). A missing field
    // reads as 0, NODE_FOLDER or "".
    std::vector<CKeywordNode> nodes;
};

StreamedTree StreamKeywordTree(std::string_view bytes);
