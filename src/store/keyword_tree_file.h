#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_util.h"

// Node types of the channel tree.
enum KeywordNodeType : std::int32_t {
    NODE_FOLDER = 0,
    NODE_KEY = 1,   // a channel: a search word
    NODE_NONE = 2,  // a blank record that stands for no node
    // The 星标新闻 node above the tree's root: every starred item. Never in the tree file.
    NODE_STARRED = 3,
};

// A node's name holds at most this many code-page bytes (see CodePageLength).
constexpr std::size_t kMaxNodeNameCodePageBytes = 511;

// One node of the tree as the views and loaders hand it around (copied by value).
struct CKeywordNode {
    std::int32_t id = -1;        // 0 for the root; -1 while unset
    std::int32_t parentId = -1;  // as read at load; -1 for a node added while running
    std::string name;            // the node's TEXT, at most kMaxNodeNameCodePageBytes
    std::int32_t type = NODE_NONE;
    std::intptr_t item = -1;       // the tree control's item showing the node; -1 while unset
    std::int32_t recentCount = 0;  // the channel's items newer than the retention period
    std::int32_t spare = -1;       // always -1
    // Whether the update engine searches the news services for the channel's name: on for a
    // channel the user adds as a search word, off for one a subscription makes (it is its
    // feeds). Kept in the tree file; a node of a file that does not say is on.
    bool searchName = true;

    // The record of a node about to be added: ids and item unset, the name and type given.
    static CKeywordNode NewNode(std::string_view name, std::int32_t type);
    // The record that stands for a missing entry: every field unset, type NODE_NONE.
    static CKeywordNode Blank() { return CKeywordNode(); }
};

// Why a tree file that exists could not be read, and where it is kept.
struct TreeFileDamage {
    std::string reason;     // e.g. "not well-formed XML: ..." or "... larger than ... bytes"
    std::string asidePath;  // where the damaged file is kept; "" until it is set aside
};

// The tree file, document/keywordlist.xml: loads it once, streaming its nodes without a
// document, and keeps its bytes. A change is made on a document parsed from them, and the
// whole file is saved after each one (written to a temporary file and renamed, so a crash
// never leaves half a tree); the document is then dropped for the bytes it saved. Used from
// one thread (the window thread).
//
// A missing file starts as the root alone, labelled "我的频道"; the first change creates the
// file and its folder. A file that exists but cannot be read (damaged, truncated, not a tree
// file, unreadable, over kMaxFileBytes) starts the same way, but it is the user's whole tree:
// Damage() says so, and the damaged file is renamed aside (SetDamagedFileAside, at the latest
// by the first save) before anything is written in its place. The file keeps its own XML
// declaration and encoding.
class CKeywordTreeFile {
public:
    static constexpr int kRefused = -1;
    static constexpr std::size_t kMaxFileBytes = 16u * 1024 * 1024;

    // `path` is the tree file, e.g. start directory + "/document/keywordlist.xml".
    explicit CKeywordTreeFile(std::string path);
    ~CKeywordTreeFile();
    CKeywordTreeFile(const CKeywordTreeFile&) = delete;
    CKeywordTreeFile& operator=(const CKeywordTreeFile&) = delete;

    // Loads the file and returns the root's label. `onNode` receives every node in document
    // order (a parent before its children, siblings in display order) with the ID of the
    // parent it was resolved under (0 for the root, also when the recorded parent matches no
    // node on the current ancestor path).
    std::string Load(const std::function<void(const CKeywordNode& node, int parentId)>& onNode);

    // Adds a node of `type` (NODE_FOLDER or NODE_KEY) named `name` as the last child of the
    // node `parentId` and saves; a channel keeps `searchName`. Returns the new ID, or kRefused
    // when the parent is unknown or a channel, or a sibling of the same type has the name
    // ignoring ASCII case.
    int AddNode(int type, int parentId, std::string_view name, bool searchName = true);
    // Each returns whether it changed (and saved) the document; an unknown ID is refused.
    bool RemoveNode(int id);    // children move to the end of the parent
    bool RemoveBranch(int id);  // the node and everything below it
    bool RenameNode(int id, std::string_view name);
    // Sets whether the channel's name is searched for (see CKeywordNode::searchName).
    bool SetSearchName(int id, bool searchName);
    // Makes the node the last child of `newParentId` (0 is the root) without saving.
    bool MoveNodeToEnd(int id, int newParentId);
    // Writes the whole document; false when it could not be written, also when a damaged
    // file could not be set aside first. Every failed save, whichever change made it, is told
    // to the save-failure listener.
    bool Save();
    // `listener` hears of each failed save with the system's reason (an errno value, 0 when
    // none is known); the document keeps the change. Null: nobody is told.
    void SetSaveFailureListener(std::function<void(int errorNumber)> listener);

    const std::string& Path() const { return m_path; }

    // Set by Load when the file exists but could not be read.
    const std::optional<TreeFileDamage>& Damage() const { return m_damage; }
    // Renames the damaged file to its path + ".damaged-YYYYMMDD-HHMMSS" (local time; "-2",
    // "-3" ... added while that name is taken) and records the name in Damage(). True when
    // there is nothing (left) to set aside; false when the rename failed.
    bool SetDamagedFileAside();

private:
    struct Impl;
    std::string m_path;
    std::unique_ptr<Impl> m_impl;
    std::optional<TreeFileDamage> m_damage;
    std::function<void(int errorNumber)> m_saveFailed;
    bool m_damageResolved = false;  // the damaged file is aside, or gone
};

// A channel as the update engine fetches it: its name, and whether the name is searched for.
struct ChannelKeyword {
    std::string name;
    bool searchName = true;

    bool operator==(const ChannelKeyword&) const = default;
};

// The channels of the tree file at `path`, in file order (what the update engine fetches).
// Empty for a missing or damaged file; a damaged one is described in `damage` (when given)
// and left where it is.
std::vector<ChannelKeyword> ReadTreeChannels(const std::string& path,
                                             std::optional<TreeFileDamage>* damage = nullptr);
// The names of ReadTreeChannels.
std::vector<std::string> ReadChannelKeywords(const std::string& path,
                                             std::optional<TreeFileDamage>* damage = nullptr);
