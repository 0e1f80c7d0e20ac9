#pragma once

#include <cstdint>
#include <string>

// "共 24 条新闻": the status line after a load.
std::string NewsStatusText(int count);
// What a search left out: typed text beyond the query's limits (search_terms.h), and stored
// items it could not search because they could not be indexed first (a full disk, a lock held
// past the busy time-out, a file that can only be read), with SQLite's result code of that
// failure.
struct SearchShortfall {
    bool textCut = false;
    std::int64_t unindexed = 0;
    int reason = 0;  // 0 when indexing did not fail
};

// "搜索到" + count + "条新闻": the status line after a search, and what it left out and why.
std::string SearchStatusText(int count, const SearchShortfall& shortfall = {});
// "正在为 n 条新闻建立索引…": the status line while a search first indexes a large queue.
std::string IndexingStatusText(std::int64_t count);
