#include "model/tree_edit_rules.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/star_statements.h"
#include "store/statements.h"

namespace {

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n\f\v") == std::string_view::npos;
}

}  // namespace

NodeNameProblem CheckNodeName(const CNodeMap& nodes, CNodeMap::Handle parent, int type,
                              std::string_view name, CNodeMap::Handle self) {
    const CKeywordNode wanted = CKeywordNode::NewNode(name, type);
    if (IsBlank(wanted.name)) {
        return NodeNameProblem::kEmpty;
    }
    for (CNodeMap::Handle child : nodes.Children(parent)) {
        if (child == self) {
            continue;
        }
        const CKeywordNode sibling = nodes.Lookup(child);
        if (sibling.type == type && EqualsIgnoreAsciiCase(sibling.name, wanted.name)) {
            return NodeNameProblem::kTaken;
        }
    }
    return NodeNameProblem::kNone;
}

namespace {

// The one number a counting statement gives; nothing when it cannot run.
std::optional<long long> CountOf(const CAdoConnection& connection, const std::string& sql) {
    CAdoRecordset total(connection);
    std::optional<long long> count;
    if (total.Open(sql)) {
        std::int32_t value = 0;
        if (total.BindColumn(0, &value, sizeof value, kBindNumber) && total.Fetch()) {
            count = value;
        }
        total.Close();
    }
    return count;
}

}  // namespace

DeletionCounts CountDeletion(const CNodeMap& nodes, CNodeMap::Handle item,
                             const CAdoConnection& connection) {
    DeletionCounts counts;
    std::vector<CNodeMap::Handle> branch = nodes.Descendants(item);
    branch.push_back(item);
    const std::set<CNodeMap::Handle> inBranch(branch.begin(), branch.end());
    std::set<std::string, LessIgnoreAsciiCase> names;
    for (CNodeMap::Handle handle : branch) {
        const CKeywordNode record = nodes.Lookup(handle);
        if (record.type == NODE_KEY) {
            ++counts.channels;
            names.insert(record.name);
        } else if (record.type == NODE_FOLDER && handle != item) {
            ++counts.folders;
        }
    }
    for (CNodeMap::Handle handle : nodes.Handles()) {
        if (inBranch.count(handle) == 0) {
            const CKeywordNode record = nodes.Lookup(handle);
            if (record.type == NODE_KEY) {
                names.erase(record.name);
            }
        }
    }
    if (names.empty()) {
        counts.itemsCounted = true;
        return counts;
    }
    const std::vector<std::string> channels(names.begin(), names.end());
    const std::optional<long long> items = CountOf(connection, SqlCountItemsOfChannels(channels));
    if (items) {
        counts.items = *items;
        counts.itemsCounted = true;
        counts.starred = CountOf(connection, SqlCountStarredItemsOfChannels(channels)).value_or(0);
    }
    return counts;
}
