#pragma once

#include <string>
#include <vector>

class CAdoConnection;

// A feed a subscription added, as a channel fetches it.
struct WatchedFeed {
    std::string channel;
    std::string address;
};

// A watched feed whose fetch failed, and why in the user's words (OutcomeText).
struct FeedFailure {
    std::string channel;
    std::string address;
    std::string reason;
};

// Follows the first fetch of the feeds a subscription added, through what the update engine
// writes of each in the source_status table: a feed is fetched once its row was attempted at
// or after the moment the watch began. Used by one thread (the window thread); each Poll runs
// one query per feed not yet fetched.
class CFeedFetchWatch {
public:
    // `since`: the moment the subscription began, as UtcTimeText writes it.
    CFeedFetchWatch(const CAdoConnection& store, std::vector<WatchedFeed> feeds, std::string since);

    // Reads the rows of the feeds not yet fetched; true once every feed has been.
    bool Poll();
    int Fetched() const { return m_fetched; }
    int Total() const { return static_cast<int>(m_feeds.size()); }
    // The failed ones, in the order their fetches were seen.
    const std::vector<FeedFailure>& Failures() const { return m_failures; }

private:
    const CAdoConnection& m_store;
    std::vector<WatchedFeed> m_feeds;
    std::vector<bool> m_done;
    std::string m_since;
    int m_fetched = 0;
    std::vector<FeedFailure> m_failures;
};
