#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

// Writes `contents` to a temporary file beside `path`, flushes it to disk and renames it
// over `path`: readers see the old file or the new one, never half of either. The folder
// must exist. The file gets the permissions `mode`; the temporary file is created readable by
// its owner only and widened to `mode` just before the rename, so a private file (0600) is
// never readable by others, not even for a moment. False when nothing was replaced (the
// temporary file is removed again); `errorNumber` (may be null) then gets the system's
// reason, an errno value.
bool WriteFileAtomically(const std::string& path, std::string_view contents, mode_t mode = 0644,
                         int* errorNumber = nullptr);

// Writes a temporary file beside `path` and links it in as `path` only if nothing is
// there: a file that exists, or that another process creates meanwhile, is left as it is.
// The new file appears whole or not at all. `error` (may be null) gets the system's reason
// on failure.
enum class NewFileResult { kCreated, kExisted, kFailed };
NewFileResult CreateFileAtomically(const std::string& path, std::string_view contents,
                                   std::string* error);
