#pragma once

#include <cstdint>
#include <string>

#include "store/sql_text.h"

class CAdoConnection;

// Removing old news: every item dated before a cut-off day, but for the starred ones (always
// kept), the unread ones when asked to keep them, and those without a date. The triggers of
// the item table take each removed item out of the search index, the read state and the
// stars in the same statement. Runs on any thread that may use the connection; it shares no
// state of its own.

struct CleanRule {
    AccessDate before;       // items dated before this local day go
    bool keepUnread = true;  // unread items stay, whatever their age
};

// What a clean-up would remove.
struct CleanPlan {
    std::int64_t items = 0;
    // About how much the file would shrink: the removed rows' text with a share for their
    // index entries, and the pages free already, which compacting gives back too.
    std::int64_t bytes = 0;
};

struct CleanResult {
    std::int64_t itemsRemoved = 0;
    std::int64_t sizeBefore = 0;  // the database file and its WAL, in bytes
    std::int64_t sizeAfter = 0;
    bool compacted = false;  // VACUUM ran; the items are gone either way
};

// The longest age a clean-up takes, in days (a hundred years).
constexpr int kMaxCleanDays = 36'500;

// Counts what CleanOldNews would remove. False, with the reason in `failure`, when the
// connection is closed or the query fails.
bool CountOldNews(const CAdoConnection& connection, const CleanRule& rule, CleanPlan* plan,
                  std::string* failure);

// Removes the items `rule` names, in batches of their own transactions (other writers wait
// for one batch at most), records per channel the day before which news was removed (such
// an item is then not stored again, see channel_cleaned), then compacts the file. False, with
// the reason in `failure`, when a batch fails: the batches before it stay removed and
// `result` counts them. A failed compaction (another program reading for long) is not a
// failure: the items are gone, and `result->compacted` says the file was left as it was.
bool CleanOldNews(const CAdoConnection& connection, const CleanRule& rule, CleanResult* result,
                  std::string* failure);

// The size of the database file at `path` with its WAL, in bytes; 0 when there is none.
std::int64_t DatabaseFileSize(const std::string& path);
