#include "model/subscription.h"

#include <algorithm>

#include "base/ascii.h"
#include "feeds/opml_document.h"
#include "feeds/subscribed_feed.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"

namespace {

// How many rows `sql` gives; -1 when it cannot be run.
int RowCount(const CAdoConnection& store, const std::string& sql) {
    CAdoRecordset rows(store);
    if (!rows.Open(sql)) {
        return -1;
    }
    const int count = rows.GetRecordCount();
    rows.Close();
    return count;
}

bool Subscribes(const CAdoConnection& store, std::string_view channel, std::string_view address) {
    return RowCount(store, SqlSelectOpml(channel, address)) > 0;
}

bool HasFeeds(const CAdoConnection& store, std::string_view channel) {
    return RowCount(store, SqlSelectOpmlByKey(channel)) != 0;
}

std::string Cut(std::string_view name) {
    return std::string(CutToCodePageLimit(name, kMaxNodeNameCodePageBytes));
}

}  // namespace

std::string NumberedName(std::string_view name, int n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    // The number stays whole within the name limit.
    return Cut(std::string(CutToCodePageLimit(name, kMaxNodeNameCodePageBytes - suffix.size())) +
               suffix);
}

int FolderAtPath(SubscriptionTree& tree, int folderId, const std::vector<std::string>& path,
                 int* made) {
    for (const std::string& step : path) {
        const std::string name = Cut(step);
        int found = -1;
        for (const SubscriptionTree::Node& child : tree.Children(folderId)) {
            if (child.type == NODE_FOLDER && EqualsIgnoreAsciiCase(child.name, name)) {
                found = child.id;
                break;
            }
        }
        if (found < 0) {
            found = tree.Add(NODE_FOLDER, folderId, name, true);
            if (found < 0) {
                return -1;
            }
            if (made) {
                ++*made;
            }
        }
        folderId = found;
    }
    return folderId;
}

FeedPlacement PlaceFeed(const SubscriptionTree& tree, const CAdoConnection& store, int folderId,
                        std::string_view wantedName, std::string_view address) {
    FeedPlacement placement;
    std::vector<std::string> siblings;
    for (const SubscriptionTree::Node& child : tree.Children(folderId)) {
        if (child.type != NODE_KEY) {
            continue;
        }
        if (Subscribes(store, child.name, address)) {
            placement.alreadyThere = true;
            placement.name = child.name;
            return placement;
        }
        siblings.push_back(child.name);
    }
    const std::vector<std::string> channels = tree.ChannelNames();
    const auto inList = [](const std::vector<std::string>& names, std::string_view name) {
        return std::any_of(names.begin(), names.end(), [name](const std::string& other) {
            return EqualsIgnoreAsciiCase(other, name);
        });
    };
    const std::string wanted = Cut(wantedName);
    for (int n = 1;; ++n) {
        std::string name = n == 1 ? wanted : NumberedName(wanted, n);
        if (inList(siblings, name)) {
            continue;
        }
        if (Subscribes(store, name, address)) {
            placement.name = std::move(name);
            placement.sharesExisting = true;
            return placement;
        }
        if (!inList(channels, name) && !HasFeeds(store, name)) {
            placement.name = std::move(name);
            return placement;
        }
    }
}

OneFeedResult SubscribeFeed(SubscriptionTree& tree, CAdoConnection& store, int folderId,
                            std::string_view wantedName, std::string_view address,
                            std::string_view siteAddress) {
    OneFeedResult result;
    const FeedPlacement placement = PlaceFeed(tree, store, folderId, wantedName, address);
    result.name = placement.name;
    if (placement.alreadyThere) {
        result.outcome = OneFeedResult::kAlreadyThere;
        return result;
    }
    if (!placement.sharesExisting) {
        COpmlOutline outline;
        CopyToCodePageField(outline.title, kMaxOutlineFieldBytes, placement.name);
        CopyToCodePageField(outline.xmlUrl, kMaxOutlineAddressBytes, address);
        CopyToCodePageField(outline.htmlUrl, kMaxOutlineAddressBytes, siteAddress);
        if (StoreSubscribedFeed(store, outline) == SubscribedFeedResult::kFailed) {
            result.outcome = OneFeedResult::kUnstored;
            return result;
        }
    }
    result.outcome = tree.Add(NODE_KEY, folderId, placement.name, false) >= 0
                         ? OneFeedResult::kAdded
                         : OneFeedResult::kRefused;
    return result;
}
