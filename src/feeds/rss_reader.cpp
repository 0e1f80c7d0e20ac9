#include "feeds/rss_reader.h"

#include <algorithm>

#include "feeds/search_url.h"
#include "store/text_util.h"

namespace {

constexpr std::size_t kWideResultLimit = 255;

constexpr std::string_view kDublinCore = "http://purl.org/dc/elements/1.1/";

// The whole text of the first child element `name` of `parent`, into a field of `size`
// bytes holding `codePageLimit` code-page bytes.
void ReadField(const XmlNode& parent, std::string_view name, char* field, std::size_t size,
               std::size_t codePageLimit) {
    const XmlNode element = parent.selectSingleNode(name);
    if (element) {
        CopyToField(field, size, CutToCodePageLimit(element.text(size), codePageLimit));
    }
}

}  // namespace

CRssReader::CRssReader() : m_channel(std::make_unique<CRssChannel>()) {}

CRssReader::~CRssReader() = default;

void CRssReader::Clear() {
    // Nothing of an earlier document survives, whether or not this one loads.
    *m_channel = CRssChannel();
    m_items.clear();
    m_itemCount = 0;
    m_loadFailed = true;
}

void CRssReader::LoadFromUrl(const std::string& address, AddressOrigin origin,
                             const FetchOptions& fetch) {
    Clear();
    FetchOptions options = fetch;
    options.gbkQuery = options.gbkQuery || ExpectsGbkQuery(address);
    if (m_document.load(address, origin, options)) {
        ReadDocument();
    }
}

void CRssReader::LoadFromBytes(std::string_view bytes, std::string_view httpCharset,
                               const FetchOptions& fetch) {
    Clear();
    if (m_document.loadBytes(bytes, httpCharset, ParseLimitsOf(fetch))) {
        ReadDocument();
    }
}

void CRssReader::ReadDocument() {
    if (!m_document.selectSingleNode("rss/channel")) {
        return;
    }
    m_loadFailed = false;
    ReadChannel();
    CountItems();
}

std::string CRssReader::LastError() const {
    if (m_itemCount > 0) {
        return {};
    }
    if (!m_document.IsLoaded()) {
        return m_document.lastError();
    }
    if (!m_document.selectSingleNode("rss")) {
        return "not an RSS document: its root is <" + m_document.documentElement().name() + ">";
    }
    return m_document.selectSingleNode("rss/channel") ? "the feed has no items"
                                                      : "the feed has no channel";
}

void CRssReader::ReadChannel() {
    const XmlNode channel = m_document.selectSingleNode("rss/channel");
    if (!channel) {
        return;
    }
    for (const RssChannelField& field : ChannelFields()) {
        ReadField(channel, field.name, field.field(*m_channel), field.size, field.codePageLimit);
    }
}

void CRssReader::CountItems() {
    m_items = m_document.selectNodes("rss/channel/item");
    if (m_items.size() > kMaxItems) {
        m_items.resize(kMaxItems);
    }
    m_itemCount = static_cast<int>(m_items.size());
}

void CRssReader::ReadItem(int index, CRssItem* item) {
    if (index < 0 || index >= m_itemCount || item == nullptr) {
        return;
    }
    const XmlNode& node = m_items[static_cast<std::size_t>(index)];
    for (const RssItemField& field : ItemFields()) {
        ReadField(node, field.name, field.field(*item), field.size, field.codePageLimit);
    }
    // Many feeds date their items only with Dublin Core's date; some forget to declare its
    // prefix, which leaves the element named "dc:date".
    if (!node.selectSingleNode("pubDate")) {
        XmlNode date = node.selectChildNS(kDublinCore, "date");
        if (!date) {
            date = node.selectSingleNode("dc:date");
        }
        if (date) {
            CopyToCodePageField(item->pubDate, kMaxFieldBytes, date.text(sizeof item->pubDate));
        }
    }
}

std::u16string WideMid(std::u16string_view text, int start, int count) {
    const long long length = static_cast<long long>(text.size());
    if (static_cast<long long>(start) + count > length + 1) {
        return u" ";
    }
    if (count <= 0) {
        return {};
    }
    const std::size_t first = start <= 1 ? 0 : static_cast<std::size_t>(start - 1);
    const std::size_t take =
        std::min<std::size_t>(static_cast<std::size_t>(count), kWideResultLimit);
    // substr stops at the end of the text, as the terminator would.
    return std::u16string(text.substr(first, take));
}

std::u16string WideRemoveAll(std::u16string_view text, std::u16string_view pattern) {
    std::u16string result;
    result.reserve(text.size());
    if (pattern.empty()) {
        return std::u16string(text);
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, pattern.size(), pattern) == 0 &&
            pos + pattern.size() <= text.size()) {
            pos += pattern.size();
        } else {
            result.push_back(text[pos]);
            ++pos;
        }
    }
    return result;
}
