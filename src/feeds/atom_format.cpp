// Atom 1.0 and its forerunner 0.3, which differ here only in the names of four elements.

#include "feeds/feed_format.h"

namespace {

struct AtomNames {
    std::string_view format;
    std::string_view ns;
    std::string_view subtitle;
    std::string_view rights;
    std::string_view updated;
    std::string_view published;
};

constexpr AtomNames kAtom10 = {"Atom 1.0", feed_ns::kAtom10, "subtitle",
                               "rights",   "updated",        "published"};
constexpr AtomNames kAtom03 = {"Atom 0.3",  feed_ns::kAtom03, "tagline",
                               "copyright", "modified",       "issued"};

class AtomFormat final : public XmlFeedFormat {
public:
    AtomFormat(XmlNode feed, const AtomNames& names)
        : XmlFeedFormat(feed.selectChildrenNS(names.ns, "entry")), m_feed(feed), m_names(names) {}

    std::string_view Name() const override { return m_names.format; }

    void ReadChannel(CRssChannel* channel) const override {
        PutField(channel->title, Text(m_feed, "title", sizeof channel->title));
        PutField(channel->link, LinkHref(m_feed, "alternate"));
        PutDescription(channel->description, Text(m_feed, m_names.subtitle, kDescriptionReadBytes));
        PutField(channel->language, m_feed.getAttribute("xml:lang").value_or(""));
        PutField(channel->copyright, Text(m_feed, m_names.rights, sizeof channel->copyright));
        PutField(channel->generator, Text(m_feed, "generator", sizeof channel->generator));
        PutField(channel->pubDate, Text(m_feed, m_names.updated, sizeof channel->pubDate));
    }

    void ReadItemElement(const XmlNode& entry, CRssItem* record) const override {
        PutField(record->title, Text(entry, "title", sizeof record->title));
        PutField(record->link, LinkHref(entry, "alternate"));
        PutDescription(record->description, Content(entry, kDescriptionReadBytes));
        std::string author = AuthorName(entry, sizeof record->author);
        PutField(record->author,
                 author.empty() ? AuthorName(m_feed, sizeof record->author) : author);
        const XmlNode category = Child(entry, "category");
        PutField(record->category, category ? category.getAttribute("term").value_or("") : "");
        PutField(record->comments, LinkHref(entry, "replies"));
        PutField(record->guid, Text(entry, "id", sizeof record->guid));
        PutField(record->pubDate,
                 FirstReadableDate(Text(entry, m_names.published, sizeof record->pubDate),
                                   Text(entry, m_names.updated, sizeof record->pubDate)));
        PutField(record->source, Text(Child(entry, "source"), "title", sizeof record->source));
    }

private:
    XmlNode Child(const XmlNode& parent, std::string_view name) const {
        return parent.selectChildNS(m_names.ns, name);
    }

    std::string Text(const XmlNode& parent, std::string_view name, std::size_t maxBytes) const {
        return ChildText(parent, m_names.ns, name, maxBytes);
    }

    // The href of the first link of relation `rel`; a link without one is an alternate.
    std::string LinkHref(const XmlNode& parent, std::string_view rel) const {
        for (const XmlNode& link : parent.selectChildrenNS(m_names.ns, "link")) {
            if (link.getAttribute("rel").value_or("alternate") == rel) {
                return link.getAttribute("href").value_or("");
            }
        }
        return {};
    }

    std::string AuthorName(const XmlNode& parent, std::size_t maxBytes) const {
        return Text(Child(parent, "author"), "name", maxBytes);
    }

    // The content, or the summary when there is no content to show (none, or one that only
    // points elsewhere with "src"). XHTML is kept as markup: what is inside its wrapping div.
    std::string Content(const XmlNode& entry, std::size_t maxBytes) const {
        for (std::string_view name : {"content", "summary"}) {
            const XmlNode element = Child(entry, name);
            if (!element) {
                continue;
            }
            std::string text;
            if (element.getAttribute("type") == "xhtml") {
                const XmlNode div = element.selectChildNS(feed_ns::kXhtml, "div");
                text = (div ? div : element).innerXml(maxBytes);
            } else {
                text = element.text(maxBytes);
            }
            if (!text.empty()) {
                return text;
            }
        }
        return {};
    }

    XmlNode m_feed;
    const AtomNames& m_names;
};

}  // namespace

std::unique_ptr<FeedFormat> MakeAtomFormat(XmlNode feed) {
    return std::make_unique<AtomFormat>(
        feed, feed.namespaceUri() == feed_ns::kAtom03 ? kAtom03 : kAtom10);
}
