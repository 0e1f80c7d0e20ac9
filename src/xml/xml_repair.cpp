#include "xml/xml_repair.h"

#include <algorithm>
#include <vector>

#include "base/ascii.h"
#include "xml/html_entities.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool IsDigit(char c, bool hex) {
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// The length of the numeric reference ("&#160;", "&#xA0;") at the start of `text`, or 0.
std::size_t NumericReference(std::string_view text) {
    if (!text.starts_with("&#")) {
        return 0;
    }
    const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
    std::size_t end = hex ? 3 : 2;
    const std::size_t first = end;
    while (end < text.size() && IsDigit(text[end], hex)) {
        ++end;
    }
    return end > first && end < text.size() && text[end] == ';' ? end + 1 : 0;
}

// The name of the reference "&name;" at the start of `text`; empty when none stands there.
std::string_view ReferenceName(std::string_view text) {
    if (text.size() < 3 || !IsNameStart(text[1])) {
        return {};
    }
    std::size_t end = 2;
    while (end < text.size() && IsNameChar(text[end])) {
        ++end;
    }
    return end < text.size() && text[end] == ';' ? text.substr(1, end - 1) : std::string_view();
}

bool IsXmlEntity(std::string_view name) {
    return name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
}

// Writes the "&" at the start of `text` (and the reference it starts) to `out`; returns how
// many bytes of `text` it stood for.
std::size_t RepairAmpersand(std::string_view text, bool declaresEntities, std::string& out) {
    if (const std::size_t numeric = NumericReference(text)) {
        out.append(text.substr(0, numeric));
        return numeric;
    }
    const std::string_view name = ReferenceName(text);
    if (name.empty()) {
        out.append("&amp;");
        return 1;
    }
    if (const char32_t codePoint = HtmlEntityCodePoint(name); codePoint && !IsXmlEntity(name)) {
        out.append("&#").append(std::to_string(codePoint)).push_back(';');
    } else if (IsXmlEntity(name) || declaresEntities) {
        out.append(text.substr(0, name.size() + 2));
    } else {
        out.append("&amp;").append(name).push_back(';');
    }
    return name.size() + 2;
}

// Where the construct at `pos` ("<!--", "<![CDATA[", "<?", "<!") that is copied unchanged
// ends; `subset` is set when it is a document type declaration with an internal subset.
std::size_t EndOfVerbatim(std::string_view text, std::size_t pos, bool* subset) {
    const auto endAfter = [&](std::size_t from, std::string_view end) {
        const std::size_t at = text.find(end, from);
        return at == std::string_view::npos ? text.size() : at + end.size();
    };
    const std::string_view rest = text.substr(pos);
    if (rest.starts_with("<!--")) {
        return endAfter(pos + 4, "-->");
    }
    if (rest.starts_with("<![CDATA[")) {
        return endAfter(pos + 9, "]]>");
    }
    if (rest.starts_with("<?")) {
        return endAfter(pos + 2, "?>");
    }
    // <!DOCTYPE ...>, whose internal subset in brackets may hold ">" of its own.
    const std::size_t close = text.find('>', pos);
    const std::size_t open = text.find('[', pos);
    if (open != std::string_view::npos && (close == std::string_view::npos || open < close)) {
        *subset = true;
        return endAfter(endAfter(open, "]"), ">");
    }
    return close == std::string_view::npos ? text.size() : close + 1;
}

bool StartsVerbatim(std::string_view rest) {
    return rest.starts_with("<!") || rest.starts_with("<?");
}

// The bytes before the first "<" when they are only blanks and UTF-8 byte order marks;
// *bom tells whether a mark was among them.
std::size_t JunkBeforeMarkup(std::string_view bytes, bool* bom) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (IsBlank(bytes[pos])) {
            ++pos;
        } else if (bytes.substr(pos).starts_with(kUtf8Bom)) {
            *bom = true;
            pos += kUtf8Bom.size();
        } else {
            break;
        }
    }
    return pos < bytes.size() && bytes[pos] == '<' ? pos : 0;
}

// The declaration at the start of `text` with its encoding label replaced by UTF-8; the
// length of the declaration it replaces goes to *replaced (0 when there is nothing to do).
std::string DeclarationNamingUtf8(std::string_view text, std::size_t* replaced) {
    *replaced = 0;
    const std::size_t end = text.substr(0, 512).find("?>");
    if (!text.starts_with("<?xml") || end == std::string_view::npos) {
        return {};
    }
    const std::string_view declaration = text.substr(0, end);
    std::size_t pos = declaration.find("encoding");
    if (pos == std::string_view::npos) {
        return {};
    }
    pos = declaration.find_first_of("\"'", pos);
    const std::size_t close = pos == std::string_view::npos
                                  ? std::string_view::npos
                                  : declaration.find(declaration[pos], pos + 1);
    if (close == std::string_view::npos ||
        EqualsIgnoreAsciiCase(declaration.substr(pos + 1, close - pos - 1), "UTF-8")) {
        return {};
    }
    *replaced = close + 1;
    return std::string(declaration.substr(0, pos + 1)) + "UTF-8" + declaration[pos];
}

// The qualified name at the start of `text` (what follows "<" or "</"); empty when none
// stands there. Bytes of non-ASCII characters count as name characters.
std::string_view TagName(std::string_view text) {
    const auto nameByte = [](char c) {
        return IsNameChar(c) || static_cast<unsigned char>(c) >= 0x80;
    };
    if (text.empty() || !(IsNameStart(text[0]) || static_cast<unsigned char>(text[0]) >= 0x80)) {
        return {};
    }
    std::size_t end = 1;
    while (end < text.size() && nameByte(text[end])) {
        ++end;
    }
    return text.substr(0, end);
}

// Where the tag that starts at `pos` ends, just past its ">", stepping over quoted values;
// npos when another "<" (which no tag holds) or the end of the text comes first.
std::size_t TagEnd(std::string_view text, std::size_t pos) {
    char quote = 0;
    for (std::size_t i = pos + 1; i < text.size() && text[i] != '<'; ++i) {
        if (quote != 0) {
            quote = text[i] == quote ? 0 : quote;
        } else if (text[i] == '"' || text[i] == '\'') {
            quote = text[i];
        } else if (text[i] == '>') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// The elements open at a point of the document, outermost first, so that an end tag closes
// the nearest element of its name, as a browser reads it, rather than whatever is open.
class OpenElements {
public:
    // Notes the start tag at the start of `tag` (from "<" on).
    void Start(std::string_view tag) {
        const std::size_t end = TagEnd(tag, 0);
        const std::string_view name = TagName(tag.substr(1));
        if (!name.empty() && end != std::string_view::npos && tag[end - 2] != '/') {
            m_names.emplace_back(name);
        }
    }
    // For the end tag of `name`: the end tags of the elements open inside the nearest one of
    // that name, which it closes too; false when no element of that name is open.
    bool End(std::string_view name, std::string* closing) {
        const auto match = std::find(m_names.rbegin(), m_names.rend(), name);
        if (match == m_names.rend()) {
            return false;
        }
        while (m_names.back() != name) {
            closing->append("</").append(m_names.back()).push_back('>');
            m_names.pop_back();
        }
        m_names.pop_back();
        return true;
    }

private:
    std::vector<std::string> m_names;
};

// Copies the end tag at `pos` with the end tags of the elements it closes implicitly before
// it, or drops it when it closes nothing; returns where the text goes on.
std::size_t RepairEndTag(std::string_view bytes, std::size_t pos, OpenElements& open,
                         std::string& out) {
    const std::string_view name = TagName(bytes.substr(pos + 2));
    const std::size_t end = bytes.find('>', pos);
    if (name.empty() || end == std::string_view::npos) {
        out.push_back('<');
        return pos + 1;
    }
    std::string closing;
    if (open.End(name, &closing)) {
        out.append(closing).append(bytes.substr(pos, end + 1 - pos));
    }
    return end + 1;
}

}  // namespace

std::optional<std::string> RepairMarkup(std::string_view bytes) {
    const std::size_t maxBytes = 2 * bytes.size();
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    bool bom = false;
    bytes.remove_prefix(JunkBeforeMarkup(bytes, &bom));
    if (bom) {
        out.append(kUtf8Bom);
        std::size_t replaced = 0;
        out.append(DeclarationNamingUtf8(bytes, &replaced));
        bytes.remove_prefix(replaced);
    }
    bool declaresEntities = false;
    OpenElements open;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t special = bytes.find_first_of("<&", pos);
        out.append(bytes.substr(pos, special - pos));
        if (special == std::string_view::npos) {
            break;
        }
        pos = special;
        if (bytes[pos] == '&') {
            pos += RepairAmpersand(bytes.substr(pos), declaresEntities, out);
        } else if (StartsVerbatim(bytes.substr(pos))) {
            const std::size_t end = EndOfVerbatim(bytes, pos, &declaresEntities);
            out.append(bytes.substr(pos, end - pos));
            pos = end;
        } else if (bytes.substr(pos).starts_with("</")) {
            pos = RepairEndTag(bytes, pos, open, out);
        } else {
            // The tag itself goes on through the loop: its values may hold a bare "&".
            open.Start(bytes.substr(pos));
            out.push_back('<');
            ++pos;
        }
        if (out.size() > maxBytes) {
            return std::nullopt;
        }
    }
    // The text after the last special character went in without the check inside the loop.
    if (out.size() > maxBytes) {
        return std::nullopt;
    }
    return out;
}
