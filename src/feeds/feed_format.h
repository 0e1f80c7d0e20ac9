#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "feeds/rss_records.h"
#include "xml/xml_document.h"

// How one kind of feed document fills the channel and item records. A format holds nodes of
// the document it was made for and must not outlive it, nor a load of another document into
// it. Every field a format does not name stays empty; a text is cut to its field's width.
class FeedFormat {
public:
    virtual ~FeedFormat() = default;

    // "RSS 2.0", "RSS 1.0", "Atom 1.0" or "Atom 0.3".
    virtual std::string_view Name() const = 0;
    virtual void ReadChannel(CRssChannel* channel) const = 0;
    // Every item element, in document order.
    virtual std::vector<XmlNode> Items() const = 0;
    // Fills `record` (already cleared) from `item`, one of the elements Items gave.
    virtual void ReadItem(const XmlNode& item, CRssItem* record) const = 0;
};

// The format of `document`, or null when it is no feed of a kind read here:
//   RSS 2.0: the document element is `rss` (by its name alone) and has a `channel`;
//   Atom 1.0 and 0.3: the document element is `feed` in the namespace of either;
//   RSS 1.0: the document element is RDF's `RDF` holding a `channel` or an `item` of RSS 1.0.
std::unique_ptr<FeedFormat> FeedFormatOf(const CXmlDocument& document);

// The formats, each for a document element already known to be its kind.
std::unique_ptr<FeedFormat> MakeRss2Format(XmlNode rss);
std::unique_ptr<FeedFormat> MakeAtomFormat(XmlNode feed);
std::unique_ptr<FeedFormat> MakeRdfFormat(XmlNode rdf);

// The text of the first child element `localName` in `namespaceUri` of `parent`, at most
// `maxBytes` long; "" when there is none.
std::string ChildText(const XmlNode& parent, std::string_view namespaceUri,
                      std::string_view localName, std::size_t maxBytes);

// Of an item's two date texts, the first that holds a date ReadFeedDate can read; when
// neither does, the first that is not blank (the store then dates the item the day it
// arrives either way).
std::string_view FirstReadableDate(std::string_view first, std::string_view second);

// Namespaces of the feeds read here.
namespace feed_ns {
inline constexpr std::string_view kAtom10 = "http://www.w3.org/2005/Atom";
inline constexpr std::string_view kAtom03 = "http://purl.org/atom/ns#";
inline constexpr std::string_view kRss10 = "http://purl.org/rss/1.0/";
inline constexpr std::string_view kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
inline constexpr std::string_view kDublinCore = "http://purl.org/dc/elements/1.1/";
inline constexpr std::string_view kContent = "http://purl.org/rss/1.0/modules/content/";
inline constexpr std::string_view kXhtml = "http://www.w3.org/1999/xhtml";
}  // namespace feed_ns
