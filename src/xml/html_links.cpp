#include "xml/html_links.h"

#include "base/ascii.h"
#include "base/charset.h"
#include "base/markup_cut.h"
#include "base/text_util.h"
#include "xml/html_entities.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':';
}

// The position just past `marker` (lowered ASCII) from `from`, or the end of the text.
std::size_t PastLowered(const std::string& lowered, std::size_t from, std::string_view marker) {
    const std::size_t found = lowered.find(marker, from);
    return found == std::string::npos ? lowered.size() : found + marker.size();
}

struct Attribute {
    std::string name;  // lowered
    std::string value;
};

// The attributes of the start tag `tag` (from its "<" to its ">"), values as they stand.
std::vector<Attribute> TagAttributes(std::string_view tag) {
    std::vector<Attribute> attributes;
    std::size_t i = 1;
    while (i < tag.size() && IsNameChar(tag[i])) {
        ++i;  // the element's name
    }
    while (i < tag.size()) {
        while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '/')) {
            ++i;
        }
        const std::size_t nameStart = i;
        while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '=' && tag[i] != '>' &&
               tag[i] != '/') {
            ++i;
        }
        if (i == nameStart) {
            break;
        }
        Attribute attribute{AsciiLowered(tag.substr(nameStart, i - nameStart)), {}};
        while (i < tag.size() && IsBlank(tag[i])) {
            ++i;
        }
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && IsBlank(tag[i])) {
                ++i;
            }
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char quote = tag[i++];
                const std::size_t close = tag.find(quote, i);
                const std::size_t end = close == std::string_view::npos ? tag.size() : close;
                attribute.value = tag.substr(i, end - i);
                i = end + 1;
            } else {
                const std::size_t valueStart = i;
                while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '>') {
                    ++i;
                }
                attribute.value = tag.substr(valueStart, i - valueStart);
            }
        }
        attributes.push_back(std::move(attribute));
    }
    return attributes;
}

std::string ValueOf(const std::vector<Attribute>& attributes, std::string_view name) {
    for (const Attribute& attribute : attributes) {
        if (attribute.name == name) {
            return attribute.value;
        }
    }
    return {};
}

// The charset a <meta charset=...> or <meta http-equiv content="...; charset=..."> names.
std::string MetaCharset(const std::vector<Attribute>& attributes) {
    std::string charset = ValueOf(attributes, "charset");
    if (charset.empty()) {
        const std::string content = AsciiLowered(ValueOf(attributes, "content"));
        const std::size_t at = content.find("charset=");
        if (at != std::string::npos) {
            charset = content.substr(at + 8);
            charset = charset.substr(0, charset.find_first_of("; \t\"'"));
        }
    }
    return std::string(TrimAsciiBlanks(charset));
}

// `value` as UTF-8 with its character references read.
std::string Decoded(std::string_view value, const std::string& charset) {
    std::string text;
    if (IsValidUtf8(value) && (charset.empty() || StartsWithIgnoreAsciiCase(charset, "utf"))) {
        text = value;
    } else if (charset.empty() ||
               !ConvertCharset(DecodingCharsetFor(charset).c_str(), "UTF-8", value, &text)) {
        text = DecodeUndeclared(value);
    }
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 0;
        const char32_t c = text[i] == '&' ? HtmlReferenceAt(text, i, &length) : 0;
        if (c != 0) {
            AppendUtf8(out, c);
            i += length;
        } else {
            out += text[i++];
        }
    }
    return std::string(TrimAsciiBlanks(out));
}

}  // namespace

HtmlHead ReadHtmlHead(std::string_view html, std::string_view httpCharset) {
    struct RawLink {
        std::vector<Attribute> attributes;
    };
    std::vector<RawLink> raw;
    std::string baseHref;
    std::string metaCharset;
    const std::string lowered = AsciiLowered(html);
    for (std::size_t pos = lowered.find('<'); pos < lowered.size(); pos = lowered.find('<', pos)) {
        const std::string_view rest = std::string_view(lowered).substr(pos);
        if (rest.starts_with("<!--")) {
            pos = PastLowered(lowered, pos + 4, "-->");
            continue;
        }
        if (rest.starts_with("</head") || rest.starts_with("<body")) {
            break;
        }
        const std::size_t end = MarkupTagEnd(html, pos);
        const std::string_view tag = html.substr(pos, end - pos);
        std::size_t nameEnd = 1;
        while (nameEnd < rest.size() && IsNameChar(rest[nameEnd])) {
            ++nameEnd;
        }
        const std::string_view name = rest.substr(1, nameEnd - 1);
        if (name == "script" || name == "style") {
            pos = PastLowered(lowered, end, "</" + std::string(name));
        } else if (name == "link") {
            raw.push_back({TagAttributes(tag)});
            pos = end;
        } else if (name == "base" && baseHref.empty()) {
            baseHref = ValueOf(TagAttributes(tag), "href");
            pos = end;
        } else if (name == "meta" && metaCharset.empty()) {
            metaCharset = MetaCharset(TagAttributes(tag));
            pos = end;
        } else {
            pos = end > pos ? end : pos + 1;
        }
    }
    const std::string charset = httpCharset.empty() ? metaCharset : std::string(httpCharset);
    HtmlHead head;
    head.metaCharset = metaCharset;
    head.baseHref = Decoded(baseHref, charset);
    for (const RawLink& link : raw) {
        head.links.push_back({AsciiLowered(Decoded(ValueOf(link.attributes, "rel"), charset)),
                              AsciiLowered(Decoded(ValueOf(link.attributes, "type"), charset)),
                              Decoded(ValueOf(link.attributes, "href"), charset),
                              Decoded(ValueOf(link.attributes, "title"), charset)});
    }
    return head;
}
