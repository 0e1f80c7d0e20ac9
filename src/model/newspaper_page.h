#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/node_map.h"

class CAdoConnection;

// The newspaper: one generated page with today's and yesterday's news of the whole tree,
// under a heading for each top-level folder (its channels below it, depth first) and for each
// top-level channel, the headings listed first as a table of contents linking to them. Each
// item shows its title as a link to its item page (ItemLinkAddress), bold while unread and
// grey once read, the day and the first words of its description as plain text.

struct NewspaperItem {
    long long id = 0;
    std::string title;
    std::string excerpt;  // the description's first words, as plain text
    bool today = false;   // else yesterday
    bool unread = false;
};

struct NewspaperChannel {
    std::string name;
    std::vector<NewspaperItem> items;  // newest first
};

// A top-level folder with the channels below it, or a top-level channel on its own (then its
// one channel bears the section's name).
struct NewspaperSection {
    std::string name;
    bool folder = false;
    std::vector<NewspaperChannel> channels;
};

// At most this many items of one channel are printed.
constexpr std::size_t kNewspaperItemsPerChannel = 30;
// An excerpt holds at most this many characters of the description's text.
constexpr std::size_t kNewspaperExcerptChars = 120;

// The description's text without its markup: tags dropped, character references and the
// common named ones decoded, blanks run together, cut after `maxChars` characters with "…".
std::string PlainExcerpt(std::string_view html, std::size_t maxChars = kNewspaperExcerptChars);

// The page, with `dateLine` under its title. Channels and sections without news are left out;
// with none at all the page says so, and how many unread news (`unreadElsewhere`) wait on
// other days. Every text is escaped; the page holds no script and no address but the item
// links and its own headings.
std::string BuildNewspaperPage(const std::vector<NewspaperSection>& sections,
                               std::string_view dateLine, int unreadElsewhere = 0);

// Reads the news of today and yesterday (local calendar) of every channel of the tree in
// `nodes` below `root` with one statement and builds the page. A database that cannot be read
// gives the page of a day without news. Any thread that may read the node map.
std::string ReadNewspaper(const CNodeMap& nodes, CNodeMap::Handle root,
                          const CAdoConnection& connection);
