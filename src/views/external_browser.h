#pragma once

#include <string>

class QWidget;

// Opens `address` in the user's own web browser: through the desktop's URL handling, and
// when that fails through xdg-open. Returns whether a browser was launched. May be called
// from any thread; from a worker it asks the window thread (which keeps servicing requests
// whenever it waits for workers) to do the desktop part.
bool OpenInExternalBrowser(const std::string& address);

// Tells the user, in a message box over `parent`, that no browser could be started for
// `address` and what to do. Does not wait for the box to close. Window thread only.
void TellNoBrowser(QWidget* parent, const std::string& address);

// OpenInExternalBrowser, then TellNoBrowser when it fails. Window thread only.
bool OpenInExternalBrowserOrTell(QWidget* parent, const std::string& address);
