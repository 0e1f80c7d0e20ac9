#pragma once

#include <string>

#include "store/news_rules.h"

// The window's Chinese texts of the news rules.

// 所有频道 / 文件夹 / 频道.
const char* RuleScopeText(RuleScope scope);
// 含任一词 / 不含这些词.
const char* RuleMatchText(RuleMatch match);
// 标为已读 / 加星标 / 行着色 / 隐藏.
const char* RuleActionText(RuleAction action);

// One line for the rule list, e.g. 频道“足球”：含任一词“彩票 广告” → 隐藏.
std::string DescribeNewsRule(const NewsRule& rule);

// The status bar's note of the rules that could not be read, naming each; "" for none.
std::string DamagedRulesText(const std::vector<DamagedRule>& damaged);
