#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "feeds/typed_document.h"

// What an address the user gives to subscribe to one feed turned out to be.
enum class FeedProbeOutcome {
    kFeed,              // a feed of a format read here (FeedProbe::format)
    kPage,              // an HTML page that announces feeds (FeedProbe::candidates)
    kUnread,            // the document could not be read (FeedProbe::document says why)
    kNotAFeed,          // neither a feed nor a page that names one: an HTML page without feeds, or
                        // a document of another kind
    kPageWithoutFeeds,  // an HTML page whose head announces no feed
};

// A feed a page announces with <link rel="alternate" type="..." href="...">.
struct FeedCandidate {
    std::string address;  // absolute (resolved against the page's address and its <base>)
    std::string title;    // the link's title, "" when it has none
    std::string type;     // the link's type, e.g. "application/atom+xml"

    bool operator==(const FeedCandidate&) const = default;
};

struct FeedProbe {
    FeedProbeOutcome outcome = FeedProbeOutcome::kUnread;
    TypedDocument document;  // how the read went; its bytes are dropped
    // Of a feed: its format ("RSS 2.0", "JSON Feed 1.1" ...), its title and how many items
    // it holds now.
    std::string format;
    std::string title;
    int itemCount = 0;
    // Of a page: the feeds it announces, in its order, each address once.
    std::vector<FeedCandidate> candidates;
};

// Reads the document at `address` (see ReadTypedDocument) and says whether it is a feed, or a
// page that announces feeds (RSS, Atom, RDF or JSON Feed types: application/rss+xml,
// application/atom+xml, application/rdf+xml, application/feed+json and application/json).
// `stop`, when set, abandons a fetch in flight (outcome kUnread, document kAbandoned).
FeedProbe ProbeFeedAddress(const std::string& address, const std::atomic<bool>* stop = nullptr);
