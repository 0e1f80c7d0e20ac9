#pragma once

#include <string>

#include "base/http_fetch.h"

class CAdoConnection;

// The validators remembered for subscribed feeds (the feed_validator table), per channel
// keyword and feed address. Any thread may call these; each runs one statement.

// What was remembered for the feed; empty when nothing was, or when the query fails (the
// feed is then fetched in full, which loses nothing).
FetchValidators LoadFeedValidators(const CAdoConnection& connection, const std::string& keyword,
                                   const std::string& address);

// Remembers `validators` for the feed, or forgets what was remembered when they are empty.
// Call it only once the document they came with is stored: a later fetch that sends them may
// be told that nothing changed. False, with the reason in `failure`, when the statement fails.
bool SaveFeedValidators(CAdoConnection& connection, const std::string& keyword,
                        const std::string& address, const FetchValidators& validators,
                        std::string* failure);
