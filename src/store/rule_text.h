#pragma once

#include <string>
#include <string_view>
#include <vector>

// How a rule finds its words in an item: both are cut into terms as the search index cuts
// them (store/search_terms.h), so that Chinese is matched character by character within a
// run, other words whole, ASCII case and full-width forms ignored, punctuation and markup
// only separating. A word is held when its terms stand in the item's text in the same order
// and runs: "发布" is found inside "新品发布会", "ai" in "AI 芯片" but not in "said".

// The folded text of an item: its title and its description as the page shows it
// (SearchTextOfHtml), one string that RuleTextHolds searches. Each ASCII or other word stands
// between separators; the characters of a Chinese run stand together.
std::string RuleFoldedText(std::string_view title, std::string_view descriptionHtml);

// The pattern of one rule word in the same form; empty when the word holds no term (only
// punctuation or blanks), which then finds nothing.
std::string RuleWordPattern(std::string_view word);

// Whether the folded text holds the word's pattern.
inline bool RuleTextHolds(std::string_view foldedText, std::string_view pattern) {
    return !pattern.empty() && foldedText.find(pattern) != std::string_view::npos;
}

// The patterns a search's hits must hold beside what the index matches: one for each part
// of `typed` (as SearchMatchExpression parts it) that joins a word to Chinese, since the
// index reads "5G，手机" and "5G</p><p>手机" as it reads "5G手机". Empty for most searches.
std::vector<std::string> SearchTextPatterns(std::string_view typed);
