#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CAdoConnection;

// The rules applied to news as it arrives (the news_rule table): where a rule applies, what
// it looks for in an item's title and text, and what it does to an item it finds.

enum class RuleScope { kAll, kFolder, kChannel };
enum class RuleMatch {
    kAny,   // the title or the text holds at least one of the words
    kNone,  // they hold none of them
};
enum class RuleAction { kMarkRead, kStar, kColour, kHide };

struct NewsRule {
    std::int64_t id = 0;  // news_rule.ID; 0 for a rule not saved yet
    RuleScope scope = RuleScope::kAll;
    std::string place;  // the folder's or the channel's name; '' for every channel
    RuleMatch match = RuleMatch::kAny;
    std::vector<std::string> words;  // each one a phrase, matched as the search matches it
    RuleAction action = RuleAction::kMarkRead;
    std::string colour;  // #rrggbb for kColour, else ''

    bool operator==(const NewsRule&) const = default;
};

// A row of news_rule that could not be read: its ID and what is wrong with it.
struct DamagedRule {
    std::int64_t id = 0;
    std::string reason;
};

// Whether `rule` can be saved and applied: a place for a folder or channel rule, at least one
// word with a term in it, a colour of the form #rrggbb for a colour rule. "" when it can,
// else what is wrong (plain English).
std::string NewsRuleProblem(const NewsRule& rule);

// The words of a text the user typed: parts between blanks, commas (ASCII and full-width),
// semicolons and line breaks, each once, empty parts left out.
std::vector<std::string> SplitRuleWords(std::string_view typed);

// Reads every rule, in the order of their IDs. A row that names an unknown scope, match or
// action, no place where one is needed, no word, or a colour that is none is left out of
// `rules` and described in `damaged`, so that it is never applied in some other sense. False,
// with the reason in `failure`, when the table cannot be read.
bool ReadNewsRules(const CAdoConnection& connection, std::vector<NewsRule>* rules,
                   std::vector<DamagedRule>* damaged, std::string* failure);

// Adds `rule` (its id is ignored) and gives its new ID in `id`, or replaces the rule of
// rule.id; RemoveNewsRule takes one away. A rule with a NewsRuleProblem is refused. False,
// with the reason in `failure`, when refused or the statement fails.
bool SaveNewsRule(const CAdoConnection& connection, const NewsRule& rule, std::int64_t* id,
                  std::string* failure);
bool RemoveNewsRule(const CAdoConnection& connection, std::int64_t id, std::string* failure);

// The rules as the storing threads apply them: read once, with every folder's channels
// (from the tree), and shared read-only between threads.
class NewsRuleSet {
public:
    NewsRuleSet() = default;
    // `folders` maps a folder's name to the names of the channels anywhere below it; two
    // folders of one name share the rule.
    NewsRuleSet(std::vector<NewsRule> rules,
                std::map<std::string, std::vector<std::string>> folders);

    bool Empty() const { return m_rules.empty(); }
    const std::vector<NewsRule>& Rules() const { return m_rules; }
    // The rules that apply to the channel named `keyword` (names compare ignoring ASCII case),
    // in order. Empty, and cheap, when there are none.
    std::vector<const NewsRule*> ForChannel(std::string_view keyword) const;
    // Whether `rule` applies to the channel `keyword`.
    bool Covers(const NewsRule& rule, std::string_view keyword) const;
    // The channels a folder rule covers; empty for an unknown folder.
    std::vector<std::string> FolderChannels(std::string_view folder) const;

private:
    std::vector<NewsRule> m_rules;
    std::map<std::string, std::vector<std::string>> m_folders;
};

// The folders of the tree file at `path`, each with the channels anywhere below it. Empty for
// a missing or damaged file.
std::map<std::string, std::vector<std::string>> ReadTreeFolders(const std::string& path);
