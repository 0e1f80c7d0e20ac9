#pragma once

#include <string>

// What the search bar's and the link panel's buttons do to the main window.

// Sends the browser pane to `address` as it stands and applies the page layout: the news
// list is hidden and the page fills the right side below the search bar.
void OpenInBrowserPane(const std::string& address);

// Puts a fresh view for list mode `mode` (kListModeAll, kListModeToday or kListModeBook) in
// the news-list place, applies the list layout (the list at three quarters of the window's
// height) and has the document update its views.
void ShowListMode(int mode);
