#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/item_page.h"

class CAdoConnection;

// Generated pages link to the item pages of stored news with addresses of their own,
// "quillon-item:" and the item's ID. The browser pane never loads such an address: it hands
// the ID to whoever shows the item's page (see CTD_HtmlView::ItemLinkClicked). Generated pages
// run no script, so a link is the only way from one to another.

inline constexpr std::string_view kItemLinkScheme = "quillon-item";

// "quillon-item:" + id.
std::string ItemLinkAddress(long long id);
// The ID an item link names; nothing for any other address (another scheme, no number, a
// number that does not fit, anything after it).
std::optional<long long> ItemIdOfLink(std::string_view address);

// The page of the item stored with `id`, as a click in the list shows it (BuildItemPage),
// dated by the item's own date. Nothing when the look-up cannot run or finds no item. Any
// thread; each call uses its own recordset.
std::optional<ItemPage> ReadItemPageById(const CAdoConnection& connection, long long id);
