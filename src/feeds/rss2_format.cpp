// RSS 2.0: every field is the text of the child element of the same name.

#include "feeds/feed_format.h"

#include "base/markup_cut.h"

namespace {

// The whole text of the first child element `name` of `parent`, into a field of `size`
// bytes holding `codePageLimit` code-page bytes; a description is cut as markup.
void ReadField(const XmlNode& parent, std::string_view name, char* field, std::size_t size,
               std::size_t codePageLimit) {
    const XmlNode element = parent.selectSingleNode(name);
    if (!element) {
        return;
    }
    if (name == "description") {
        CopyToField(field, size,
                    CutMarkupToCodePageLimit(element.text(kDescriptionReadBytes), codePageLimit));
    } else {
        CopyToField(field, size, CutToCodePageLimit(element.text(size), codePageLimit));
    }
}

class Rss2Format final : public XmlFeedFormat {
public:
    explicit Rss2Format(XmlNode rss) : XmlFeedFormat(rss.selectNodes("channel/item")), m_rss(rss) {}

    std::string_view Name() const override { return "RSS 2.0"; }

    void ReadChannel(CRssChannel* channel) const override {
        const XmlNode node = m_rss.selectSingleNode("channel");
        if (!node) {
            return;
        }
        for (const RssChannelField& field : ChannelFields()) {
            ReadField(node, field.name, field.field(*channel), field.size, field.codePageLimit);
        }
    }

    void ReadItemElement(const XmlNode& node, CRssItem* item) const override {
        for (const RssItemField& field : ItemFields()) {
            ReadField(node, field.name, field.field(*item), field.size, field.codePageLimit);
        }
        // Many feeds date their items only with Dublin Core's date (some give an empty or
        // unreadable pubDate beside it); some forget to declare its prefix, which leaves the
        // element named "dc:date". The first of the two that reads as a date counts.
        XmlNode date = node.selectChildNS(feed_ns::kDublinCore, "date");
        if (!date) {
            date = node.selectSingleNode("dc:date");
        }
        if (date) {
            const std::string pubDate = item->pubDate;
            const std::string dcDate = date.text(sizeof item->pubDate);
            CopyToCodePageField(item->pubDate, kMaxFieldBytes, FirstReadableDate(pubDate, dcDate));
        }
    }

private:
    XmlNode m_rss;
};

}  // namespace

std::unique_ptr<FeedFormat> MakeRss2Format(XmlNode rss) {
    return std::make_unique<Rss2Format>(rss);
}
