#pragma once

#include "feeds/opml_document.h"

class CAdoConnection;

// What storing one outline of a subscribed list did.
enum class SubscribedFeedResult {
    kStored,  // a new (title, xmlUrl) pair: its row is in the opml table now
    kKnown,   // the pair was stored before: nothing was written
    kFailed,  // the connection is closed, or the lookup or the insert failed
};

// Stores the outline as a row of the opml table (opml_key = title, opml_xml_url = xmlUrl,
// opml_html_url = htmlUrl) unless a row with the same title and xmlUrl exists. Values are
// compared and stored exactly, apostrophes and all.
SubscribedFeedResult StoreSubscribedFeed(CAdoConnection& connection, const COpmlOutline& outline);
