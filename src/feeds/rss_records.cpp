#include "feeds/rss_records.h"

#include "base/markup_cut.h"

#define QUILLON_CHANNEL_FIELD(name)                                                            \
    RssChannelField {                                                                          \
#name, [](CRssChannel & c) { return c.name; }, sizeof(CRssChannel::name),              \
                                                    CodePageLimitOf(sizeof(CRssChannel::name)) \
    }
#define QUILLON_ITEM_FIELD(name)                                                         \
    RssItemField {                                                                       \
#name, [](CRssItem & i) { return i.name; }, sizeof(CRssItem::name),              \
                                                 CodePageLimitOf(sizeof(CRssItem::name)) \
    }

const std::array<RssChannelField, 19>& ChannelFields() {
    static const std::array<RssChannelField, 19> fields = {
        QUILLON_CHANNEL_FIELD(title),         QUILLON_CHANNEL_FIELD(link),
        QUILLON_CHANNEL_FIELD(description),   QUILLON_CHANNEL_FIELD(language),
        QUILLON_CHANNEL_FIELD(copyright),     QUILLON_CHANNEL_FIELD(managingEditor),
        QUILLON_CHANNEL_FIELD(webMaster),     QUILLON_CHANNEL_FIELD(pubDate),
        QUILLON_CHANNEL_FIELD(lastBuildDate), QUILLON_CHANNEL_FIELD(category),
        QUILLON_CHANNEL_FIELD(generator),     QUILLON_CHANNEL_FIELD(docs),
        QUILLON_CHANNEL_FIELD(image),         QUILLON_CHANNEL_FIELD(url),
        QUILLON_CHANNEL_FIELD(cloud),         QUILLON_CHANNEL_FIELD(ttl),
        QUILLON_CHANNEL_FIELD(rating),        QUILLON_CHANNEL_FIELD(skipHours),
        QUILLON_CHANNEL_FIELD(skipDays),
    };
    return fields;
}

const std::array<RssItemField, 10>& ItemFields() {
    static const std::array<RssItemField, 10> fields = {
        QUILLON_ITEM_FIELD(title),       QUILLON_ITEM_FIELD(link),
        QUILLON_ITEM_FIELD(description), QUILLON_ITEM_FIELD(author),
        QUILLON_ITEM_FIELD(category),    QUILLON_ITEM_FIELD(comments),
        QUILLON_ITEM_FIELD(enclosure),   QUILLON_ITEM_FIELD(guid),
        QUILLON_ITEM_FIELD(pubDate),     QUILLON_ITEM_FIELD(source),
    };
    return fields;
}

void PutDescription(char (&field)[kDescriptionSize], std::string_view html) {
    CopyToField(field, CutMarkupToCodePageLimit(html, kMaxDescriptionBytes));
}
