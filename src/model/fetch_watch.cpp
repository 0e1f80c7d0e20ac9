#include "model/fetch_watch.h"

#include <utility>

#include "model/update_texts.h"
#include "store/source_status.h"

CFeedFetchWatch::CFeedFetchWatch(const CAdoConnection& store, std::vector<WatchedFeed> feeds,
                                 std::string since)
    : m_store(store),
      m_feeds(std::move(feeds)),
      m_done(m_feeds.size(), false),
      m_since(std::move(since)) {}

bool CFeedFetchWatch::Poll() {
    for (std::size_t i = 0; i < m_feeds.size(); ++i) {
        if (m_done[i]) {
            continue;
        }
        const WatchedFeed& feed = m_feeds[i];
        const std::optional<SourceStatus> status =
            LoadSourceStatus(m_store, feed.channel, feed.address);
        // The texts are ISO moments of one width: they compare as they sort.
        if (!status || status->lastAttempt.empty() || status->lastAttempt < m_since) {
            continue;
        }
        m_done[i] = true;
        ++m_fetched;
        if (IsFailedOutcome(status->outcome)) {
            m_failures.push_back(
                {feed.channel, feed.address, OutcomeText(status->outcome, status->httpStatus)});
        }
    }
    return m_fetched == Total();
}
