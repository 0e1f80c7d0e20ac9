#include "feeds/feed_probe.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/url_resolve.h"
#include "feeds/rss_reader.h"
#include "xml/html_links.h"

namespace {

constexpr std::string_view kFeedTypes[] = {
    "application/rss+xml",   "application/atom+xml", "application/rdf+xml",
    "application/feed+json", "application/json",
};

bool IsFeedType(std::string_view type) {
    type = type.substr(0, type.find(';'));
    type = TrimAsciiBlanks(type);
    return std::find(std::begin(kFeedTypes), std::end(kFeedTypes), type) != std::end(kFeedTypes);
}

// Whether the space-separated tokens of `rel` hold "alternate" (a "stylesheet" never counts).
bool IsAlternate(std::string_view rel) {
    bool alternate = false;
    std::size_t start = 0;
    while (start < rel.size()) {
        std::size_t end = rel.find_first_of(" \t\r\n", start);
        end = end == std::string_view::npos ? rel.size() : end;
        const std::string_view token = rel.substr(start, end - start);
        if (token == "stylesheet") {
            return false;
        }
        alternate = alternate || token == "alternate";
        start = end + 1;
    }
    return alternate;
}

bool LooksLikeHtml(std::string_view bytes) {
    const std::string head = AsciiLowered(bytes.substr(0, 4096));
    return head.find("<html") != std::string::npos || head.find("<head") != std::string::npos ||
           head.find("<!doctype html") != std::string::npos ||
           head.find("<link") != std::string::npos;
}

// The address a local page's relative references start from: the page's folder.
std::string BaseOf(const std::string& address, const HtmlHead& head) {
    if (!head.baseHref.empty()) {
        std::string base = ResolveAddress(address, head.baseHref);
        if (!base.empty()) {
            return base;
        }
    }
    return address;
}

std::vector<FeedCandidate> Candidates(const std::string& address, const HtmlHead& head) {
    const std::string base = BaseOf(address, head);
    std::vector<FeedCandidate> candidates;
    for (const HtmlLink& link : head.links) {
        if (!IsAlternate(link.rel) || !IsFeedType(link.type) || link.href.empty()) {
            continue;
        }
        std::string resolved = ResolveAddress(base, link.href);
        if (!IsHttpAddress(resolved)) {
            continue;  // another scheme, or a relative reference of a local page
        }
        const bool known =
            std::any_of(candidates.begin(), candidates.end(),
                        [&resolved](const FeedCandidate& c) { return c.address == resolved; });
        if (!known) {
            candidates.push_back({std::move(resolved), link.title, link.type});
        }
    }
    return candidates;
}

}  // namespace

FeedProbe ProbeFeedAddress(const std::string& address, const std::atomic<bool>* stop) {
    FeedProbe probe;
    probe.document = ReadTypedDocument(address, stop);
    if (!probe.document.ok()) {
        return probe;
    }
    const std::string bytes = std::move(probe.document.bytes);
    probe.document.bytes.clear();
    FetchOptions options;
    options.stop = stop;
    CRssReader reader;
    reader.LoadFromBytes(bytes, probe.document.charset, options);
    if (stop && stop->load()) {
        probe.document.failure = TypedDocumentFailure::kAbandoned;
        return probe;
    }
    if (!reader.LoadFailed()) {
        probe.outcome = FeedProbeOutcome::kFeed;
        probe.format = reader.FormatName();
        probe.title = reader.Channel().title;
        probe.itemCount = reader.ItemCount();
        return probe;
    }
    probe.document.detail = reader.LastError();
    if (!LooksLikeHtml(bytes)) {
        probe.outcome = FeedProbeOutcome::kNotAFeed;
        return probe;
    }
    probe.candidates = Candidates(address, ReadHtmlHead(bytes, probe.document.charset));
    probe.outcome =
        probe.candidates.empty() ? FeedProbeOutcome::kPageWithoutFeeds : FeedProbeOutcome::kPage;
    return probe;
}
