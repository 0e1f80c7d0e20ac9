#pragma once

#include <string>

// What a tree node's tooltip tells of it. Each line comes from one fact; a fact left at its
// default adds no line.
struct NodeTooltipFacts {
    // The node's news as its label counts them (recent items), and how many of those are
    // still unread; no line while `counted` is false (the counts are not known yet).
    bool counted = false;
    int count = 0;
    int unread = 0;
};

// The tooltip text: "共 N 条，未读 M 条" for counted news; empty when there is nothing to say.
std::string NodeTooltipText(const NodeTooltipFacts& facts);
