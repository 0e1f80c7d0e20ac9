#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/keyword_tree_file.h"

class CAdoConnection;

// The channel tree as a subscription adds to it: the window's tree pane (its control, node map
// and tree file together) or the tool's tree file. Folder 0 is the root.
class SubscriptionTree {
public:
    struct Node {
        int id = -1;
        int type = NODE_NONE;
        std::string name;
    };

    virtual ~SubscriptionTree() = default;
    // The nodes right below the folder `folderId`, in display order.
    virtual std::vector<Node> Children(int folderId) const = 0;
    // The names of every channel of the tree (a name shown twice is listed twice).
    virtual std::vector<std::string> ChannelNames() const = 0;
    // Adds a folder or a channel as the last child of `parentId`; its ID, or -1 when the tree
    // refuses it. A channel added is to be fetched at once.
    virtual int Add(int type, int parentId, const std::string& name, bool searchName) = 0;
    // Renames the node; false when the tree refuses (a sibling of the same type has the name).
    virtual bool Rename(int nodeId, const std::string& name) = 0;
    // Moves the node, with its branch, to the end of the folder `folderId`'s children; false
    // when the tree refuses.
    virtual bool Move(int nodeId, int folderId) = 0;
};

// The folder at `path` below `folderId` (each name a folder's, ASCII case ignored), made
// where missing; -1 when one cannot be made. `*made` (when given) counts the folders made.
int FolderAtPath(SubscriptionTree& tree, int folderId, const std::vector<std::string>& path,
                 int* made = nullptr);

// How a feed becomes a channel of a folder.
struct FeedPlacement {
    // A channel of the folder subscribes the feed already (`name` is that channel): nothing is
    // to be added.
    bool alreadyThere = false;
    // The channel's name: the wanted one, unless that is taken, then the wanted one with a
    // number, "名称 (2)", "名称 (3)" ... A name is taken by a sibling, and by a channel
    // elsewhere (in the tree, or with feeds subscribed in the database) that does not fetch
    // this feed: two channels of one name share their news, so a feed never joins another's.
    std::string name;
    // The channel of that name exists elsewhere and fetches this feed: the new channel shows
    // the news it has.
    bool sharesExisting = false;
};
FeedPlacement PlaceFeed(const SubscriptionTree& tree, const CAdoConnection& store, int folderId,
                        std::string_view wantedName, std::string_view address);

// What subscribing one feed did.
struct OneFeedResult {
    enum Outcome {
        kAdded,         // a channel was added (`name`), its feed stored
        kAlreadyThere,  // a channel of the folder (`name`) subscribes it already
        kUnstored,      // the feed's row could not be stored: nothing changed
        kRefused,       // the tree refused the channel (its row was stored)
    };
    Outcome outcome = kUnstored;
    std::string name;
};

// Subscribes the feed at `address` as a channel of `folderId` named `wantedName` (numbered
// when taken, see PlaceFeed), which does not search for its name. The feed's row goes into
// the opml table first, so the channel is fetched with it from the start.
OneFeedResult SubscribeFeed(SubscriptionTree& tree, CAdoConnection& store, int folderId,
                            std::string_view wantedName, std::string_view address,
                            std::string_view siteAddress = {});

// `name` with the number `n` (n >= 2): "name (n)".
std::string NumberedName(std::string_view name, int n);
