#include "store/search_terms.h"

#include <vector>

#include "base/text_util.h"
#include "store/simplified_chinese.h"

namespace {

enum class CharKind { kSeparator, kWord, kIdeograph };

struct Range {
    char32_t first;
    char32_t last;
};

// Scripts read character by character: Hangul Jamo, CJK radicals, kana, Bopomofo, Hangul
// compatibility letters, the unified and compatibility ideographs, Hangul syllables and the
// half-width kana and Hangul.
constexpr Range kIdeographic[] = {
    {0x1100, 0x11FF}, {0x2E80, 0x2FDF}, {0x3040, 0x309F}, {0x30A0, 0x30FF}, {0x3100, 0x312F},
    {0x3130, 0x318F}, {0x31A0, 0x31BF}, {0x31F0, 0x31FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
    {0xA960, 0xA97F}, {0xAC00, 0xD7AF}, {0xF900, 0xFAFF}, {0xFF66, 0xFFDC}, {0x20000, 0x3FFFF},
};

// Punctuation, spaces and symbols beyond ASCII: Latin-1's signs, the general punctuation,
// symbol and arrow blocks up to the supplemental punctuation, CJK punctuation, enclosed
// letters, private use, the vertical and small forms, full-width signs, specials and the
// pictographs.
constexpr Range kSeparators[] = {
    {0x0080, 0x00BF}, {0x00D7, 0x00D7}, {0x00F7, 0x00F7},   {0x2000, 0x2BFF}, {0x2E00, 0x2E7F},
    {0x3000, 0x303F}, {0x3200, 0x33FF}, {0xE000, 0xF8FF},   {0xFE10, 0xFE1F}, {0xFE30, 0xFE6F},
    {0xFF00, 0xFF65}, {0xFFDD, 0xFFFF}, {0x1F000, 0x1FAFF},
};

bool InRanges(char32_t c, const Range* begin, const Range* end) {
    for (const Range* range = begin; range != end; ++range) {
        if (c >= range->first && c <= range->last) {
            return true;
        }
    }
    return false;
}

// Letters whose lower case is the next code point, from `first` to `last` in steps of two.
struct PairRun {
    char32_t first;
    char32_t last;
};

// The paired upper and lower cases of Latin Extended-A and -B, Cyrillic beyond the basic
// alphabet, and Latin Extended Additional (Vietnamese among it).
constexpr PairRun kPairRuns[] = {
    {0x0100, 0x012E}, {0x0132, 0x0136}, {0x0139, 0x0147}, {0x014A, 0x0176},
    {0x0179, 0x017D}, {0x01CD, 0x01DB}, {0x01DE, 0x01EE}, {0x01F8, 0x021E},
    {0x0222, 0x0232}, {0x0246, 0x024E}, {0x0460, 0x0480}, {0x048A, 0x04BE},
    {0x04C1, 0x04CD}, {0x04D0, 0x052E}, {0x1E00, 0x1E94}, {0x1EA0, 0x1EFE},
};

// The lower case of the Latin, Greek, Cyrillic and Armenian capitals, with final sigma read
// as sigma; other characters as they are. A fixed table rather than the C library's, whose
// answer depends on the locale: a term must fold the same way on every machine, because the
// index removes an item by cutting its text again.
char32_t LoweredBeyondAscii(char32_t c) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c >= 0x531 && c <= 0x556) {
        return c + 0x30;
    }
    switch (c) {
        case 0x178:
            return 0xFF;
        case 0x386:
            return 0x3AC;
        case 0x388:
        case 0x389:
        case 0x38A:
            return c + 37;
        case 0x38C:
            return 0x3CC;
        case 0x38E:
        case 0x38F:
            return c + 63;
        case 0x3C2:
            return 0x3C3;
        case 0x4C0:
            return 0x4CF;
        case 0x1E9E:
            return 0xDF;
        default:
            break;
    }
    for (const PairRun& run : kPairRuns) {
        if (c >= run.first && c <= run.last + 1) {
            return ((c - run.first) % 2 == 0) ? c + 1 : c;
        }
    }
    return c;
}

// Whether this thread leaves Traditional Chinese as it is (CUnfoldedChineseTerms): owned by
// each thread, set and cleared only by the guard's scope.
thread_local bool t_unfoldedChinese = false;

// Full-width ASCII letters and digits as ASCII, letters lowered, Traditional Chinese
// characters as Simplified.
char32_t Folded(char32_t c) {
    if (c >= 0xFF10 && c <= 0xFF19) {
        return U'0' + (c - 0xFF10);
    }
    if (c >= 0xFF21 && c <= 0xFF3A) {
        return U'a' + (c - 0xFF21);
    }
    if (c >= 0xFF41 && c <= 0xFF5A) {
        return U'a' + (c - 0xFF41);
    }
    if (c >= U'A' && c <= U'Z') {
        return c - U'A' + U'a';
    }
    if (c >= 0x3000) {
        return t_unfoldedChinese ? c
                                 : SimplifiedChinese(c);  // no letter with a lower case lies beyond
    }
    return c < 0xC0 ? c : LoweredBeyondAscii(c);
}

// Apostrophes take no room, as the duplicate rule drops them from titles: "Don't" is the
// word "dont", and so is "Don’t".
bool IsApostrophe(char32_t c) {
    return c == U'\'' || c == 0x2019;
}

CharKind KindOf(char32_t folded) {
    if (folded < 0x80) {
        const bool alnum = (folded >= U'a' && folded <= U'z') || (folded >= U'0' && folded <= U'9');
        return alnum ? CharKind::kWord : CharKind::kSeparator;
    }
    if (InRanges(folded, std::begin(kIdeographic), std::end(kIdeographic))) {
        return CharKind::kIdeograph;
    }
    if (InRanges(folded, std::begin(kSeparators), std::end(kSeparators))) {
        return CharKind::kSeparator;
    }
    return CharKind::kWord;
}

struct Char {
    char32_t folded = 0;
    CharKind kind = CharKind::kSeparator;
    int start = 0;
    int end = 0;
};

// Walks `text` once and hands out its terms; holds the current word or run of ideographs.
class TermCutter {
public:
    TermCutter(SearchTermMode mode, const std::function<bool(const SearchTerm&)>& sink)
        : m_mode(mode), m_sink(sink) {}

    bool Run(std::string_view text) {
        std::vector<Char> chars;
        for (std::size_t pos = 0; pos < text.size();) {
            char32_t c = 0;
            std::size_t length = DecodeUtf8At(text, pos, &c);
            Char next;
            if (length == 0) {
                length = 1;  // a stray byte separates
            } else if (IsApostrophe(c)) {
                pos += length;
                continue;
            } else {
                next.folded = Folded(c);
                next.kind = KindOf(next.folded);
            }
            next.start = static_cast<int>(pos);
            next.end = static_cast<int>(pos + length);
            chars.push_back(next);
            pos += length;
        }
        return Cut(chars);
    }

private:
    bool Cut(const std::vector<Char>& chars) {
        // One past the last character that makes a term.
        std::size_t termsEnd = chars.size();
        while (termsEnd > 0 && chars[termsEnd - 1].kind == CharKind::kSeparator) {
            --termsEnd;
        }
        std::size_t i = 0;
        while (i < chars.size()) {
            std::size_t end = i + 1;
            while (end < chars.size() && chars[end].kind == chars[i].kind) {
                ++end;
            }
            const bool more = end < termsEnd;
            if (chars[i].kind == CharKind::kWord && !Word(chars, i, end)) {
                return false;
            }
            if (chars[i].kind == CharKind::kIdeograph && !Ideographs(chars, i, end, more)) {
                return false;
            }
            i = end;
        }
        return true;
    }

    bool Word(const std::vector<Char>& chars, std::size_t begin, std::size_t end) {
        m_buffer.clear();
        for (std::size_t i = begin; i < end; ++i) {
            AppendUtf8(m_buffer, chars[i].folded);
        }
        return Emit(chars[begin].start, chars[end - 1].end, false);
    }

    // One run of ideographs. Stored: each character, with the pair it begins beside it.
    // Typed: the pairs in a row, or the character of a run of one. A typed run of two or
    // more also ends with its last character when more terms follow, so that those stand at
    // the positions the stored text gives them (a stored run takes a position per character).
    bool Ideographs(const std::vector<Char>& chars, std::size_t begin, std::size_t end,
                    bool moreFollow) {
        const std::size_t count = end - begin;
        for (std::size_t i = begin; i < end; ++i) {
            const bool last = i + 1 == end;
            if (m_mode == SearchTermMode::kStored || count == 1 || (last && moreFollow)) {
                if (!Single(chars[i])) {
                    return false;
                }
            }
            if (!last && !Pair(chars[i], chars[i + 1])) {
                return false;
            }
        }
        return true;
    }

    bool Single(const Char& c) {
        m_buffer.clear();
        AppendUtf8(m_buffer, c.folded);
        return Emit(c.start, c.end, false, true);
    }

    bool Pair(const Char& first, const Char& second) {
        m_buffer.clear();
        AppendUtf8(m_buffer, first.folded);
        AppendUtf8(m_buffer, second.folded);
        return Emit(first.start, second.end, m_mode == SearchTermMode::kStored);
    }

    bool Emit(int start, int end, bool samePosition, bool ideograph = false) {
        return m_sink(SearchTerm{m_buffer, start, end, samePosition, ideograph});
    }

    const SearchTermMode m_mode;
    const std::function<bool(const SearchTerm&)>& m_sink;
    std::string m_buffer;
};

// Spaces, and the control characters (a NUL pasted with the text among them), part a query.
bool IsBlank(char32_t c) {
    return c <= U' ' || c == 0x7F || c == 0x3000;
}

// The parts of `typed` between blanks.
std::vector<std::string_view> Parts(std::string_view typed) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos <= typed.size();) {
        char32_t c = 0;
        const std::size_t length = pos < typed.size() ? DecodeUtf8At(typed, pos, &c) : 0;
        if (pos == typed.size() || (length > 0 && IsBlank(c))) {
            if (pos > start) {
                parts.push_back(typed.substr(start, pos - start));
            }
            pos += length == 0 ? 1 : length;
            start = pos;
        } else {
            pos += length == 0 ? 1 : length;
        }
    }
    return parts;
}

// `text` as one quoted phrase of a match expression.
void AppendPhrase(std::string& expression, std::string_view text) {
    expression += '"';
    for (char c : text) {
        expression += c;
        if (c == '"') {
            expression += '"';
        }
    }
    expression += '"';
}

}  // namespace

CUnfoldedChineseTerms::CUnfoldedChineseTerms() {
    t_unfoldedChinese = true;
}

CUnfoldedChineseTerms::~CUnfoldedChineseTerms() {
    t_unfoldedChinese = false;
}

bool ForEachSearchTerm(std::string_view text, SearchTermMode mode,
                       const std::function<bool(const SearchTerm&)>& sink) {
    return TermCutter(mode, sink).Run(text);
}

std::string SearchMatchExpression(std::string_view typed, bool* cut) {
    return SearchMatchExpression(typed, cut, nullptr);
}

std::vector<std::string_view> SearchParts(std::string_view typed, bool* cut) {
    if (cut != nullptr) {
        *cut = typed.size() > kSearchTextLimit;
    }
    std::vector<std::string_view> parts;
    for (std::string_view part : Parts(CutAtCharBoundary(typed, kSearchTextLimit))) {
        const bool holdsTerm = !ForEachSearchTerm(part, SearchTermMode::kTyped,
                                                  [](const SearchTerm&) { return false; });
        if (!holdsTerm) {
            continue;
        }
        if (static_cast<int>(parts.size()) == kSearchPartLimit) {
            if (cut != nullptr) {
                *cut = true;
            }
            break;
        }
        parts.push_back(part);
    }
    return parts;
}

std::string SearchMatchExpression(std::string_view typed, bool* cut,
                                  const SearchPrefixTerms& prefixTerms) {
    std::string expression;
    for (std::string_view part : SearchParts(typed, cut)) {
        bool endsInWord = false;
        std::size_t lastStart = 0;
        std::string lastTerm;
        ForEachSearchTerm(part, SearchTermMode::kTyped, [&](const SearchTerm& term) {
            char32_t c = 0;
            endsInWord = term.end == static_cast<int>(part.size()) &&
                         DecodeUtf8At(part, static_cast<std::size_t>(term.start), &c) > 0 &&
                         KindOf(Folded(c)) == CharKind::kWord;
            lastStart = static_cast<std::size_t>(term.start);
            lastTerm = term.text;
            return true;
        });
        if (!expression.empty()) {
            expression += " AND ";
        }
        const std::optional<std::vector<std::string>> spelled =
            endsInWord && prefixTerms ? prefixTerms(lastTerm) : std::nullopt;
        if (spelled && !spelled->empty()) {
            // The part up to its last word, then each whole word in its place.
            expression += '(';
            for (std::size_t i = 0; i < spelled->size(); ++i) {
                expression += i == 0 ? "" : " OR ";
                AppendPhrase(expression, std::string(part.substr(0, lastStart)) + (*spelled)[i]);
            }
            expression += ')';
            continue;
        }
        AppendPhrase(expression, part);
        if (endsInWord) {
            expression += " *";
        }
    }
    return expression;
}
