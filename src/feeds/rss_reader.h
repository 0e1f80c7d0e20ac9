#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/http_fetch.h"
#include "feeds/feed_format.h"
#include "feeds/rss_records.h"
#include "xml/xml_document.h"

// Reads one feed from an address into a CRssChannel and up to 100 CRssItem records: RSS 2.0,
// RSS 1.0, Atom 1.0, Atom 0.3 (see FeedFormatOf for how each is known, and the formats for
// which element fills which field) or JSON Feed 1.0 and 1.1 (see JsonFeedFormatOf). A reader is
// loaded once; the thread that loads it may hand it to another thread, but it is used by one thread
// at a time.
//
// In RSS 2.0 each field takes the whole text of the first child element of that name of the
// channel or item (attributes are never read); a missing element leaves the field empty.
//
// A document that is not well-formed is mended and read once more in libxml2's recovery mode
// (see ParseXmlBytes); what that gives counts only when it is a feed with at least one item
// that the input closed. Items left open (a document cut off mid-item) are not read at all,
// and a document that ended before its document element was closed is Partial.
class CRssReader {
public:
    static constexpr int kMaxItems = 100;

    CRssReader();
    ~CRssReader();
    CRssReader(const CRssReader&) = delete;
    CRssReader& operator=(const CRssReader&) = delete;

    // Fetches and parses `address`: http or https, or a local path where the user typed it
    // (see AddressOrigin). Success shows only as an item count of at least 1: a failed fetch,
    // XML that is neither well-formed nor recovered as a feed with items, a document of no
    // format read here, or an RSS 2.0 `rss` without channel leaves the count at 0 and the
    // channel empty. Every load starts from an empty reader.
    void LoadFromUrl(const std::string& address, AddressOrigin origin,
                     const FetchOptions& fetch = {});
    // The same for a document its caller fetched: `bytes` as they came, `httpCharset` from
    // the answer's Content-Type ("" when it named none); `fetch` gives the parse its stop flag.
    void LoadFromBytes(std::string_view bytes, std::string_view httpCharset,
                       const FetchOptions& fetch = {});

    // Fills `item` (already cleared by the caller) from the item at `index`; an index outside
    // 0 .. item count - 1 leaves it unchanged. An RSS 2.0 item without `pubDate` takes the
    // text of its Dublin Core `dc:date` there instead.
    void ReadItem(int index, CRssItem* item);

    int ItemCount() const { return m_itemCount; }
    // Whether the last load gave no feed: the fetch or the parse failed, or the document is of
    // no format read here. A well-formed feed without items is no failure.
    bool LoadFailed() const { return m_loadFailed; }
    // Why the last load gave no items, for diagnostics ("" after a load with items).
    std::string LastError() const;
    const CRssChannel& Channel() const { return *m_channel; }
    // The format of the feed last loaded ("RSS 2.0", "Atom 1.0" ...); "" when it gave none.
    std::string_view FormatName() const;
    // Whether the feed last loaded was not well-formed and was read after mending.
    bool Recovered() const { return m_format && m_document.IsLoaded() && m_document.recovered(); }
    // Whether the feed last loaded ended before its document element was closed: its items
    // are the complete ones that arrived, not necessarily all it had.
    bool Partial() const { return m_format && m_document.IsLoaded() && m_document.truncated(); }

private:
    void Clear();
    // Takes the channel and items of the loaded document, if it is a feed.
    void ReadDocument();
    void Accept(std::unique_ptr<FeedFormat> format);
    std::string WhyNoFeed() const;

    std::unique_ptr<CRssChannel> m_channel;
    int m_itemCount = 0;
    bool m_loadFailed = false;
    // Declared before the format, which holds nodes of it, so that it goes last.
    CXmlDocument m_document;
    std::unique_ptr<FeedFormat> m_format;  // null when the last load gave no feed
    std::string m_error;
};

// Wide-text helpers on UTF-16 code units.

// `count` characters from the 1-based position `start` (0 also means the first). When
// start + count exceeds the length plus 1 the result is a single space; a count of 0 or
// less gives an empty text. At most 255 characters.
std::u16string WideMid(std::u16string_view text, int start, int count);

// `text` with every occurrence of `pattern` removed, scanning left to right without
// overlaps, case-sensitively. The pattern must not be empty. Texts of any length.
std::u16string WideRemoveAll(std::u16string_view text, std::u16string_view pattern);
