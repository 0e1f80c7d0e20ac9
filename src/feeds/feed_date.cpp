#include "feeds/feed_date.h"

#include <array>
#include <vector>

#include "base/ascii.h"
#include "base/calendar.h"

namespace {

struct Token {
    enum Kind { kNumber, kWord, kMark };
    Kind kind = kMark;
    int value = 0;           // a number's value (saturates at nine digits)
    std::size_t digits = 0;  // a number's digit count
    std::string_view word;   // a word's letters
    char mark = 0;           // a punctuation mark; 年 and 月 read as '-'
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Numbers, words of ASCII letters and single marks; blanks only separate. The Chinese year
// and month signs stand for "-"; the day sign and every other character are dropped.
std::vector<Token> Tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (IsDigit(c)) {
            Token number;
            number.kind = Token::kNumber;
            for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
                if (++number.digits <= 9) {
                    number.value = number.value * 10 + (text[pos] - '0');
                }
            }
            tokens.push_back(number);
        } else if (IsLetter(c)) {
            const std::size_t start = pos;
            while (pos < text.size() && IsLetter(text[pos])) {
                ++pos;
            }
            Token word;
            word.kind = Token::kWord;
            word.word = text.substr(start, pos - start);
            tokens.push_back(word);
        } else if (text.substr(pos).starts_with("年") || text.substr(pos).starts_with("月")) {
            Token mark;
            mark.kind = Token::kMark;
            mark.mark = '-';
            tokens.push_back(mark);
            pos += 3;
        } else {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n' &&
                static_cast<unsigned char>(c) < 0x80) {
                Token mark;
                mark.kind = Token::kMark;
                mark.mark = c;
                tokens.push_back(mark);
            }
            ++pos;
        }
    }
    return tokens;
}

// 1-12 for a month name, 0 for any other word.
int MonthOfName(std::string_view word) {
    static constexpr std::array<std::string_view, 12> kNames = {
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december",
    };
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (EqualsIgnoreAsciiCase(word, kNames[i].substr(0, 3)) ||
            EqualsIgnoreAsciiCase(word, kNames[i])) {
            return static_cast<int>(i) + 1;
        }
    }
    return EqualsIgnoreAsciiCase(word, "sept") ? 9 : 0;
}

// The offset in minutes of a zone named by `word`; false for a word that names no zone.
bool NamedZone(std::string_view word, CstZone cst, int* minutes) {
    static constexpr struct {
        std::string_view name;
        int hours;
    } kZones[] = {
        {"Z", 0},    {"UT", 0},   {"UTC", 0},  {"GMT", 0},  {"EST", -5}, {"EDT", -4},
        {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7},
    };
    if (EqualsIgnoreAsciiCase(word, "CST")) {
        *minutes = cst == CstZone::kChina ? 8 * 60 : -6 * 60;
        return true;
    }
    for (const auto& zone : kZones) {
        if (EqualsIgnoreAsciiCase(word, zone.name)) {
            *minutes = zone.hours * 60;
            return true;
        }
    }
    return false;
}

// The tokens from one position on, with the helpers the date shapes need.
class Cursor {
public:
    Cursor(const std::vector<Token>& tokens, std::size_t pos) : m_tokens(tokens), m_pos(pos) {}

    std::size_t pos() const { return m_pos; }
    const Token* Next() const { return m_pos < m_tokens.size() ? &m_tokens[m_pos] : nullptr; }

    bool Number(std::size_t minDigits, std::size_t maxDigits, int* value) {
        const Token* token = Next();
        if (!token || token->kind != Token::kNumber || token->digits < minDigits ||
            token->digits > maxDigits) {
            return false;
        }
        *value = token->value;
        ++m_pos;
        return true;
    }
    bool Month(int* month) {
        const Token* token = Next();
        if (!token || token->kind != Token::kWord || MonthOfName(token->word) == 0) {
            return false;
        }
        *month = MonthOfName(token->word);
        ++m_pos;
        return true;
    }
    // One mark of `marks`; *mark receives it.
    bool Mark(std::string_view marks, char* mark = nullptr) {
        const Token* token = Next();
        if (!token || token->kind != Token::kMark || marks.find(token->mark) == marks.npos) {
            return false;
        }
        if (mark) {
            *mark = token->mark;
        }
        ++m_pos;
        return true;
    }
    void SkipMark(std::string_view marks) { Mark(marks); }
    // A word, any letter case; false, with nothing consumed, when another token stands here.
    bool Word(std::string_view word) {
        const Token* token = Next();
        if (!token || token->kind != Token::kWord || !EqualsIgnoreAsciiCase(token->word, word)) {
            return false;
        }
        ++m_pos;
        return true;
    }
    // A zone after a time (see ReadFeedDate); false, with nothing consumed, when none stands
    // here.
    bool Zone(CstZone cst, CFeedDate* date) {
        const std::size_t start = m_pos;
        int offset = 0;
        const Token* token = Next();
        if (token && token->kind == Token::kWord) {
            if (!NamedZone(token->word, cst, &offset)) {
                return false;
            }
            ++m_pos;
            const bool universal = offset == 0;
            int extra = 0;
            if (universal && Offset(&extra)) {
                offset = extra;
            }
        } else if (!Offset(&offset)) {
            m_pos = start;
            return false;
        }
        date->zoned = true;
        date->offsetMinutes = offset;
        return true;
    }

    // "+0800", "-05:00", "+08": false, with nothing consumed, when none stands here.
    bool Offset(int* minutes) {
        const std::size_t start = m_pos;
        char sign = 0;
        int hours = 0;
        int rest = 0;
        const Token* digits = m_pos + 1 < m_tokens.size() ? &m_tokens[m_pos + 1] : nullptr;
        if (Mark("+-", &sign) && digits && digits->kind == Token::kNumber) {
            // Three digits are an offset whose leading zero was dropped: "-800" is "-0800".
            if ((digits->digits == 4 || digits->digits == 3) && Number(3, 4, &hours)) {
                rest = hours % 100;
                hours /= 100;
            } else if (Number(1, 2, &hours)) {
                const std::size_t afterHours = m_pos;
                if (!(Mark(":") && Number(2, 2, &rest))) {
                    m_pos = afterHours;
                    rest = 0;
                }
            }
            if (m_pos > start + 1 && hours <= 14 && rest <= 59) {
                *minutes = (sign == '-' ? -1 : 1) * (hours * 60 + rest);
                return true;
            }
        }
        m_pos = start;
        return false;
    }
    // hh:mm or hh:mm:ss; false, with nothing consumed, when none stands here.
    bool Time(CFeedDate* date) {
        const std::size_t start = m_pos;
        int hour = 0;
        int minute = 0;
        int second = 0;
        if (Number(1, 2, &hour) && Mark(":") && Number(1, 2, &minute)) {
            const std::size_t afterMinute = m_pos;
            if (!(Mark(":") && Number(1, 2, &second))) {
                m_pos = afterMinute;
                second = 0;
            }
            if (hour <= 23 && minute <= 59 && second <= 60) {
                date->hour = hour;
                date->minute = minute;
                date->second = second;
                date->timed = true;
                SkipFraction();
                return true;
            }
        }
        m_pos = start;
        return false;
    }

private:
    // The fraction of a second after the seconds: ".123".
    void SkipFraction() {
        const std::size_t start = m_pos;
        int ignored = 0;
        if (!(Mark(".,") && Number(1, 9, &ignored))) {
            m_pos = start;
        }
    }

    const std::vector<Token>& m_tokens;
    std::size_t m_pos;
};

int FullYear(int year, std::size_t digits) {
    if (digits > 2) {
        return year;
    }
    return year < 50 ? 2000 + year : 1900 + year;
}

// 2006-05-12, 2008/5/12, 2006.05.12, 2006-May-12, 2008年5月12日.
bool YearFirst(Cursor& at, CFeedDate* date) {
    char first = 0;
    char second = 0;
    if (!at.Number(4, 4, &date->year) || !at.Mark("-/.", &first) ||
        !(at.Number(1, 2, &date->month) || at.Month(&date->month)) || !at.Mark("-/.", &second) ||
        first != second || !at.Number(1, 2, &date->day)) {
        return false;
    }
    return true;
}

// 02 Oct 2002, 02-Oct-02, 7 Sep 02.
bool DayFirst(Cursor& at, CFeedDate* date) {
    int year = 0;
    if (!at.Number(1, 2, &date->day)) {
        return false;
    }
    at.SkipMark("-/.");
    if (!at.Month(&date->month)) {
        return false;
    }
    at.SkipMark("-/.,");
    const Token* token = at.Next();
    const std::size_t digits = token ? token->digits : 0;
    if (!at.Number(1, 4, &year) || digits == 3) {
        return false;
    }
    // "02 Oct 13:00:00" has no year: its hour is not one.
    if (const Token* next = at.Next();
        digits <= 2 && next && next->kind == Token::kMark && next->mark == ':') {
        return false;
    }
    date->year = FullYear(year, digits);
    return true;
}

// Oct 2, 2002, Wed Oct 02 13:00:00 2002 and Wed Oct 02 13:00:00 CST 2002.
bool MonthFirst(Cursor& at, CstZone cst, CFeedDate* date, bool* timeRead) {
    if (!at.Month(&date->month) || !at.Number(1, 2, &date->day)) {
        return false;
    }
    at.SkipMark(",");
    *timeRead = at.Time(date);
    if (*timeRead) {
        at.Zone(cst, date);
    }
    return at.Number(4, 4, &date->year);
}

// The date at the cursor in one of the shapes, with the time and zone that follow it.
bool DateAt(Cursor& at, int shape, CstZone cst, CFeedDate* date) {
    bool timeRead = false;
    const bool read = shape == 0   ? YearFirst(at, date)
                      : shape == 1 ? DayFirst(at, date)
                                   : MonthFirst(at, cst, date, &timeRead);
    if (!read || !IsCalendarDate(date->year, date->month, date->day)) {
        return false;
    }
    if (timeRead) {
        return true;
    }
    // The time, where one follows (after a "T" in ISO 8601), and its zone.
    at.Word("T");
    if (at.Time(date)) {
        at.Zone(cst, date);
    }
    return true;
}

// The first date shape that reads from some position on.
std::optional<CFeedDate> FirstDate(const std::vector<Token>& tokens, CstZone cst) {
    for (std::size_t start = 0; start < tokens.size(); ++start) {
        for (int shape = 0; shape < 3; ++shape) {
            Cursor at(tokens, start);
            CFeedDate date;
            if (DateAt(at, shape, cst, &date)) {
                return date;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

CstZone CstZoneFor(std::string_view feedLanguage) {
    const std::size_t start = feedLanguage.find_first_not_of(" \t\r\n");
    return start != std::string_view::npos &&
                   StartsWithIgnoreAsciiCase(feedLanguage.substr(start), "zh")
               ? CstZone::kChina
               : CstZone::kUsCentral;
}

std::optional<CFeedDate> ReadFeedDate(std::string_view text, CstZone cst) {
    return FirstDate(Tokenize(text), cst);
}

CFeedDate ParseFeedDate(std::string_view text) {
    return ReadFeedDate(text).value_or(CFeedDate());
}
