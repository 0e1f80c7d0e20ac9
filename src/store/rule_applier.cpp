#include "store/rule_applier.h"

#include <algorithm>
#include <optional>

#include "store/ado_connection.h"
#include "store/rule_text.h"
#include "store/sqlite_pool.h"

namespace {

constexpr const char* kMarkRead =
    "DELETE FROM item_unread WHERE item_id = ?1 AND channel_id = (SELECT "
    "ifnull(rss_channelID, 0) FROM item WHERE ID = ?1) AND pub_date = (SELECT "
    "ifnull(rss_pubDate, '') FROM item WHERE ID = ?1)";

constexpr const char* kSql[] = {
    kMarkRead,
    "INSERT OR IGNORE INTO item_star (item_id) VALUES (?1)",
    "INSERT OR REPLACE INTO item_colour (item_id, colour) VALUES (?1, ?2)",
    "INSERT OR IGNORE INTO item_hidden (item_id) VALUES (?1)",
};

// Whether the item's state already is what the rule makes it: a column of the scan below.
std::string DoneColumn(const NewsRule& rule) {
    switch (rule.action) {
        case RuleAction::kMarkRead:
            return "NOT EXISTS (SELECT 1 FROM item_unread WHERE channel_id = "
                   "ifnull(item.rss_channelID, 0) AND pub_date = ifnull(item.rss_pubDate, '') AND "
                   "item_id = item.ID)";
        case RuleAction::kStar:
            return "EXISTS (SELECT 1 FROM item_star WHERE item_id = item.ID)";
        case RuleAction::kColour:
            return "EXISTS (SELECT 1 FROM item_colour WHERE item_id = item.ID AND colour = ?1)";
        case RuleAction::kHide:
            return "EXISTS (SELECT 1 FROM item_hidden WHERE item_id = item.ID)";
    }
    return "0";
}

bool Exec(sqlite3* db, const char* sql, std::string* failure) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    *failure = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

std::string_view ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string_view(text, sqlite3_column_bytes(statement, column))
                : std::string_view();
}

// The matching items whose state the rule would change, in ID order.
bool ScanStored(sqlite3* db, const NewsRuleSet& set, const CompiledRule& compiled,
                std::vector<std::int64_t>* ids, std::string* failure) {
    const std::string sql =
        "SELECT item.ID, item.rss_title, item.rss_description, ifnull(channel.rss_title, ''), " +
        DoneColumn(*compiled.rule) +
        " FROM item LEFT JOIN channel ON channel.ID = item.rss_channelID ORDER BY item.ID";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        *failure = sqlite3_errmsg(db);
        return false;
    }
    const SqliteStatement statement(raw);
    const std::string& colour = compiled.rule->colour;
    sqlite3_bind_text(raw, 1, colour.data(), static_cast<int>(colour.size()), SQLITE_TRANSIENT);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        if (sqlite3_column_int(raw, 4) != 0 || !set.Covers(*compiled.rule, ColumnText(raw, 3))) {
            continue;
        }
        if (compiled.Matches(RuleFoldedText(ColumnText(raw, 1), ColumnText(raw, 2)))) {
            ids->push_back(sqlite3_column_int64(raw, 0));
        }
    }
    if (rc != SQLITE_DONE) {
        *failure = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

}  // namespace

bool CompiledRule::Matches(std::string_view foldedText) const {
    const bool holds = std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
        return RuleTextHolds(foldedText, p);
    });
    return rule->match == RuleMatch::kAny ? holds : !holds;
}

std::vector<CompiledRule> CompileRulesFor(const NewsRuleSet& set, std::string_view keyword) {
    std::vector<CompiledRule> compiled;
    for (const NewsRule* rule : set.ForChannel(keyword)) {
        CompiledRule one{rule, {}};
        for (const std::string& word : rule->words) {
            std::string pattern = RuleWordPattern(word);
            if (!pattern.empty()) {
                one.patterns.push_back(std::move(pattern));
            }
        }
        compiled.push_back(std::move(one));
    }
    return compiled;
}

sqlite3_stmt* CRuleMarks::Prepared(Statement which, std::string* failure) {
    SqliteStatement& statement = m_statements[which];
    if (!statement) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(m_db, kSql[which], -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) !=
            SQLITE_OK) {
            *failure = sqlite3_errmsg(m_db);
            return nullptr;
        }
        statement = SqliteStatement(raw);
    }
    return statement.get();
}

bool CRuleMarks::Run(Statement which, const NewsRule& rule, std::int64_t itemId,
                     std::string* failure) {
    sqlite3_stmt* s = Prepared(which, failure);
    if (!s) {
        return false;
    }
    sqlite3_bind_int64(s, 1, itemId);
    if (which == kColour) {
        sqlite3_bind_text(s, 2, rule.colour.data(), static_cast<int>(rule.colour.size()),
                          SQLITE_TRANSIENT);
    }
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) {
        *failure = sqlite3_errmsg(m_db);
        return false;
    }
    return true;
}

bool CRuleMarks::Apply(const NewsRule& rule, std::int64_t itemId, std::string* failure) {
    switch (rule.action) {
        case RuleAction::kMarkRead:
            return Run(kRead, rule, itemId, failure);
        case RuleAction::kStar:
            return Run(kStar, rule, itemId, failure);
        case RuleAction::kColour:
            return Run(kColour, rule, itemId, failure);
        case RuleAction::kHide:
            // A hidden item is read as well: no count shows news that no list shows.
            return Run(kHide, rule, itemId, failure) && Run(kRead, rule, itemId, failure);
    }
    return false;
}

bool CRuleMarks::ApplyMatching(const std::vector<CompiledRule>& rules, std::int64_t itemId,
                               std::string_view title, std::string_view description,
                               std::string* failure) {
    if (rules.empty()) {
        return true;
    }
    const std::string folded = RuleFoldedText(title, description);
    for (const CompiledRule& rule : rules) {
        if (rule.Matches(folded) && !Apply(*rule.rule, itemId, failure)) {
            return false;
        }
    }
    return true;
}

bool RuleOnStoredNews(const CAdoConnection& connection, const NewsRuleSet& set,
                      const NewsRule& rule, bool apply, std::int64_t* items, std::string* failure) {
    *items = 0;
    *failure = NewsRuleProblem(rule);
    if (!failure->empty()) {
        return false;
    }
    std::shared_ptr<SqlitePool> pool = connection.IsOpen() ? connection.GetConnection() : nullptr;
    int code = SQLITE_OK;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, failure) : std::nullopt;
    if (!lease) {
        *failure = failure->empty() ? "the connection is closed" : *failure;
        return false;
    }
    sqlite3* db = lease->get();
    // The rule compiled on its own: it need not be one of the set's.
    CompiledRule compiled{&rule, {}};
    for (const std::string& word : rule.words) {
        if (std::string pattern = RuleWordPattern(word); !pattern.empty()) {
            compiled.patterns.push_back(std::move(pattern));
        }
    }
    // Counting and changing in one transaction, so that the count is of what changes.
    if (!Exec(db, apply ? "BEGIN IMMEDIATE" : "BEGIN", failure)) {
        return false;
    }
    std::vector<std::int64_t> ids;
    bool done = ScanStored(db, set, compiled, &ids, failure);
    CRuleMarks marks(db);
    for (std::size_t i = 0; done && apply && i < ids.size(); ++i) {
        done = marks.Apply(rule, ids[i], failure);
    }
    if (!done || !Exec(db, "COMMIT", failure)) {
        std::string ignored;
        Exec(db, "ROLLBACK", &ignored);
        return false;
    }
    *items = static_cast<std::int64_t>(ids.size());
    return true;
}
