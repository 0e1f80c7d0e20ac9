// quillon-cli list NAME [--today] [--hidden]: a channel's or folder's news as the list shows it
// (星标新闻: every starred item), with --hidden the items rules hid too; and quillon-cli mark-read
// NAME: a channel's or folder's news marked read.

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "model/list_mode.h"
#include "model/news_loader.h"
#include "store/keyword_tree_file.h"
#include "store/statements.h"

namespace {

struct Target {
    CKeywordNode node;
    std::vector<std::string> namesBelow;  // depth first, for a folder
};

// The node named `name` as the tree hands it to the list on a click: the root when its
// label is `name`, otherwise the first such node in tree order.
std::optional<Target> FindInTree(const std::string& path, const std::string& name,
                                 std::optional<TreeFileDamage>* damage) {
    std::vector<std::pair<CKeywordNode, int>> nodes;  // each with its parent's ID
    CKeywordTreeFile tree(path);
    const std::string rootLabel = tree.Load(
        [&](const CKeywordNode& node, int parentId) { nodes.emplace_back(node, parentId); });
    *damage = tree.Damage();
    if (*damage) {
        return std::nullopt;
    }
    if (name == rootLabel) {
        Target root{CKeywordNode::NewNode(rootLabel, NODE_FOLDER), {}};
        root.node.id = 0;
        for (const auto& [node, parentId] : nodes) {
            root.namesBelow.emplace_back(node.name);
        }
        return root;
    }
    const auto found = std::find_if(nodes.begin(), nodes.end(),
                                    [&](const auto& entry) { return name == entry.first.name; });
    if (found == nodes.end()) {
        return std::nullopt;
    }
    Target target{found->first, {}};
    if (target.node.type == NODE_FOLDER) {
        // Nodes come parent first, so the branch is the run of nodes after the folder whose
        // parent lies in it.
        std::set<int> branch{target.node.id};
        for (auto it = std::next(found); it != nodes.end() && branch.count(it->second) > 0; ++it) {
            target.namesBelow.emplace_back(it->first.name);
            branch.insert(it->first.id);
        }
    }
    return target;
}

// Opens the database, as it is when `use` only reads it, and finds `name` in the tree; on
// failure says why on stderr.
std::optional<Target> OpenAndFind(const std::string& name, DatabaseUse use) {
    if (use == DatabaseUse::kReadOnly) {
        if (!OpenDatabaseForReading()) {
            return std::nullopt;
        }
    } else if (!theStore.Open()) {
        std::fprintf(stderr, "quillon-cli: %s\n", StoreOpenFailureText().c_str());
        return std::nullopt;
    }
    const std::string treePath = theStore.DataPath("document/keywordlist.xml");
    std::optional<TreeFileDamage> damage;
    std::optional<Target> target = FindInTree(treePath, name, &damage);
    if (damage) {
        PrintTreeFileDamage(treePath, *damage);
        return std::nullopt;
    }
    if (!target) {
        std::fprintf(stderr, "quillon-cli: no channel or folder named '%s' in %s\n", name.c_str(),
                     treePath.c_str());
    }
    return target;
}

}  // namespace

nlohmann::ordered_json RowsAsJson(const std::vector<CNewsRow>& rows) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const CNewsRow& row : rows) {
        nlohmann::ordered_json fields = nlohmann::ordered_json::object();
        fields["category"] = row.categoryName;
        fields["title"] = row.title;
        fields["channel"] = row.channel;
        fields["date"] = row.dateText;
        fields["author"] = row.author;
        fields["source"] = row.source;
        fields["read"] = row.read;
        fields["id"] = row.itemId;
        fields["starred"] = row.starred;
        fields["colour"] =
            row.colour.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(row.colour);
        fields["hidden"] = row.hidden;
        out.push_back(std::move(fields));
    }
    return out;
}

int RunListCommand(const std::vector<std::string>& args) {
    std::optional<std::string> name;
    bool today = false;
    bool hidden = false;
    for (const std::string& arg : args) {
        if (arg == "--today") {
            today = true;
        } else if (arg == "--hidden") {
            hidden = true;
        } else if (!name && !arg.starts_with("--")) {
            name = arg;
        } else {
            name.reset();
            break;
        }
    }
    if (!name) {
        std::fputs("usage: quillon-cli list NAME [--today] [--hidden]\n", stderr);
        return 2;
    }
    theStore.LoadSettings();
    std::optional<Target> target;
    if (*name == kStarredNodeName) {
        // The node above the tree: its name is taken before any channel's of the same name.
        if (!OpenDatabaseForReading()) {
            return 1;
        }
        target = Target{CKeywordNode::NewNode(kStarredNodeName, NODE_STARRED), {}};
    } else {
        target = OpenAndFind(*name, DatabaseUse::kReadOnly);
    }
    if (!target) {
        return 1;
    }
    CNewsList list(theStore);
    list.pacing().SetEnabled(false);
    list.SetShowHidden(hidden);
    list.RequestLoad(target->node, today ? kListModeToday : kListModeAll, target->namesBelow);
    list.WaitUntilIdle();
    std::cout
        << RowsAsJson(list.Rows()).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
        << "\n";
    return 0;
}

int RunMarkReadCommand(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].starts_with("--")) {
        std::fputs("usage: quillon-cli mark-read NAME\n", stderr);
        return 2;
    }
    const std::optional<Target> target = OpenAndFind(args[0], DatabaseUse::kReadWrite);
    if (!target) {
        return 1;
    }
    // A folder's names include those of the folders below it, which match no channel.
    std::vector<std::string> names = target->namesBelow;
    if (target->node.type == NODE_KEY) {
        names.emplace_back(target->node.name);
    }
    const int marked = theStore.Execute(SqlMarkChannelsRead(names));
    if (marked < 0) {
        std::fprintf(stderr, "quillon-cli: cannot mark the news read: %s\n",
                     DatabaseFailureEnglish(theStore.LastError()).c_str());
        return 1;
    }
    std::printf("marked %d items read\n", marked);
    return 0;
}
