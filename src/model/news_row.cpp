#include "model/news_row.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/text_util.h"
#include "model/newspaper_page.h"
#include "store/statements.h"

namespace {

struct Ymd {
    int year = -1;
    int month = -1;
    int day = -1;
};

Ymd DateOf(const CNewsRow& row) {
    Ymd date;
    RowDate(row, &date.year, &date.month, &date.day);
    return date;
}

}  // namespace

CNewsRow MakeNewsRow(std::string_view title, std::string_view author, std::string_view source,
                     const CAdoDateValue& date, std::string_view channel, std::int64_t itemId) {
    CNewsRow row;
    row.itemId = itemId;
    row.dateValue = date.date;
    row.dateStatus = date.status;
    int year = -1;
    int month = -1;
    int day = -1;
    if (row.dateStatus == kNewsDateValid &&
        !CivilFromAutomationDate(row.dateValue, &year, &month, &day)) {
        row.dateStatus = kNewsDateInvalid;
    }
    if (row.dateStatus != kNewsDateValid) {
        year = month = day = -1;
        row.dateValue = 0.0;
    }
    AgeCategoryName(year, month, day, row.categoryName);
    row.untitled = IsUntitled(title);
    row.title = row.untitled ? std::string_view(kUntitledText)
                             : CutToCodePageLimit(title, kMaxNewsRowTitleBytes);
    CopyToCodePageField(row.channel, kMaxNewsRowFieldBytes, channel);
    CopyToCodePageField(row.dateText, kMaxNewsRowFieldBytes,
                        NewsDateText(year, month, day, row.dateStatus));
    CopyToCodePageField(row.author, kMaxNewsRowFieldBytes, author);
    CopyToCodePageField(row.source, kMaxNewsRowFieldBytes, source);
    row.storedTitle.assign(title);
    row.channelName.assign(channel);
    return row;
}

void UseExcerptAsTitle(CNewsRow& row, std::string_view description) {
    if (!row.untitled || description.empty()) {
        return;
    }
    std::string excerpt = PlainExcerpt(description, kUntitledExcerptChars);
    // A cut text ends at a word's end where its words are apart by blanks.
    static constexpr std::string_view kEllipsis = "…";
    if (excerpt.ends_with(kEllipsis)) {
        const std::size_t blank = excerpt.rfind(' ');
        if (blank != std::string::npos && blank > excerpt.size() / 2) {
            excerpt = excerpt.substr(0, blank) + std::string(kEllipsis);
        }
    }
    if (!excerpt.empty()) {
        row.title = CutToCodePageLimit(excerpt, kMaxNewsRowTitleBytes);
    }
}

void SetTimeOfDay(CNewsRow& row, std::string_view time) {
    const auto digit = [&](std::size_t i) { return time[i] >= '0' && time[i] <= '9'; };
    const auto number = [&](std::size_t i) { return (time[i] - '0') * 10 + (time[i + 1] - '0'); };
    if (row.dateStatus != kNewsDateValid || time.size() < 5 || !digit(0) || !digit(1) ||
        time[2] != ':' || !digit(3) || !digit(4) || number(0) > 23 || number(3) > 59) {
        return;
    }
    const bool withSeconds = time.size() >= 8 && time[5] == ':' && digit(6) && digit(7);
    row.secondsOfDay = number(0) * 3600 + number(3) * 60 + (withSeconds ? number(6) % 60 : 0);
    const NewsAge age = RowAgeCategory(row);
    if (age != kNewsAgeToday && age != kNewsAgeYesterday) {
        return;
    }
    const std::string text = std::string(row.dateText) + " " + std::string(time.substr(0, 5));
    CopyToCodePageField(row.dateText, kMaxNewsRowFieldBytes, text);
}

bool RowDate(const CNewsRow& row, int* year, int* month, int* day) {
    if (row.dateStatus == kNewsDateValid &&
        CivilFromAutomationDate(row.dateValue, year, month, day)) {
        return true;
    }
    *year = *month = *day = -1;
    return false;
}

NewsAge RowAgeCategory(const CNewsRow& row) {
    const Ymd date = DateOf(row);
    return AgeCategory(date.year, date.month, date.day);
}

std::string_view NewsRowColumnText(const CNewsRow& row, int column) {
    switch (column) {
        case kColumnCategory:
            return row.categoryName;
        case kColumnTitle:
            return row.title;
        case kColumnChannel:
            return row.channel;
        case kColumnDate:
            return row.dateText;
        case kColumnAuthor:
            return row.author;
        case kColumnSource:
            return row.source;
        default:
            return {};
    }
}

bool NewsRowBefore(const CNewsRow& a, const CNewsRow& b) {
    const Ymd da = DateOf(a);
    const Ymd db = DateOf(b);
    // A missing date is -1, -1, -1, older than every real day, so it sorts last.
    if (da.year != db.year) {
        return da.year > db.year;
    }
    if (da.month != db.month) {
        return da.month > db.month;
    }
    if (da.day != db.day) {
        return da.day > db.day;
    }
    return CompareIgnoreAsciiCase(a.channelName, b.channelName) < 0;
}
