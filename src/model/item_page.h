#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/news_row.h"

class CAdoConnection;

// The generated page of one news item, shown in the browser pane on a click in the list,
// and the look-ups behind the list's clicks.

// The item texts the page shows, as stored.
struct ItemTexts {
    std::string title;
    std::string link;
    std::string description;  // the feed's HTML; the page renders it as HTML
    std::string author;
    std::string source;
    bool starred = false;  // the page shows a filled star beside the title
};

// Whether `link` may become a live link or a navigation target: an absolute address whose
// scheme is http, https, ftp or mailto (any case), with no control character anywhere.
// Everything else, javascript: and file: addresses included, is refused.
bool IsSafeLink(std::string_view link);

// The page as one line of HTML: on a pale yellow table the title (kUntitledText for an
// untitled item) linking to the item, after a filled star (kStarMark) when it is starred, the
// source and `dateText` in grey, the author, the description, and a "详细内容" link to the
// item. Title, source, date and author are escaped as plain text; the description is put
// in as it is. Both links are quoted and escaped, and left without an address when the link
// is not IsSafeLink.
std::string BuildItemPage(const ItemTexts& item, std::string_view dateText);
// The star beside a starred item's title.
inline constexpr char kStarMark[] = "★";

struct ItemPage {
    std::string html;
    std::string link;     // the item's stored rss_link; empty when the item was not found
    std::string baseUrl;  // `link` when IsSafeLink, otherwise empty: the view's base address
};

// A single click on `row`: looks the item up by the row's item ID (else by its full title
// and channel name) and builds its page with the row's date. An item no longer stored still gives a
// page, with empty texts. Nothing when the look-up cannot run (for example the database is closed).
// Any thread; each call uses its own recordset.
std::optional<ItemPage> ReadItemPage(const CAdoConnection& connection, const CNewsRow& row);

// A double click on `row`: the rss_link of the first item the same look-up finds. Nothing
// when the look-up cannot run, finds no item, or the link is not IsSafeLink (a feed must
// not send the pane to a script or a local file).
std::optional<std::string> ReadItemLink(const CAdoConnection& connection, const CNewsRow& row);
