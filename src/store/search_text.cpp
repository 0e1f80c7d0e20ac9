#include "store/search_text.h"

#include <array>

#include "base/ascii.h"
#include "base/markup_cut.h"
#include "base/text_util.h"
#include "xml/html_entities.h"

namespace {

// Elements that run on within a line: their tags take no room in the text.
constexpr std::array<std::string_view, 21> kInline = {
    "a", "abbr", "b",    "big",   "cite", "code",   "em",     "font", "i",   "kbd", "mark",
    "q", "s",    "samp", "small", "span", "strike", "strong", "sub",  "sup", "tt",
};

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsInline(std::string_view name) {
    for (std::string_view known : kInline) {
        if (EqualsIgnoreAsciiCase(name, known)) {
            return true;
        }
    }
    return false;
}

// The position after the end tag of the raw-text element `name` (script, style), searched
// from `from`; the end of the text when there is none.
std::size_t RawTextEnd(std::string_view html, std::size_t from, std::string_view name) {
    const std::string lowered = AsciiLowered(html.substr(from));
    const std::size_t close = lowered.find("</" + std::string(name));
    return close == std::string::npos ? html.size() : MarkupTagEnd(html, from + close);
}

}  // namespace

std::string SearchTextOfHtml(std::string_view html) {
    std::string text;
    text.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<' && html.substr(i, 4) == "<!--") {
            const std::size_t close = html.find("-->", i + 4);
            i = close == std::string_view::npos ? html.size() : close + 3;
            text += ' ';
        } else if (c == '<' && i + 1 < html.size() &&
                   (IsAsciiLetter(html[i + 1]) || html[i + 1] == '/' || html[i + 1] == '!' ||
                    html[i + 1] == '?')) {
            const std::size_t nameStart = i + (html[i + 1] == '/' ? 2 : 1);
            std::size_t nameEnd = nameStart;
            while (nameEnd < html.size() && (IsAsciiLetter(html[nameEnd]) ||
                                             (html[nameEnd] >= '0' && html[nameEnd] <= '9'))) {
                ++nameEnd;
            }
            const std::string name = AsciiLowered(html.substr(nameStart, nameEnd - nameStart));
            i = MarkupTagEnd(html, i);
            if (html[nameStart - 1] != '/' && (name == "script" || name == "style")) {
                i = RawTextEnd(html, i, name);
            }
            // A line break, not a space: a phrase that joins a word to Chinese must not
            // reach from one paragraph into the next (rule_text.h).
            if (!IsInline(name)) {
                text += '\n';
            }
        } else if (c == '&') {
            std::size_t length = 0;
            const char32_t value = HtmlReferenceAt(html, i, &length);
            if (value != 0) {
                AppendUtf8(text, value);
                i += length;
            } else {
                text += c;
                ++i;
            }
        } else {
            text += c;
            ++i;
        }
    }
    return text;
}
