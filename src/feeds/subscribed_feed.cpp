#include "feeds/subscribed_feed.h"

#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"

SubscribedFeedResult StoreSubscribedFeed(CAdoConnection& connection, const COpmlOutline& outline) {
    if (!connection.IsOpen()) {
        return SubscribedFeedResult::kFailed;
    }
    {
        CAdoRecordset lookup(connection);
        if (!lookup.Open(SqlSelectOpml(outline.title, outline.xmlUrl))) {
            return SubscribedFeedResult::kFailed;
        }
        const int count = lookup.GetRecordCount();
        lookup.Close();
        if (count != 0) {
            return SubscribedFeedResult::kKnown;
        }
    }
    const int changed =
        connection.Execute(SqlInsertOpml(outline.title, outline.xmlUrl, outline.htmlUrl));
    return changed < 0 ? SubscribedFeedResult::kFailed : SubscribedFeedResult::kStored;
}
