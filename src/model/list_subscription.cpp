#include "model/list_subscription.h"

#include <map>
#include <optional>
#include <utility>

#include "base/ascii.h"
#include "feeds/subscribed_feed.h"

namespace {

// One channel of the list: the outlines of a folder that share a name.
struct ListChannel {
    std::vector<const COpmlOutline*> feeds;
    const COpmlOutline* keyword = nullptr;  // its quillon:keyword outline, if any
    bool done = false;
};

// A channel's key: its folder's path and its name, ASCII case ignored as the tree does.
std::string ChannelKey(const COpmlOutline& outline, const std::string& name) {
    std::string key;
    for (const std::string& step : outline.path) {
        key += AsciiLowered(step) + '\n';
    }
    return key + '\t' + AsciiLowered(name);
}

class ListSubscriber {
public:
    ListSubscriber(SubscriptionTree& tree, CAdoConnection& store, std::function<int()> folder)
        : m_tree(tree), m_store(store), m_folder(std::move(folder)) {}

    ListSubscription Run(const std::vector<COpmlOutline>& outlines) {
        for (const COpmlOutline& outline : outlines) {
            const std::string name = Name(outline);
            if (!name.empty() &&
                (outline.kind == COpmlOutline::kFeed || outline.kind == COpmlOutline::kKeyword)) {
                ListChannel& channel = m_channels[ChannelKey(outline, name)];
                if (outline.kind == COpmlOutline::kKeyword) {
                    channel.keyword = channel.keyword ? channel.keyword : &outline;
                } else {
                    channel.feeds.push_back(&outline);
                }
            }
        }
        for (const COpmlOutline& outline : outlines) {
            Take(outline);
        }
        return std::move(m_result);
    }

private:
    static std::string Name(const COpmlOutline& outline) {
        return outline.kind == COpmlOutline::kKeyword ? outline.keyword : outline.Name();
    }

    void Take(const COpmlOutline& outline) {
        if (outline.kind == COpmlOutline::kSkipped) {
            ++m_result.skipped;
            return;
        }
        const std::string name = Name(outline);
        if (name.empty()) {
            ++m_result.skipped;
            return;
        }
        std::vector<std::string> path = outline.path;
        if (outline.kind == COpmlOutline::kFolder) {
            path.push_back(name);
        }
        const int root = Root();
        const int folder = root < 0 ? -1 : FolderAtPath(m_tree, root, path, &m_result.folders);
        if (outline.kind == COpmlOutline::kFolder) {
            m_result.unstored += folder < 0 ? 1 : 0;
            return;
        }
        ListChannel& channel = m_channels[ChannelKey(outline, name)];
        if (channel.done) {
            return;  // one of a channel's outlines, all taken with its first
        }
        channel.done = true;
        if (folder < 0) {
            ++m_result.unstored;
            return;
        }
        if (channel.keyword) {
            AddKeywordChannel(folder, name, channel);
        } else {
            AddFeedChannel(folder, channel);
        }
    }

    // A search word keeps its name: it is what the channel searches for.
    void AddKeywordChannel(int folder, const std::string& name, const ListChannel& channel) {
        std::string existing;
        for (const SubscriptionTree::Node& sibling : m_tree.Children(folder)) {
            if (sibling.type == NODE_KEY && EqualsIgnoreAsciiCase(sibling.name, name)) {
                existing = sibling.name;
            }
        }
        const std::string channelName = existing.empty() ? name : existing;
        if (!StoreFeeds(channelName, channel)) {
            return;
        }
        if (!existing.empty()) {
            ++m_result.existing;
            return;
        }
        Add(folder, channelName, channel.keyword->searchName, channel);
    }

    void AddFeedChannel(int folder, const ListChannel& channel) {
        const COpmlOutline& first = *channel.feeds.front();
        const FeedPlacement placement =
            PlaceFeed(m_tree, m_store, folder, first.Name(), first.xmlUrl);
        if (!StoreFeeds(placement.name, channel)) {
            return;
        }
        if (placement.alreadyThere) {
            ++m_result.existing;
            return;
        }
        Add(folder, placement.name, false, channel);
    }

    // Stores every feed of the channel under `name` before the channel is added, so that its
    // first fetch takes them all. False when one could not be stored: the channel is not added.
    bool StoreFeeds(const std::string& name, const ListChannel& channel) {
        for (const COpmlOutline* feed : channel.feeds) {
            COpmlOutline row = *feed;
            CopyToCodePageField(row.title, kMaxOutlineFieldBytes, name);
            if (StoreSubscribedFeed(m_store, row) == SubscribedFeedResult::kFailed) {
                ++m_result.unstored;
                return false;
            }
        }
        return true;
    }

    void Add(int folder, const std::string& name, bool searchName, const ListChannel& channel) {
        if (m_tree.Add(NODE_KEY, folder, name, searchName) < 0) {
            ++m_result.existing;  // the tree has a sibling of that name: its feeds are stored
            return;
        }
        ++m_result.added;
        m_result.channels.push_back(name);
        for (const COpmlOutline* feed : channel.feeds) {
            m_result.feeds.push_back({name, feed->xmlUrl});
        }
    }

    int Root() {
        if (!m_folderId) {
            m_folderId = m_folder();
        }
        return *m_folderId;
    }

    SubscriptionTree& m_tree;
    CAdoConnection& m_store;
    std::function<int()> m_folder;
    std::optional<int> m_folderId;  // once asked for
    std::map<std::string, ListChannel> m_channels;
    ListSubscription m_result;
};

}  // namespace

ListSubscription SubscribeOutlines(SubscriptionTree& tree, CAdoConnection& store, int folderId,
                                   const std::vector<COpmlOutline>& outlines) {
    return ListSubscriber(tree, store, [folderId] { return folderId; }).Run(outlines);
}

ListSubscription SubscribeOutlines(SubscriptionTree& tree, CAdoConnection& store,
                                   const std::function<int()>& folder,
                                   const std::vector<COpmlOutline>& outlines) {
    return ListSubscriber(tree, store, folder).Run(outlines);
}
