#pragma once

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/news_rules.h"
#include "store/sqlite_handle.h"

// A rule ready to be tested against items: its words as folded patterns (rule_text.h).
struct CompiledRule {
    const NewsRule* rule = nullptr;  // belongs to the NewsRuleSet it came from
    std::vector<std::string> patterns;

    // Whether an item of this folded text is one the rule acts on.
    bool Matches(std::string_view foldedText) const;
};

// The rules of `set` that apply to the channel `keyword`, compiled; empty when none does.
std::vector<CompiledRule> CompileRulesFor(const NewsRuleSet& set, std::string_view keyword);

// Carries out rule actions on stored items through statements prepared once, inside the
// caller's transaction on `db`: marking read takes the item's unread row away, starring adds
// its item_star row, a colour its item_colour row, hiding its item_hidden row (and marks it
// read, so that no count shows news that no list does).
//
// Thread rule: an object belongs to the thread that holds `db`, for as long as it does.
class CRuleMarks {
public:
    explicit CRuleMarks(sqlite3* db) : m_db(db) {}

    // Applies every rule of `rules` that matches the item's title and description (HTML) to
    // the item `itemId`. False, with SQLite's message in `failure`, when a statement failed.
    bool ApplyMatching(const std::vector<CompiledRule>& rules, std::int64_t itemId,
                       std::string_view title, std::string_view description, std::string* failure);
    // Applies one action to the item.
    bool Apply(const NewsRule& rule, std::int64_t itemId, std::string* failure);

private:
    enum Statement { kRead, kStar, kColour, kHide, kStatements };
    sqlite3_stmt* Prepared(Statement which, std::string* failure);
    bool Run(Statement which, const NewsRule& rule, std::int64_t itemId, std::string* failure);

    sqlite3* m_db;
    std::array<SqliteStatement, kStatements> m_statements;
};

class CAdoConnection;

// What applying one rule to the news already stored would do: the items it matches whose
// state it would change (not hidden yet, not starred yet, unread, or of another colour).
// With `apply`, changes them too, in one transaction. False, with the reason in `failure`,
// when a statement fails (then nothing is changed).
bool RuleOnStoredNews(const CAdoConnection& connection, const NewsRuleSet& set,
                      const NewsRule& rule, bool apply, std::int64_t* items, std::string* failure);
