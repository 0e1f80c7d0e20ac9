#include "model/item_page.h"

#include "base/text_util.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"

namespace {

// Field positions in the item table and the sizes the page reads them with.
constexpr int kTitleColumn = 2;
constexpr int kLinkColumn = 3;
constexpr int kDescriptionColumn = 4;
constexpr int kAuthorColumn = 5;
constexpr int kSourceColumn = 11;
// Stored texts hold up to 255 code-page bytes (a description and a link 2047); in UTF-8
// they may take half as many bytes again.
constexpr int kTextSize = static_cast<int>(CodePageFieldSize(255));
constexpr int kDescriptionSize = static_cast<int>(CodePageFieldSize(2047));
constexpr int kLinkSize = kDescriptionSize;

constexpr std::string_view kSafeSchemes[] = {"http", "https", "ftp", "mailto"};

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c) {
    return IsAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The opening tag of a link to `link`; a link that must not be live gets no address.
std::string AnchorOpen(std::string_view link) {
    if (!IsSafeLink(link)) {
        return "<a>";
    }
    return "<a href=\"" + EscapeMarkup(link) + "\">";
}

std::string DateTextOf(const CNewsRow& row) {
    int year = -1;
    int month = -1;
    int day = -1;
    if (RowDate(row, &year, &month, &day)) {
        return NewsDateText(year, month, day, kNewsDateValid);
    }
    return NewsDateText(year, month, day,
                        row.dateStatus == kNewsDateNull ? kNewsDateNull : kNewsDateInvalid);
}

// The row's item: by its ID when the row has one, else by its title within its channel.
std::string ItemLookup(const CNewsRow& row) {
    return row.itemId >= 0 ? SqlSelectItemById(row.itemId)
                           : SqlSelectItemByTitle(row.storedTitle, row.channelName);
}

}  // namespace

bool IsSafeLink(std::string_view link) {
    for (char c : link) {
        const auto byte = static_cast<unsigned char>(c);
        // Browsers drop tabs and line breaks inside an address, which would let
        // "java\nscript:" through a plain prefix test.
        if (byte < 0x20 || byte == 0x7f) {
            return false;
        }
    }
    const std::size_t colon = link.find(':');
    if (colon == std::string_view::npos || colon == 0 || !IsAsciiAlpha(link[0])) {
        return false;
    }
    const std::string_view scheme = link.substr(0, colon);
    for (char c : scheme) {
        if (!IsSchemeChar(c)) {
            return false;
        }
    }
    for (std::string_view safe : kSafeSchemes) {
        if (EqualsIgnoreAsciiCase(scheme, safe)) {
            return true;
        }
    }
    return false;
}

std::string BuildItemPage(const ItemTexts& item, std::string_view dateText) {
    const std::string anchor = AnchorOpen(item.link);
    std::string page;
    page.reserve(1024 + item.description.size());
    page += "<html><body bgcolor = #FFFFDF><table width=100% border=0 cellspacing=0 cellpadding=5>";
    page += "<tr><td width=96% valign=top align=center><strong>";
    if (item.starred) {
        page += "<font color=#E0A000 size=4 title=\"星标\">";
        page += kStarMark;
        page += "</font>";
    }
    page += anchor;
    page += "<font color=#990000 size=4> ";
    page += EscapeMarkup(IsUntitled(item.title) ? std::string_view(kUntitledText)
                                                : std::string_view(item.title));
    page += "</font></a></strong></td></tr><tr><td>";
    page += "<font color=#999999>";
    page += EscapeMarkup(item.source);
    page += "</font> <font color=#999999 size=3>";
    page += EscapeMarkup(dateText);
    page += "</font> <font color=#000000 size=3>";
    page += EscapeMarkup(item.author);
    page += "</font><br></td></tr><tr><td>";
    page += "<font size = 3>";
    page += item.description;
    page += "</font></td></tr><tr><td>";
    page += anchor;
    page += "<strong><font color=#ff0000 size=3>";
    page += "详细内容";
    page += "</font></strong></a>";
    page += "</td></tr><tr></tr>";
    page += "</table></body></html>";
    return page;
}

std::optional<ItemPage> ReadItemPage(const CAdoConnection& connection, const CNewsRow& row) {
    CAdoRecordset records(connection);
    if (!records.Open(ItemLookup(row))) {
        return std::nullopt;
    }
    char title[kTextSize] = {};
    char link[kLinkSize] = {};
    char description[kDescriptionSize] = {};
    char author[kTextSize] = {};
    char source[kTextSize] = {};
    records.BindColumn(kTitleColumn, title, kTextSize, kBindText);
    records.BindColumn(kLinkColumn, link, kLinkSize, kBindText);
    records.BindColumn(kDescriptionColumn, description, kDescriptionSize, kBindText);
    records.BindColumn(kAuthorColumn, author, kTextSize, kBindText);
    records.BindColumn(kSourceColumn, source, kTextSize, kBindText);
    // Only the look-up by ID says; the page shows the star as stored now.
    std::int32_t starred = 0;
    records.BindColumnByName("item_starred", &starred, sizeof starred, kBindNumber);
    records.Fetch();  // no record: the buffers stay empty
    records.Close();

    const ItemTexts item{title, link, description, author, source, starred != 0};
    ItemPage page;
    page.html = BuildItemPage(item, DateTextOf(row));
    page.link = item.link;
    if (IsSafeLink(item.link)) {
        page.baseUrl = item.link;
    }
    return page;
}

std::optional<std::string> ReadItemLink(const CAdoConnection& connection, const CNewsRow& row) {
    CAdoRecordset records(connection);
    if (!records.Open(ItemLookup(row))) {
        return std::nullopt;
    }
    char link[kLinkSize] = {};
    records.BindColumnByName("rss_link", link, kLinkSize, kBindText);
    const bool found = records.Fetch();
    records.Close();
    if (!found || !IsSafeLink(link)) {
        return std::nullopt;
    }
    return std::string(link);
}
