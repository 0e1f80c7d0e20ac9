#include "feeds/rss_reader.h"

#include <algorithm>

#include "base/local_file.h"
#include "base/text_util.h"
#include "feeds/search_url.h"

namespace {

constexpr std::size_t kWideResultLimit = 255;

}  // namespace

CRssReader::CRssReader() : m_channel(std::make_unique<CRssChannel>()) {}

CRssReader::~CRssReader() = default;

void CRssReader::Clear() {
    // Nothing of an earlier document survives, whether or not this one loads.
    *m_channel = CRssChannel();
    m_format.reset();
    m_itemCount = 0;
    m_loadFailed = true;
    m_error.clear();
}

void CRssReader::LoadFromUrl(const std::string& address, AddressOrigin origin,
                             const FetchOptions& fetch) {
    Clear();
    FetchOptions options = fetch;
    options.gbkQuery = options.gbkQuery || ExpectsGbkQuery(address);
    if (IsHttpAddress(address)) {
        const FetchResult answer = FetchUrl(address, options);
        if (!answer.ok) {
            m_error = answer.error;
            return;
        }
        LoadFromBytes(answer.body, answer.charset, options);
        return;
    }
    if (origin == AddressOrigin::kFromData) {
        m_error = "not an http or https address: " + address;
        return;
    }
    const LocalFile file = ReadLocalFile(address, options.limits.maxBodyBytes, options.stop);
    if (!file.ok()) {
        m_error = file.error;
        return;
    }
    LoadFromBytes(file.bytes, {}, options);
}

void CRssReader::LoadFromBytes(std::string_view bytes, std::string_view httpCharset,
                               const FetchOptions& fetch) {
    Clear();
    if (FeedSyntaxOf(bytes) == FeedSyntax::kJson) {
        // A JSON Feed owns its parsed document; the XML one of an earlier load is dropped.
        m_document.loadXML("");
        std::unique_ptr<FeedFormat> format = JsonFeedFormatOf(bytes, httpCharset, &m_error);
        if (format) {
            Accept(std::move(format));
        }
        return;
    }
    if (!m_document.loadBytes(bytes, httpCharset, ParseLimitsOf(fetch), XmlParseMode::kForgiving)) {
        m_error = m_document.lastError();
        return;
    }
    ReadDocument();
}

void CRssReader::ReadDocument() {
    std::unique_ptr<FeedFormat> format = FeedFormatOf(m_document);
    // What recovery made of a broken document counts only when it is plainly a feed.
    if (m_document.recovered() && (!format || format->ItemCount() == 0)) {
        m_error = "not well-formed: " + m_document.lastError();
        return;
    }
    if (!format) {
        m_error = WhyNoFeed();
        return;
    }
    Accept(std::move(format));
}

void CRssReader::Accept(std::unique_ptr<FeedFormat> format) {
    m_format = std::move(format);
    m_loadFailed = false;
    m_format->ReadChannel(m_channel.get());
    m_itemCount = static_cast<int>(std::min<std::size_t>(m_format->ItemCount(), kMaxItems));
    if (m_itemCount == 0) {
        m_error = "the feed has no items";
    }
}

std::string CRssReader::WhyNoFeed() const {
    const XmlNode root = m_document.documentElement();
    if (m_document.selectSingleNode("rss")) {
        return "the feed has no channel";
    }
    std::string reason = "not a feed: its root is <" + root.name() + ">";
    if (!root.namespaceUri().empty()) {
        reason += " in " + root.namespaceUri();
    }
    return reason;
}

std::string CRssReader::LastError() const {
    return m_itemCount > 0 ? std::string() : m_error;
}

std::string_view CRssReader::FormatName() const {
    return m_format ? m_format->Name() : std::string_view();
}

void CRssReader::ReadItem(int index, CRssItem* item) {
    if (index < 0 || index >= m_itemCount || item == nullptr) {
        return;
    }
    m_format->ReadItem(static_cast<std::size_t>(index), item);
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
