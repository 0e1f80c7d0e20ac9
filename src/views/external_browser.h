#pragma once

#include <string>

// Opens `address` in the user's own web browser: through the desktop's URL handling, and
// when that fails through xdg-open. Returns whether a browser was launched. May be called
// from any thread; from a worker it asks the window thread (which keeps servicing requests
// whenever it waits for workers) to do the desktop part.
bool OpenInExternalBrowser(const std::string& address);
