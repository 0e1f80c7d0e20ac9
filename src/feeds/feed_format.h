#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "feeds/rss_records.h"
#include "xml/xml_document.h"

// How one kind of feed document fills the channel and item records. A format of an XML feed
// holds nodes of the document it was made for and must not outlive it, nor a load of another
// document into it; a JSON Feed format owns its document. Every field a format does not name
// stays empty; a text is cut to its field's width.
class FeedFormat {
public:
    virtual ~FeedFormat() = default;

    // "RSS 2.0", "RSS 1.0", "Atom 1.0", "Atom 0.3", "JSON Feed 1.0" or "JSON Feed 1.1".
    virtual std::string_view Name() const = 0;
    virtual void ReadChannel(CRssChannel* channel) const = 0;
    // How many items the document holds, in document order.
    virtual std::size_t ItemCount() const = 0;
    // Fills `record` (already cleared) from the item at `index`, below ItemCount.
    virtual void ReadItem(std::size_t index, CRssItem* record) const = 0;
};

// A format of an XML feed: its items are the item elements the input closed. Of a broken
// document, one cut off mid-way would be stored with half its text, and never mended.
class XmlFeedFormat : public FeedFormat {
public:
    std::size_t ItemCount() const final { return m_items.size(); }
    void ReadItem(std::size_t index, CRssItem* record) const final;

protected:
    explicit XmlFeedFormat(std::vector<XmlNode> items);
    // Fills `record` (already cleared) from one of the item elements.
    virtual void ReadItemElement(const XmlNode& item, CRssItem* record) const = 0;

private:
    std::vector<XmlNode> m_items;
};

// The syntax a feed document is written in, told from its first character: `{` (after blanks
// and a UTF-8 byte order mark) is JSON, anything else is read as XML.
enum class FeedSyntax { kXml, kJson };
FeedSyntax FeedSyntaxOf(std::string_view bytes);

// The format of `document`, or null when it is no feed of a kind read here:
//   RSS 2.0: the document element is `rss` (by its name alone) and has a `channel`;
//   Atom 1.0 and 0.3: the document element is `feed` in the namespace of either;
//   RSS 1.0: the document element is RDF's `RDF` holding a `channel` or an `item` of RSS 1.0.
std::unique_ptr<FeedFormat> FeedFormatOf(const CXmlDocument& document);

// The format of a JSON document (FeedSyntax::kJson), or null, with the reason in `*error`,
// when it is not JSON or no JSON Feed: an object whose `version` names a version of
// jsonfeed.org. Bytes that are not UTF-8 are decoded from `httpCharset` when it names one,
// else as an undeclared document is (see DecodeUndeclared).
std::unique_ptr<FeedFormat> JsonFeedFormatOf(std::string_view bytes, std::string_view httpCharset,
                                             std::string* error);

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
