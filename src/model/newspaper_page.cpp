#include "model/newspaper_page.h"

#include <map>
#include <optional>
#include <tuple>

#include "base/ascii.h"
#include "base/text_util.h"
#include "model/item_link.h"
#include "model/news_age.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/automation_date.h"
#include "store/statements.h"

namespace {

constexpr int kTextSize = static_cast<int>(CodePageFieldSize(255));
constexpr int kDescriptionSize = static_cast<int>(CodePageFieldSize(2047));

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The character a reference at the start of `text` ("&amp;", "&#26032;", "&#x65B0;") stands
// for, and its length; nothing for anything else.
std::optional<std::pair<char32_t, std::size_t>> ReadReference(std::string_view text) {
    const std::size_t end = text.find(';');
    if (end == std::string_view::npos || end > 12) {
        return std::nullopt;
    }
    const std::string_view name = text.substr(1, end - 1);
    static const std::map<std::string_view, char32_t> kNamed = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", ' '}};
    if (const auto named = kNamed.find(name); named != kNamed.end()) {
        return std::pair{named->second, end + 1};
    }
    if (name.size() < 2 || name[0] != '#') {
        return std::nullopt;
    }
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    char32_t value = 0;
    for (char c : digits) {
        const int digit = c >= '0' && c <= '9'          ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
        if (digit < 0 || value > 0x10FFFF) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (digits.empty() || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::pair{value, end + 1};
}

// Where the markup that starts at `pos` (a '<') ends; a script or style element is skipped
// whole, since its content is no text.
std::size_t SkipTag(std::string_view html, std::size_t pos) {
    const std::size_t close = html.find('>', pos);
    if (close == std::string_view::npos) {
        return html.size();
    }
    const std::string tag = AsciiLowered(html.substr(pos + 1, close - pos - 1));
    for (const char* element : {"script", "style"}) {
        if (tag.rfind(element, 0) == 0) {
            const std::string lowered = AsciiLowered(html.substr(close));
            const std::size_t end = lowered.find(std::string("</") + element);
            if (end == std::string::npos) {
                return html.size();
            }
            const std::size_t endClose = html.find('>', close + end);
            return endClose == std::string_view::npos ? html.size() : endClose + 1;
        }
    }
    return close + 1;
}

// Cuts `text` after `maxChars` characters, marking the cut.
std::string CutToChars(const std::string& text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if ((static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) {
            continue;  // a continuation byte
        }
        if (chars++ == maxChars) {
            return text.substr(0, pos) + "…";
        }
    }
    return text;
}

std::string DateText(const AccessDate& date) {
    return NewsDateText(date.year, date.month, date.day, kNewsDateValid);
}

AccessDate DaysBefore(int days) {
    AccessDate date;
    DateDaysBefore(days, &date.year, &date.month, &date.day);
    return date;
}

void AppendItem(std::string& page, const NewspaperItem& item) {
    page += "<li><a href=\"" + EscapeMarkup(ItemLinkAddress(item.id)) + "\"><strong>";
    page += EscapeMarkup(item.title.empty() ? "（无标题）" : item.title);
    page += "</strong></a> <font color=#999999 size=2>";
    page += item.today ? "今日" : "昨日";
    page += "</font>";
    if (!item.excerpt.empty()) {
        page += "<br><font size=2>" + EscapeMarkup(item.excerpt) + "</font>";
    }
    page += "</li>";
}

bool HasNews(const NewspaperSection& section) {
    for (const NewspaperChannel& channel : section.channels) {
        if (!channel.items.empty()) {
            return true;
        }
    }
    return false;
}

// The sections of the tree below `root`, with their channels' names and no items yet.
std::vector<NewspaperSection> Sections(const CNodeMap& nodes, CNodeMap::Handle root) {
    std::vector<NewspaperSection> sections;
    for (CNodeMap::Handle top : nodes.Children(root)) {
        const CKeywordNode record = nodes.Lookup(top);
        NewspaperSection section{record.name, record.type == NODE_FOLDER, {}};
        if (record.type == NODE_KEY) {
            section.channels.push_back({record.name, {}});
        } else if (record.type == NODE_FOLDER) {
            for (CNodeMap::Handle below : nodes.Descendants(top)) {
                const CKeywordNode channel = nodes.Lookup(below);
                if (channel.type == NODE_KEY) {
                    section.channels.push_back({channel.name, {}});
                }
            }
        } else {
            continue;
        }
        sections.push_back(std::move(section));
    }
    return sections;
}

// Every channel's items of the two days, by the channel's lowered name.
std::map<std::string, std::vector<NewspaperItem>> ReadItems(const std::vector<std::string>& names,
                                                            const CAdoConnection& connection,
                                                            const AccessDate& yesterday,
                                                            const AccessDate& today) {
    std::map<std::string, std::vector<NewspaperItem>> items;
    CAdoRecordset records(connection);
    // An item dated ahead of today is today's news, as in the list.
    constexpr AccessDate kLastDay{9999, 12, 31};
    if (names.empty() ||
        !records.Open(SqlSelectItemsOfChannelsBetween(names, yesterday, kLastDay))) {
        return items;
    }
    std::int32_t id = 0;
    std::int32_t index = 0;
    char title[kTextSize] = {};
    char description[kDescriptionSize] = {};
    CAdoDateValue date;
    records.BindColumnByName("ID", &id, sizeof id, kBindNumber);
    records.BindColumnByName("rss_title", title, kTextSize, kBindText);
    records.BindColumnByName("rss_description", description, kDescriptionSize, kBindText);
    records.BindColumnByName("rss_pubDate", &date, sizeof date, kBindDate);
    records.BindColumnByName("keyword_index", &index, sizeof index, kBindNumber);
    for (; !records.IsEOF(); records.MoveNext()) {
        date = CAdoDateValue{};
        records.Fetch();
        if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
            continue;
        }
        std::vector<NewspaperItem>& list = items[AsciiLowered(names[index])];
        if (list.size() >= kNewspaperItemsPerChannel) {
            continue;
        }
        int year = -1;
        int month = -1;
        int day = -1;
        const bool dated =
            date.status == kDateValid && CivilFromAutomationDate(date.date, &year, &month, &day);
        const bool ahead =
            std::tie(year, month, day) >= std::tie(today.year, today.month, today.day);
        list.push_back({id, title, PlainExcerpt(description), dated && ahead});
    }
    records.Close();
    return items;
}

}  // namespace

std::string PlainExcerpt(std::string_view html, std::size_t maxChars) {
    std::string text;
    bool blank = true;  // nothing yet, or a blank was the last thing seen
    const auto append = [&](std::string_view piece) {
        text.append(piece);
        blank = false;
    };
    for (std::size_t pos = 0; pos < html.size();) {
        const char c = html[pos];
        if (c == '<') {
            pos = SkipTag(html, pos);
            if (!blank) {
                text.push_back(' ');
                blank = true;
            }
        } else if (IsBlank(c)) {
            if (!blank) {
                text.push_back(' ');
                blank = true;
            }
            ++pos;
        } else if (c == '&') {
            if (const auto reference = ReadReference(html.substr(pos))) {
                std::string decoded;
                AppendUtf8(decoded, reference->first);
                if (decoded == " " && blank) {
                    decoded.clear();
                }
                append(decoded);
                pos += reference->second;
            } else {
                append("&");
                ++pos;
            }
        } else {
            append(html.substr(pos, 1));
            ++pos;
        }
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return CutToChars(ValidUtf8(text), maxChars);
}

std::string BuildNewspaperPage(const std::vector<NewspaperSection>& sections,
                               std::string_view dateLine) {
    std::string page =
        "<html><head><meta charset=\"utf-8\"><title>报纸</title></head>"
        "<body bgcolor=#FFFFDF style=\"font-family: sans-serif\">"
        "<h1><font color=#990000>报纸</font></h1><p><font color=#999999>";
    page += EscapeMarkup(dateLine);
    page += "</font></p>";
    bool any = false;
    for (const NewspaperSection& section : sections) {
        if (!HasNews(section)) {
            continue;
        }
        any = true;
        page += "<h2>" + EscapeMarkup(section.name) + "</h2>";
        for (const NewspaperChannel& channel : section.channels) {
            if (channel.items.empty()) {
                continue;
            }
            if (section.folder) {
                page += "<h3>" + EscapeMarkup(channel.name) + "</h3>";
            }
            page += "<ul>";
            for (const NewspaperItem& item : channel.items) {
                AppendItem(page, item);
            }
            page += "</ul>";
        }
    }
    if (!any) {
        page += "<p>今日和昨日还没有新闻。</p>";
    }
    page += "</body></html>";
    return page;
}

std::string ReadNewspaper(const CNodeMap& nodes, CNodeMap::Handle root,
                          const CAdoConnection& connection) {
    std::vector<NewspaperSection> sections = Sections(nodes, root);
    std::vector<std::string> names;
    std::map<std::string, bool> seen;
    for (const NewspaperSection& section : sections) {
        for (const NewspaperChannel& channel : section.channels) {
            if (seen.emplace(AsciiLowered(channel.name), true).second) {
                names.push_back(channel.name);
            }
        }
    }
    const AccessDate today = DaysBefore(0);
    const AccessDate yesterday = DaysBefore(1);
    std::map<std::string, std::vector<NewspaperItem>> items =
        ReadItems(names, connection, yesterday, today);
    for (NewspaperSection& section : sections) {
        for (NewspaperChannel& channel : section.channels) {
            const auto found = items.find(AsciiLowered(channel.name));
            if (found != items.end()) {
                channel.items = found->second;
            }
        }
    }
    return BuildNewspaperPage(
        sections, "今日 " + DateText(today) + " 和昨日 " + DateText(yesterday) + " 的新闻");
}
