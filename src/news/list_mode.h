#pragma once

#include <atomic>

// What the news-list place of the main window shows. The window thread sets it when it
// switches that pane; the news-list loaders read it when they build their statements.
constexpr int kListModeAll = 0;    // every item inside the retention period
constexpr int kListModeToday = 1;  // the items of today's UTC date only
constexpr int kListModeBook = 2;   // another view holds the place; there is no list

// The mode last chosen (kListModeAll at start). Written by the window thread, read by any.
extern std::atomic<int> g_nListMode;
