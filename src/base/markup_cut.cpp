#include "base/markup_cut.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/ascii.h"
#include "base/text_util.h"

namespace {

// Elements that never have an end tag.
constexpr std::string_view kVoidElements[] = {
    "area",  "base", "br",   "col",   "embed",  "hr",    "img",
    "input", "link", "meta", "param", "source", "track", "wbr",
};
// Elements whose content is text up to their own end tag, whatever it holds.
constexpr std::string_view kRawTextElements[] = {"script", "style", "textarea", "title"};

bool IsVoid(std::string_view name) {
    return std::find(std::begin(kVoidElements), std::end(kVoidElements), name) !=
           std::end(kVoidElements);
}

bool IsRawText(std::string_view name) {
    return std::find(std::begin(kRawTextElements), std::end(kRawTextElements), name) !=
           std::end(kRawTextElements);
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiAlnum(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

// One piece of markup that is never cut: a tag, a comment or declaration, a character
// reference, or a single character of text.
struct Token {
    enum Kind { kText, kStartTag, kEndTag, kOther };
    Kind kind = kText;
    std::size_t length = 1;
    std::string name;  // a tag's element name, lowered
    bool selfClosing = false;
};

std::size_t UntilAfter(std::string_view html, std::size_t pos, std::string_view end) {
    const std::size_t at = html.find(end, pos);
    return at == std::string_view::npos ? html.size() : at + end.size();
}

// The length of the character reference at `pos` ("&amp;", "&#160;", "&#xA0;"), or 0.
std::size_t ReferenceLength(std::string_view html, std::size_t pos) {
    std::size_t end = pos + 1;
    if (end < html.size() && html[end] == '#') {
        ++end;
        const bool hex = end < html.size() && (html[end] == 'x' || html[end] == 'X');
        end += hex ? 1 : 0;
        const std::size_t digits = end;
        while (end < html.size() && (hex ? std::isxdigit(static_cast<unsigned char>(html[end]))
                                         : (html[end] >= '0' && html[end] <= '9'))) {
            ++end;
        }
        return end > digits && end < html.size() && html[end] == ';' ? end + 1 - pos : 0;
    }
    if (end >= html.size() || !IsAsciiLetter(html[end])) {
        return 0;
    }
    while (end < html.size() && IsAsciiAlnum(html[end])) {
        ++end;
    }
    return end < html.size() && html[end] == ';' ? end + 1 - pos : 0;
}

// The length of the UTF-8 character at `pos`; an invalid byte stands alone.
std::size_t CharLength(std::string_view html, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(html[pos]);
    const std::size_t length = lead < 0xC0   ? 1
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF8 ? 4
                                             : 1;
    if (pos + length > html.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(html[pos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

Token TagToken(std::string_view html, std::size_t pos) {
    Token token;
    token.length = MarkupTagEnd(html, pos) - pos;
    const bool end = html[pos + 1] == '/';
    token.kind = end ? Token::kEndTag : Token::kStartTag;
    std::size_t name = pos + (end ? 2 : 1);
    while (name < pos + token.length && (IsAsciiAlnum(html[name]) || html[name] == '-')) {
        token.name.push_back(AsciiLower(html[name++]));
    }
    token.selfClosing = token.length >= 2 && html[pos + token.length - 2] == '/';
    return token;
}

Token NextToken(std::string_view html, std::size_t pos) {
    const std::string_view rest = html.substr(pos);
    Token token;
    if (rest.starts_with("<!--")) {
        token.kind = Token::kOther;
        token.length = UntilAfter(html, pos + 4, "-->") - pos;
    } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
        token.kind = Token::kOther;
        token.length = UntilAfter(html, pos + 2, ">") - pos;
    } else if (rest.size() > 1 && rest[0] == '<' &&
               (IsAsciiLetter(rest[1]) ||
                (rest[1] == '/' && rest.size() > 2 && IsAsciiLetter(rest[2])))) {
        token = TagToken(html, pos);
    } else if (rest[0] == '&' && ReferenceLength(html, pos) > 0) {
        token.length = ReferenceLength(html, pos);
    } else {
        token.length = CharLength(html, pos);
    }
    return token;
}

// The elements open at each point of a walk through the markup, and the bytes their end tags
// take.
class OpenElements {
public:
    void Apply(const Token& token) {
        if (token.kind == Token::kStartTag && !token.selfClosing && !IsVoid(token.name)) {
            m_names.push_back(token.name);
            m_closingBytes += token.name.size() + 3;
        } else if (token.kind == Token::kEndTag) {
            const auto match = std::find(m_names.rbegin(), m_names.rend(), token.name);
            while (match != m_names.rend() && !m_names.empty()) {
                const bool last = m_names.back() == token.name;
                m_closingBytes -= m_names.back().size() + 3;
                m_names.pop_back();
                if (last) {
                    break;
                }
            }
        }
    }
    // Inside a script or style element, markup is text up to its end tag.
    bool InRawText() const { return !m_names.empty() && IsRawText(m_names.back()); }
    const std::string& Innermost() const { return m_names.back(); }
    std::size_t ClosingBytes() const { return m_closingBytes; }
    std::string ClosingTags() const {
        std::string tags;
        for (auto it = m_names.rbegin(); it != m_names.rend(); ++it) {
            tags += "</" + *it + ">";
        }
        return tags;
    }

private:
    std::vector<std::string> m_names;
    std::size_t m_closingBytes = 0;
};

Token NextIn(std::string_view html, std::size_t pos, const OpenElements& open) {
    if (open.InRawText() && !StartsWithIgnoreAsciiCase(html.substr(pos), "</" + open.Innermost())) {
        Token text;
        text.length = CharLength(html, pos);
        return text;
    }
    return NextToken(html, pos);
}

}  // namespace

std::string CutMarkupToCodePageLimit(std::string_view html, std::size_t maxCodePageBytes) {
    // At most half the limit in bytes fits without counting (see CutToCodePageLimit).
    if (html.size() <= maxCodePageBytes / 2 || CodePageLength(html) <= maxCodePageBytes) {
        return std::string(html);
    }
    // The last point, between two tokens, where the text before it and the end tags it needs
    // both fit.
    std::size_t cut = 0;
    {
        OpenElements open;
        std::size_t used = 0;
        for (std::size_t pos = 0; pos < html.size() && used <= maxCodePageBytes;) {
            if (used + open.ClosingBytes() <= maxCodePageBytes) {
                cut = pos;
            }
            const Token token = NextIn(html, pos, open);
            used += CodePageLength(html.substr(pos, token.length));
            open.Apply(token);
            pos += token.length;
        }
    }
    OpenElements open;
    for (std::size_t pos = 0; pos < cut;) {
        const Token token = NextIn(html, pos, open);
        open.Apply(token);
        pos += token.length;
    }
    return std::string(html.substr(0, cut)) + open.ClosingTags();
}

// Where the tag that starts at `pos` ends (just past its ">"), stepping over quoted values;
// the end of the text when it has none.
std::size_t MarkupTagEnd(std::string_view html, std::size_t pos) {
    char quote = 0;
    for (std::size_t i = pos + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}
