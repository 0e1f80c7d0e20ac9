#include "feeds/feed_format.h"

#include <algorithm>

#include "feeds/feed_date.h"

XmlFeedFormat::XmlFeedFormat(std::vector<XmlNode> items) : m_items(std::move(items)) {
    std::erase_if(m_items, [](const XmlNode& item) { return item.leftOpen(); });
}

void XmlFeedFormat::ReadItem(std::size_t index, CRssItem* record) const {
    if (index < m_items.size()) {
        ReadItemElement(m_items[index], record);
    }
}

FeedSyntax FeedSyntaxOf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == '{' ? FeedSyntax::kJson
                                                                  : FeedSyntax::kXml;
}

std::unique_ptr<FeedFormat> FeedFormatOf(const CXmlDocument& document) {
    const XmlNode root = document.documentElement();
    if (!root) {
        return nullptr;
    }
    // RSS 2.0 keeps the rule it always had: names alone, whatever namespace a feed declares.
    if (document.selectSingleNode("rss/channel")) {
        return MakeRss2Format(root);
    }
    const std::string ns = root.namespaceUri();
    const std::string name = root.localName();
    if (name == "feed" && (ns == feed_ns::kAtom10 || ns == feed_ns::kAtom03)) {
        return MakeAtomFormat(root);
    }
    if (name == "RDF" && ns == feed_ns::kRdf &&
        (root.selectChildNS(feed_ns::kRss10, "channel") ||
         root.selectChildNS(feed_ns::kRss10, "item"))) {
        return MakeRdfFormat(root);
    }
    return nullptr;
}

std::string ChildText(const XmlNode& parent, std::string_view namespaceUri,
                      std::string_view localName, std::size_t maxBytes) {
    const XmlNode child = parent.selectChildNS(namespaceUri, localName);
    return child ? child.text(maxBytes) : std::string();
}

std::string_view FirstReadableDate(std::string_view first, std::string_view second) {
    for (std::string_view text : {first, second}) {
        if (ReadFeedDate(text)) {
            return text;
        }
    }
    return first.find_first_not_of(" \t\r\n") != std::string_view::npos ? first : second;
}
