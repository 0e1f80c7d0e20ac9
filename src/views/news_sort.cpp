#include "views/news_sort.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <limits>
#include <numeric>

namespace {

// The rank of an age group in the list: today first, then older ones, the undated and early
// rows last (kNewsAgeEarly is 0 but comes after every other group).
int GroupRank(const CNewsRow& row) {
    const NewsAge age = RowAgeCategory(row);
    return age == kNewsAgeEarly ? kNewsAgeCount : age;
}

// The day, and within it the time of day where the row has one (rows without come first in
// the day, as if published at its start).
double DateKey(const CNewsRow& row) {
    if (row.dateStatus != kNewsDateValid) {
        return -std::numeric_limits<double>::infinity();
    }
    return row.dateValue + std::max(row.secondsOfDay, 0) / 86400.0;
}

bool IsDateColumn(int column) {
    return column == kColumnCategory || column == kColumnDate;
}

}  // namespace

CNewsSort CNewsSort::Load(const CAppSettings& settings) {
    CNewsSort sort;
    sort.column = settings.Get(kColumnSetting);
    sort.descending = settings.Get(kDescendingSetting) != 0;
    return sort;
}

void CNewsSort::Save(CAppSettings& settings) const {
    settings.Set(kColumnSetting, Active() ? column : -1);
    settings.Set(kDescendingSetting, descending ? 1 : 0);
}

bool SortNewsRows(std::vector<CNewsRow>& rows, const CNewsSort& sort) {
    if (!sort.Active() || rows.size() < 2) {
        return false;
    }
    // The keys are worked out once a row, not once a comparison.
    std::vector<int> groups;
    std::vector<double> dates;
    std::vector<QCollatorSortKey> texts;
    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    for (const CNewsRow& row : rows) {
        groups.push_back(GroupRank(row));
        dates.push_back(DateKey(row));
        if (!IsDateColumn(sort.column)) {
            const std::string_view text = NewsRowColumnText(row, sort.column);
            texts.push_back(collator.sortKey(
                QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))));
        }
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (groups[a] != groups[b]) {
            return groups[a] < groups[b];
        }
        int compared = 0;
        if (IsDateColumn(sort.column)) {
            compared = dates[a] < dates[b] ? -1 : (dates[b] < dates[a] ? 1 : 0);
        } else {
            compared = texts[a].compare(texts[b]);
        }
        return sort.descending ? compared > 0 : compared < 0;
    });
    bool moved = false;
    for (std::size_t i = 0; i < order.size() && !moved; ++i) {
        moved = order[i] != i;
    }
    if (!moved) {
        return false;
    }
    std::vector<CNewsRow> sorted;
    sorted.reserve(rows.size());
    for (std::size_t index : order) {
        sorted.push_back(std::move(rows[index]));
    }
    rows = std::move(sorted);
    return true;
}
