#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "store/keyword_tree_file.h"

// The tree pane's record of every item: one CKeywordNode per tree item handle, with the
// item's parent and its children in display order, so that worker threads can walk the
// tree without touching the tree control.
//
// Thread rule: the window thread inserts, moves, renames and removes entries; the count
// refresher reads the tree and writes recent counts. Every operation takes m_mutex once and
// copies records in or out, so no reader ever sees an entry half written or removed under it.
class CNodeMap {
public:
    using Handle = std::intptr_t;
    static constexpr Handle kNoItem = 0;
    // Places among a parent's children for MoveEntry, besides a sibling's handle.
    static constexpr Handle kFirstChild = -1;
    static constexpr Handle kLastChild = -2;
    // Channels' recent counts by name. Names compare ignoring ASCII case, as the database
    // compares channel names, so a node "News" finds the channel row "news".
    using CountsByName = std::map<std::string, int, LessIgnoreAsciiCase>;

    // One channel's or folder's count as a label shows it, and how many of those are unread.
    struct NodeCount {
        Handle item = kNoItem;
        std::string name;
        int count = 0;
        int unread = 0;
        int type = NODE_NONE;  // NODE_KEY or NODE_FOLDER
    };
    // Every channel's and folder's count, and the generation of the tree they were taken from.
    struct Counts {
        std::vector<NodeCount> nodes;
        std::uint64_t generation = 0;
    };

    // Adds an entry as the last child of `parent` (kNoItem for the root); the record's item
    // field is set to `item`.
    void Insert(Handle item, Handle parent, const CKeywordNode& record);
    // Hands the entry of `from` to the new handle `to` and places it among the children of
    // `newParent`, right after the sibling `after` (kFirstChild, kLastChild, or kLastChild's
    // place when `after` is not a child of newParent). The record keeps all but its item
    // field, which becomes `to`; the entry's children stay its children, now under `to`.
    // Nothing changes when `from` has no entry or `to` already has one.
    void MoveEntry(Handle from, Handle to, Handle newParent, Handle after);
    // Removes the entry and every entry below it.
    void RemoveBranch(Handle item);
    void Clear();

    bool Contains(Handle item) const;
    // The first handle in map order whose record has the node ID `id`, or kNoItem.
    Handle FindById(int id) const;
    // A copy of the record, or the blank record for an unknown handle.
    CKeywordNode Lookup(Handle item) const;
    Handle Parent(Handle item) const;
    std::vector<Handle> Children(Handle item) const;
    // Every handle in map order (ascending handle).
    std::vector<Handle> Handles() const;
    // The handles below `item`, depth first in display order (each child, then its
    // descendants, then the next child).
    std::vector<Handle> Descendants(Handle item) const;
    // The names of the nodes below `item`, in the order of Descendants.
    std::vector<std::string> NamesBelow(Handle item) const;
    // The names of every node.
    std::vector<std::string> AllNames() const;

    // Replaces the record's name (cut at a character boundary to fit).
    void SetName(Handle item, std::string_view name);
    // Sets whether the channel's name is searched for (CKeywordNode::searchName).
    void SetSearchName(Handle item, bool searchName);

    // Sets every channel's recent count to its name's count in `countByName` (0 when the
    // name is missing) and returns every channel's count and every folder's: the sum over
    // the channels below it at any depth, where channels of one name (in two folders, say)
    // count once, since they list the same items; the unread counts likewise from
    // `unreadByName`. All under one lock, so the sums fit the tree.
    Counts ApplyRecentCounts(const CountsByName& countByName,
                             const CountsByName& unreadByName = {});

    // Counts every change of the tree's shape or names (insert, remove, rename, clear).
    std::uint64_t Generation() const;
    // Called on the window thread after each such change, outside the lock; null for none.
    // Set on the window thread.
    void SetChangeListener(std::function<void()> listener);

private:
    struct Entry {
        CKeywordNode record;
        Handle parent = kNoItem;
        std::vector<Handle> children;
    };
    void DescendantsLocked(Handle item, std::vector<Handle>* out) const;
    bool MoveEntryLocked(Handle from, Handle to, Handle newParent, Handle after);
    using NameSet = std::set<std::string, LessIgnoreAsciiCase>;
    struct CountInputs {
        const CountsByName& recent;
        const CountsByName& unread;
        const NameSet& repeated;  // channel names more than one node bears
    };
    // A branch's recent and unread counts, each channel name counted once, and which of the
    // repeated names occur in it.
    struct BranchCount {
        int count = 0;
        int unread = 0;
        NameSet repeated;
    };
    // The counts of `item` (if a channel) and every channel below it; appends the counts of
    // `item` and its descendants to `out`, children first.
    BranchCount CountBranchLocked(Handle item, const CountInputs& inputs,
                                  std::vector<NodeCount>* out);
    static int CountOf(const CountsByName& counts, const std::string& name);
    void Changed();

    mutable std::mutex m_mutex;
    std::map<Handle, Entry> m_entries;  // guarded by m_mutex
    std::uint64_t m_generation = 0;     // guarded by m_mutex
    // The channel names more than one node bears, as of m_repeatedGeneration; guarded by
    // m_mutex.
    NameSet m_repeated;
    std::uint64_t m_repeatedGeneration = 0;
    bool m_repeatedFound = false;
    std::function<void()> m_changed;  // window thread only
};

// The tree's channels in display order, as the tree's load gives them (what the updates fetch).
std::vector<ChannelKeyword> ChannelKeywords(const CNodeMap& nodes);
