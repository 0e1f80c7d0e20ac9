#pragma once

#include <vector>

#include "model/news_row.h"
#include "store/app_settings.h"

// The order the user chose by clicking a list header. The age groups stay the first key, in
// the order a load lists them (today's first, undated last), and the chosen column orders the
// rows within each group: titles, channels, authors and sources by the Chinese collation
// (pinyin for Chinese characters, letter case ignored, numbers by value), 新闻发布 and
// 发布日期 by the date (undated rows as the oldest). Rows equal in the column keep the order
// the load gave them, in either direction.
struct CNewsSort {
    int column = -1;  // a NewsColumn; -1 keeps the order of the load
    bool descending = false;

    bool Active() const { return column >= 0 && column < kNewsColumnCount; }

    // Where the choice is kept (data/settings.conf), so that it holds after a restart.
    static constexpr CAppSettings::IntKey kColumnSetting{"list.sort_column", -1, -1,
                                                         kNewsColumnCount - 1};
    static constexpr CAppSettings::IntKey kDescendingSetting{"list.sort_descending", 0, 0, 1};
    static CNewsSort Load(const CAppSettings& settings);
    void Save(CAppSettings& settings) const;
};

// Puts `rows` in the order of `sort`; leaves them as they are while it is not Active. Returns
// whether any row moved.
bool SortNewsRows(std::vector<CNewsRow>& rows, const CNewsSort& sort);
