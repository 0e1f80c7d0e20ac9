#pragma once

// What the news-list place of the main window shows: the window keeps the mode it last
// chose and hands it to each load it requests.
constexpr int kListModeAll = 0;    // every item inside the retention period
constexpr int kListModeToday = 1;  // the items of today (local date) and of days ahead of it
constexpr int kListModeBook = 2;   // another view holds the place; there is no list
