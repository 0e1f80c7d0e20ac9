// RSS 1.0: the channel and its items side by side under RDF's document element, with Dublin
// Core for the dates, rights, authors and subjects.

#include "feeds/feed_format.h"

namespace {

class RdfFormat final : public XmlFeedFormat {
public:
    explicit RdfFormat(XmlNode rdf)
        : XmlFeedFormat(rdf.selectChildrenNS(feed_ns::kRss10, "item")),
          m_channel(rdf.selectChildNS(feed_ns::kRss10, "channel")) {}

    std::string_view Name() const override { return "RSS 1.0"; }

    void ReadChannel(CRssChannel* channel) const override {
        if (!m_channel) {
            return;
        }
        PutField(channel->title, Rss(m_channel, "title", sizeof channel->title));
        PutField(channel->link, Rss(m_channel, "link", sizeof channel->link));
        PutDescription(channel->description, Rss(m_channel, "description", kDescriptionReadBytes));
        PutField(channel->language, Dc(m_channel, "language", sizeof channel->language));
        PutField(channel->copyright, Dc(m_channel, "rights", sizeof channel->copyright));
        PutField(channel->pubDate, Dc(m_channel, "date", sizeof channel->pubDate));
    }

    void ReadItemElement(const XmlNode& item, CRssItem* record) const override {
        PutField(record->title, Rss(item, "title", sizeof record->title));
        PutField(record->link, Rss(item, "link", sizeof record->link));
        std::string description =
            ChildText(item, feed_ns::kContent, "encoded", kDescriptionReadBytes);
        if (description.empty()) {
            description = Rss(item, "description", kDescriptionReadBytes);
        }
        PutDescription(record->description, description);
        PutField(record->author, Dc(item, "creator", sizeof record->author));
        PutField(record->category, Dc(item, "subject", sizeof record->category));
        PutField(record->guid, item.getAttributeNS(feed_ns::kRdf, "about").value_or(""));
        PutField(record->pubDate, Dc(item, "date", sizeof record->pubDate));
    }

private:
    static std::string Rss(const XmlNode& parent, std::string_view name, std::size_t maxBytes) {
        return ChildText(parent, feed_ns::kRss10, name, maxBytes);
    }
    static std::string Dc(const XmlNode& parent, std::string_view name, std::size_t maxBytes) {
        return ChildText(parent, feed_ns::kDublinCore, name, maxBytes);
    }

    XmlNode m_channel;  // null when the document has none
};

}  // namespace

std::unique_ptr<FeedFormat> MakeRdfFormat(XmlNode rdf) {
    return std::make_unique<RdfFormat>(rdf);
}
