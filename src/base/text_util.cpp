#include "base/text_util.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

bool IsContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence that starts at text[pos], or 0 when it is not a valid one.
std::size_t SequenceLength(std::string_view text, std::size_t pos, char32_t* codePoint) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[pos + i]);
        if (!IsContinuationByte(c)) {
            return 0;
        }
        value = (value << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *codePoint = value;
    return length;
}

// The characters of the Basic Multilingual Plane that GB18030 writes in two bytes, one bit
// each, asked of iconv at build time (tools/code_page_table_gen.cpp).
constexpr std::uint64_t kTwoByteCodePageChars[0x10000 / 64] = {
#include "base/code_page_table.inc"
};

}  // namespace

std::size_t DecodeUtf8At(std::string_view text, std::size_t pos, char32_t* codePoint) {
    return pos < text.size() ? SequenceLength(text, pos, codePoint) : 0;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::size_t CodePageCharBytes(char32_t c) {
    if (c < 0x80) {
        return 1;
    }
    return c < 0x10000 && ((kTwoByteCodePageChars[c / 64] >> (c % 64)) & 1) != 0 ? 2 : 4;
}

std::size_t CodePageLength(std::string_view text) {
    std::size_t total = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c = 0;
        const std::size_t length = SequenceLength(text, pos, &c);
        total += length == 0 ? 1 : CodePageCharBytes(c);
        pos += length == 0 ? 1 : length;
    }
    return total;
}

std::string_view CutToCodePageLimit(std::string_view text, std::size_t maxCodePageBytes) {
    // No character takes more than twice as many code-page bytes as it takes bytes of UTF-8,
    // so a text of at most half the limit fits without looking at its characters.
    if (text.size() <= maxCodePageBytes / 2) {
        return text;
    }
    std::size_t total = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = 0;
        std::size_t length = SequenceLength(text, pos, &c);
        const std::size_t bytes = length == 0 ? 1 : CodePageCharBytes(c);
        length = length == 0 ? 1 : length;
        if (total + bytes > maxCodePageBytes) {
            break;
        }
        total += bytes;
        pos += length;
    }
    return text.substr(0, pos);
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the lead byte of the split character.
    while (end > 0 && IsContinuationByte(static_cast<unsigned char>(text[end]))) {
        --end;
    }
    return text.substr(0, end);
}

void CopyToField(char* dest, std::size_t destSize, std::string_view text) {
    if (destSize == 0) {
        return;
    }
    const std::string_view cut = CutAtCharBoundary(text, destSize - 1);
    if (!cut.empty()) {  // an empty view may carry a null pointer, which memcpy must not get
        std::memcpy(dest, cut.data(), cut.size());
    }
    dest[cut.size()] = '\0';
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = 0;
        std::size_t length = SequenceLength(text, pos, &c);
        if (length == 0) {
            c = 0xFFFD;
            length = 1;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        pos += length;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t c = 0;
        const std::size_t length = SequenceLength(text, pos, &c);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

namespace {

// The characters of windows-1252's bytes 0x80 to 0x9F; the undefined five keep their number.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t Windows1252Char(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kWindows1252High[byte - 0x80] : byte;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char c : bytes) {
        AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string ValidUtf8(std::string_view text) {
    if (IsValidUtf8(text)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c = 0;
        const std::size_t length = SequenceLength(text, pos, &c);
        if (length == 0) {
            AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(text[pos])));
            ++pos;
        } else {
            out.append(text.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

int ParseLeadingInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (text[pos] - '0');
        }
        ++pos;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

std::string EscapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string WithoutXmlForbiddenChars(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c = 0;
        const std::size_t length = SequenceLength(text, pos, &c);
        if (length == 0) {
            ++pos;  // a byte of no character
            continue;
        }
        const bool allowed =
            c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
        if (allowed) {
            out.append(text.substr(pos, length));
        }
        pos += length;
    }
    return out;
}
