#include "store/news_rules.h"

#include <algorithm>
#include <optional>

#include "base/ascii.h"
#include "store/ado_connection.h"
#include "store/keyword_tree_file.h"
#include "store/rule_text.h"
#include "store/sqlite_handle.h"
#include "store/sqlite_pool.h"

namespace {

constexpr const char* kScopeNames[] = {"all", "folder", "channel"};
constexpr const char* kMatchNames[] = {"any", "none"};
constexpr const char* kActionNames[] = {"read", "star", "colour", "hide"};

template <typename Enum, std::size_t N>
std::optional<Enum> Parse(std::string_view text, const char* const (&names)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text == names[i]) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

bool IsColour(std::string_view text) {
    return text.size() == 7 && text[0] == '#' &&
           std::all_of(text.begin() + 1, text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

std::optional<SqlitePool::Lease> Borrow(const CAdoConnection& connection, std::string* failure) {
    std::shared_ptr<SqlitePool> pool = connection.IsOpen() ? connection.GetConnection() : nullptr;
    int code = SQLITE_OK;
    std::optional<SqlitePool::Lease> lease = pool ? pool->Acquire(&code, failure) : std::nullopt;
    if (!lease && failure->empty()) {
        *failure = "the connection is closed";
    }
    return lease;
}

SqliteStatement Prepare(sqlite3* db, const char* sql, std::string* failure) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        *failure = sqlite3_errmsg(db);
    }
    return SqliteStatement(raw);
}

std::string Column(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

void BindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data() ? text.data() : "",
                      static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string JoinLines(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& word : words) {
        out += (out.empty() ? "" : "\n") + word;
    }
    return out;
}

// The rule of one row, or what is wrong with it.
std::optional<NewsRule> RuleOfRow(sqlite3_stmt* row, std::string* reason) {
    NewsRule rule;
    rule.id = sqlite3_column_int64(row, 0);
    const std::optional<RuleScope> scope = Parse<RuleScope>(Column(row, 1), kScopeNames);
    const std::optional<RuleMatch> match = Parse<RuleMatch>(Column(row, 3), kMatchNames);
    const std::optional<RuleAction> action = Parse<RuleAction>(Column(row, 5), kActionNames);
    if (!scope || !match || !action) {
        *reason = !scope   ? "unknown scope '" + Column(row, 1) + "'"
                  : !match ? "unknown match '" + Column(row, 3) + "'"
                           : "unknown action '" + Column(row, 5) + "'";
        return std::nullopt;
    }
    rule.scope = *scope;
    rule.place = Column(row, 2);
    rule.match = *match;
    const std::string words = Column(row, 4);
    for (std::size_t start = 0; start <= words.size();) {
        const std::size_t end = std::min(words.find('\n', start), words.size());
        if (end > start) {
            rule.words.push_back(words.substr(start, end - start));
        }
        start = end + 1;
    }
    rule.action = *action;
    rule.colour = Column(row, 6);
    *reason = NewsRuleProblem(rule);
    if (!reason->empty()) {
        return std::nullopt;
    }
    return rule;
}

}  // namespace

std::string NewsRuleProblem(const NewsRule& rule) {
    if (rule.scope != RuleScope::kAll && rule.place.empty()) {
        return "no folder or channel named";
    }
    if (std::none_of(rule.words.begin(), rule.words.end(),
                     [](const std::string& word) { return !RuleWordPattern(word).empty(); })) {
        return "no word to look for";
    }
    if (rule.action == RuleAction::kColour && !IsColour(rule.colour)) {
        return "no colour of the form #rrggbb";
    }
    return {};
}

std::vector<std::string> SplitRuleWords(std::string_view typed) {
    std::vector<std::string> words;
    std::string current;
    auto flush = [&] {
        if (!current.empty() && std::find(words.begin(), words.end(), current) == words.end()) {
            words.push_back(current);
        }
        current.clear();
    };
    for (std::size_t i = 0; i < typed.size();) {
        // Full-width comma, semicolon and the ideographic comma and space separate too.
        static constexpr std::string_view kWide[] = {"\xEF\xBC\x8C", "\xEF\xBC\x9B", "\xE3\x80\x81",
                                                     "\xE3\x80\x80"};
        const auto wide = std::find_if(std::begin(kWide), std::end(kWide), [&](auto separator) {
            return typed.substr(i).starts_with(separator);
        });
        if (wide != std::end(kWide)) {
            flush();
            i += wide->size();
            continue;
        }
        const char c = typed[i++];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ';') {
            flush();
        } else {
            current += c;
        }
    }
    flush();
    return words;
}

bool ReadNewsRules(const CAdoConnection& connection, std::vector<NewsRule>* rules,
                   std::vector<DamagedRule>* damaged, std::string* failure) {
    rules->clear();
    damaged->clear();
    std::optional<SqlitePool::Lease> lease = Borrow(connection, failure);
    if (!lease) {
        return false;
    }
    const SqliteStatement statement =
        Prepare(lease->get(),
                "SELECT ID, scope, place, match, words, action, colour FROM news_rule ORDER BY ID",
                failure);
    if (!statement) {
        return false;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        std::string reason;
        if (std::optional<NewsRule> rule = RuleOfRow(statement.get(), &reason)) {
            rules->push_back(std::move(*rule));
        } else {
            damaged->push_back({sqlite3_column_int64(statement.get(), 0), reason});
        }
    }
    if (rc != SQLITE_DONE) {
        *failure = sqlite3_errmsg(lease->get());
        return false;
    }
    return true;
}

bool SaveNewsRule(const CAdoConnection& connection, const NewsRule& rule, std::int64_t* id,
                  std::string* failure) {
    *failure = NewsRuleProblem(rule);
    if (!failure->empty()) {
        return false;
    }
    std::optional<SqlitePool::Lease> lease = Borrow(connection, failure);
    if (!lease) {
        return false;
    }
    const SqliteStatement statement = Prepare(
        lease->get(),
        rule.id > 0 ? "UPDATE news_rule SET scope = ?1, place = ?2, match = ?3, words = ?4, "
                      "action = ?5, colour = ?6 WHERE ID = ?7"
                    : "INSERT INTO news_rule (scope, place, match, words, action, colour) "
                      "VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
        failure);
    if (!statement) {
        return false;
    }
    sqlite3_stmt* s = statement.get();
    BindText(s, 1, kScopeNames[static_cast<int>(rule.scope)]);
    BindText(s, 2, rule.scope == RuleScope::kAll ? std::string() : rule.place);
    BindText(s, 3, kMatchNames[static_cast<int>(rule.match)]);
    BindText(s, 4, JoinLines(rule.words));
    BindText(s, 5, kActionNames[static_cast<int>(rule.action)]);
    BindText(s, 6, rule.action == RuleAction::kColour ? rule.colour : std::string());
    if (rule.id > 0) {
        sqlite3_bind_int64(s, 7, rule.id);
    }
    if (sqlite3_step(s) != SQLITE_DONE) {
        *failure = sqlite3_errmsg(lease->get());
        return false;
    }
    if (rule.id > 0 && sqlite3_changes(lease->get()) == 0) {
        *failure = "no rule " + std::to_string(rule.id);
        return false;
    }
    *id = rule.id > 0 ? rule.id : sqlite3_last_insert_rowid(lease->get());
    return true;
}

bool RemoveNewsRule(const CAdoConnection& connection, std::int64_t id, std::string* failure) {
    std::optional<SqlitePool::Lease> lease = Borrow(connection, failure);
    if (!lease) {
        return false;
    }
    const std::string sql = "DELETE FROM news_rule WHERE ID = " + std::to_string(id);
    char* message = nullptr;
    if (sqlite3_exec(lease->get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        *failure = message ? message : sqlite3_errmsg(lease->get());
        sqlite3_free(message);
        return false;
    }
    return true;
}

NewsRuleSet::NewsRuleSet(std::vector<NewsRule> rules,
                         std::map<std::string, std::vector<std::string>> folders)
    : m_rules(std::move(rules)), m_folders(std::move(folders)) {}

bool NewsRuleSet::Covers(const NewsRule& rule, std::string_view keyword) const {
    switch (rule.scope) {
        case RuleScope::kAll:
            return true;
        case RuleScope::kChannel:
            return EqualsIgnoreAsciiCase(rule.place, keyword);
        case RuleScope::kFolder: {
            const auto folder = m_folders.find(rule.place);
            return folder != m_folders.end() &&
                   std::any_of(folder->second.begin(), folder->second.end(),
                               [&](const std::string& name) {
                                   return EqualsIgnoreAsciiCase(name, keyword);
                               });
        }
    }
    return false;
}

std::vector<const NewsRule*> NewsRuleSet::ForChannel(std::string_view keyword) const {
    std::vector<const NewsRule*> rules;
    for (const NewsRule& rule : m_rules) {
        if (Covers(rule, keyword)) {
            rules.push_back(&rule);
        }
    }
    return rules;
}

std::vector<std::string> NewsRuleSet::FolderChannels(std::string_view folder) const {
    const auto found = m_folders.find(std::string(folder));
    return found == m_folders.end() ? std::vector<std::string>() : found->second;
}

std::map<std::string, std::vector<std::string>> ReadTreeFolders(const std::string& path) {
    struct Node {
        std::string name;
        int parent = 0;
        bool folder = false;
    };
    std::map<int, Node> nodes;
    CKeywordTreeFile tree(path);
    tree.Load([&nodes](const CKeywordNode& node, int parentId) {
        nodes[node.id] = {node.name, parentId, node.type == NODE_FOLDER};
    });
    std::map<std::string, std::vector<std::string>> folders;
    for (const auto& [id, node] : nodes) {
        if (node.folder) {
            folders[node.name];
        }
    }
    // Load gives a parent before its children, but a channel is found under every folder
    // above it, so walk up from each one.
    for (const auto& [id, node] : nodes) {
        if (node.folder) {
            continue;
        }
        int parent = node.parent;
        for (int depth = 0; parent != 0 && depth < 256; ++depth) {
            const auto up = nodes.find(parent);
            if (up == nodes.end()) {
                break;
            }
            if (up->second.folder) {
                folders[up->second.name].push_back(node.name);
            }
            parent = up->second.parent;
        }
    }
    return folders;
}
