#include "model/node_tooltip.h"

std::string NodeTooltipText(const NodeTooltipFacts& facts) {
    std::string text;
    if (facts.counted) {
        text += "共 " + std::to_string(facts.count) + " 条，未读 " + std::to_string(facts.unread) +
                " 条";
    }
    return text;
}
