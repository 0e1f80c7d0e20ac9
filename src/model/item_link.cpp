#include "model/item_link.h"

#include <charconv>

#include "base/ascii.h"
#include "model/news_age.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/automation_date.h"
#include "store/statements.h"

namespace {

// Stored texts hold up to 255 code-page bytes (a description 2047).
constexpr int kTextSize = static_cast<int>(CodePageFieldSize(255));
constexpr int kDescriptionSize = static_cast<int>(CodePageFieldSize(2047));

std::string DateTextOf(const CAdoDateValue& date) {
    int year = -1;
    int month = -1;
    int day = -1;
    if (date.status == kDateValid && CivilFromAutomationDate(date.date, &year, &month, &day)) {
        return NewsDateText(year, month, day, kNewsDateValid);
    }
    return NewsDateText(-1, -1, -1, date.status == kDateNull ? kNewsDateNull : kNewsDateInvalid);
}

}  // namespace

std::string ItemLinkAddress(long long id) {
    return std::string(kItemLinkScheme) + ":" + std::to_string(id);
}

std::optional<long long> ItemIdOfLink(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos ||
        !EqualsIgnoreAsciiCase(address.substr(0, colon), kItemLinkScheme)) {
        return std::nullopt;
    }
    const std::string_view digits = address.substr(colon + 1);
    long long id = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || id < 0) {
        return std::nullopt;
    }
    return id;
}

std::optional<ItemPage> ReadItemPageById(const CAdoConnection& connection, long long id) {
    CAdoRecordset records(connection);
    if (!records.Open(SqlSelectItemById(id))) {
        return std::nullopt;
    }
    char title[kTextSize] = {};
    char link[kTextSize] = {};
    char description[kDescriptionSize] = {};
    char author[kTextSize] = {};
    char source[kTextSize] = {};
    CAdoDateValue date;
    records.BindColumnByName("rss_title", title, kTextSize, kBindText);
    records.BindColumnByName("rss_link", link, kTextSize, kBindText);
    records.BindColumnByName("rss_description", description, kDescriptionSize, kBindText);
    records.BindColumnByName("rss_author", author, kTextSize, kBindText);
    records.BindColumnByName("rss_source", source, kTextSize, kBindText);
    records.BindColumnByName("rss_pubDate", &date, sizeof date, kBindDate);
    std::int32_t starred = 0;
    records.BindColumnByName("item_starred", &starred, sizeof starred, kBindNumber);
    const bool found = records.Fetch();
    records.Close();
    if (!found) {
        return std::nullopt;
    }
    const ItemTexts item{title, link, description, author, source, starred != 0};
    ItemPage page;
    page.html = BuildItemPage(item, DateTextOf(date));
    page.link = item.link;
    if (IsSafeLink(item.link)) {
        page.baseUrl = item.link;
    }
    return page;
}
