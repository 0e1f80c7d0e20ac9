#pragma once

#include <string>
#include <string_view>

// Writes `contents` to a temporary file beside `path`, flushes it to disk and renames it
// over `path`: readers see the old file or the new one, never half of either. The folder
// must exist. False when nothing was replaced (the temporary file is removed again).
bool WriteFileAtomically(const std::string& path, std::string_view contents);
