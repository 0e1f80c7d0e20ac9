#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/http_fetch.h"
#include "feeds/rss_records.h"
#include "store/xml_document.h"

// Reads one RSS 2.0 document from an address into a CRssChannel and up to 100 CRssItem
// records. A reader is loaded once; the thread that loads it may hand it to another thread,
// but it is used by one thread at a time.
//
// Each field takes the whole text of the first child element of that name of the channel
// or item (attributes are never read); a missing element leaves the field empty.
class CRssReader {
public:
    static constexpr int kMaxItems = 100;

    CRssReader();
    ~CRssReader();
    CRssReader(const CRssReader&) = delete;
    CRssReader& operator=(const CRssReader&) = delete;

    // Fetches and parses `address`: http or https, or a local path where the user typed it
    // (see AddressOrigin). Success shows only as an item count of at least 1: a failed fetch,
    // malformed XML, a root other than `rss` or a feed without channel leaves the count at 0
    // and the channel empty. Every load starts from an empty reader.
    void LoadFromUrl(const std::string& address, AddressOrigin origin,
                     const FetchOptions& fetch = {});
    // The same for a document its caller fetched: `bytes` as they came, `httpCharset` from
    // the answer's Content-Type ("" when it named none); `fetch` gives the parse its stop flag.
    void LoadFromBytes(std::string_view bytes, std::string_view httpCharset,
                       const FetchOptions& fetch = {});

    // Fills `item` (already cleared by the caller) from the item at `index`; an index outside
    // 0 .. item count - 1 leaves it unchanged. An item without `pubDate` takes the text of
    // its Dublin Core `dc:date` there instead.
    void ReadItem(int index, CRssItem* item);

    int ItemCount() const { return m_itemCount; }
    // Whether the last load gave no RSS document: the fetch or the parse failed, or the root
    // is no `rss` with a `channel`. A feed without items is no failure.
    bool LoadFailed() const { return m_loadFailed; }
    // Why the last load gave no items, for diagnostics ("" after a load with items).
    std::string LastError() const;
    const CRssChannel& Channel() const { return *m_channel; }

private:
    void Clear();
    // Takes the channel and items of the loaded document, if it is a feed.
    void ReadDocument();
    void ReadChannel();
    void CountItems();

    std::unique_ptr<CRssChannel> m_channel;
    int m_itemCount = 0;
    bool m_loadFailed = false;
    CXmlDocument m_document;
    // The item elements in document order, the first kMaxItems of them.
    std::vector<XmlNode> m_items;
};

// Wide-text helpers on UTF-16 code units.

// `count` characters from the 1-based position `start` (0 also means the first). When
// start + count exceeds the length plus 1 the result is a single space; a count of 0 or
// less gives an empty text. At most 255 characters.
std::u16string WideMid(std::u16string_view text, int start, int count);

// `text` with every occurrence of `pattern` removed, scanning left to right without
// overlaps, case-sensitively. The pattern must not be empty. Texts of any length.
std::u16string WideRemoveAll(std::u16string_view text, std::u16string_view pattern);
