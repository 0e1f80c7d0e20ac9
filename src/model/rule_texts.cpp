#include "model/rule_texts.h"

const char* RuleScopeText(RuleScope scope) {
    switch (scope) {
        case RuleScope::kAll:
            return "所有频道";
        case RuleScope::kFolder:
            return "文件夹";
        case RuleScope::kChannel:
            return "频道";
    }
    return "";
}

const char* RuleMatchText(RuleMatch match) {
    return match == RuleMatch::kAny ? "含任一词" : "不含这些词";
}

const char* RuleActionText(RuleAction action) {
    switch (action) {
        case RuleAction::kMarkRead:
            return "标为已读";
        case RuleAction::kStar:
            return "加星标";
        case RuleAction::kColour:
            return "行着色";
        case RuleAction::kHide:
            return "隐藏";
    }
    return "";
}

std::string DescribeNewsRule(const NewsRule& rule) {
    std::string text = RuleScopeText(rule.scope);
    if (rule.scope != RuleScope::kAll) {
        text += "“" + rule.place + "”";
    }
    std::string words;
    for (const std::string& word : rule.words) {
        words += (words.empty() ? "" : " ") + word;
    }
    text += std::string("：") + RuleMatchText(rule.match) + "“" + words + "” → " +
            RuleActionText(rule.action);
    if (rule.action == RuleAction::kColour) {
        text += " " + rule.colour;
    }
    return text;
}

std::string DamagedRulesText(const std::vector<DamagedRule>& damaged) {
    if (damaged.empty()) {
        return {};
    }
    std::string ids;
    for (const DamagedRule& rule : damaged) {
        ids += (ids.empty() ? "" : "、") + std::to_string(rule.id);
    }
    return "过滤规则 " + ids + " 已损坏，已跳过，未被使用";
}
