#include "feeds/feed_storer.h"

#include "base/clock.h"
#include "base/text_util.h"
#include "feeds/feed_date.h"
#include "feeds/rss_reader.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/statements.h"

#include <sqlite3.h>

namespace {

std::string RemoveAll(std::string_view text, std::initializer_list<std::u16string_view> patterns) {
    std::u16string wide = Utf8ToUtf16(text);
    for (std::u16string_view pattern : patterns) {
        wide = WideRemoveAll(wide, pattern);
    }
    return Utf16ToUtf8(wide);
}

// What a look-up found; a query that cannot run leaves its reason in `failure`.
enum class Lookup { kFound, kNotFound, kFailed };

Lookup Find(const CAdoConnection& connection, const std::string& sql, std::string* failure) {
    CAdoRecordset records(connection);
    if (!records.Open(sql)) {
        *failure = records.LastError();
        return Lookup::kFailed;
    }
    return records.IsEOF() ? Lookup::kNotFound : Lookup::kFound;
}

// An insert that fails only because the row is there already counts as done.
bool Insert(CAdoConnection& connection, const std::string& sql, bool* inserted,
            std::string* failure) {
    int code = SQLITE_OK;
    *inserted = connection.Execute(sql, &code, failure) >= 0;
    if (!*inserted && code == SQLITE_CONSTRAINT_UNIQUE) {
        failure->clear();
        return true;
    }
    return *inserted;
}

// The channel's ID, or -1 with the reason in `failure`.
int ChannelId(const CAdoConnection& connection, const std::string& keyword, std::string* failure) {
    CAdoRecordset records(connection);
    std::int32_t id = -1;
    if (!records.Open(SqlSelectChannel(keyword))) {
        *failure = records.LastError();
        return -1;
    }
    records.BindColumnByName("ID", &id, sizeof id, kBindNumber);
    records.Fetch();
    if (id < 0) {
        *failure = "no channel row for " + keyword;
    }
    return id;
}

std::string InsertChannelSql(const std::string& keyword, const CRssChannel& channel) {
    const auto& fields = ChannelFields();
    std::array<std::string_view, 18> values;
    CRssChannel copy = channel;
    // Every channel field after the feed's own title, in column order.
    for (std::size_t i = 1; i < fields.size(); ++i) {
        values[i - 1] = std::string_view(fields[i].field(copy));
    }
    return SqlInsertChannel(keyword, values);
}

std::string InsertItemSql(const CRssItem& item, const std::string& title, int channelId) {
    const std::string description = CleanDescription(item.description);
    // An item whose feed gives no readable date is dated the day it is first stored, so
    // that it shows among today's news rather than vanishing among the oldest.
    const CalendarTime today = LocalNow();
    const CFeedDate date =
        ReadFeedDate(item.pubDate).value_or(CFeedDate{today.day, today.month, today.year, 0, 0, 0});
    ItemValues values;
    values.channelId = channelId;
    values.title = title;
    values.link = item.link;
    values.description = description;
    values.author = item.author;
    values.category = item.category;
    values.comments = item.comments;
    values.enclosure = item.enclosure;
    values.guid = item.guid;
    values.pubDate = {date.year, date.month, date.day};
    values.source = item.source;
    return SqlInsertItem(values);
}

// Stores one item unless its channel holds its title already. False when a statement
// failed (the reason in `failure`).
bool StoreItem(CAdoConnection& connection, const CRssItem& item, int channelId, bool* stored,
               std::string* failure) {
    *stored = false;
    const std::string title = CleanTitle(item.title);
    switch (Find(connection, SqlSelectItem(title, channelId), failure)) {
        case Lookup::kFailed:
            return false;
        case Lookup::kFound:
            return true;
        case Lookup::kNotFound:
            break;
    }
    return Insert(connection, InsertItemSql(item, title, channelId), stored, failure);
}

}  // namespace

std::string CleanTitle(std::string_view title) {
    return RemoveAll(title, {u"&quot", u"<b>", u"</b>", u"'"});
}

std::string CleanDescription(std::string_view description) {
    return RemoveAll(description, {u"'"});
}

StoreOutcome StoreFeed(CAdoConnection& connection, CRssReader& reader, const std::string& keyword,
                       const Pacing& pacing, Pacing::Duration pauseAfterItem,
                       const std::atomic<bool>* stop) {
    StoreOutcome outcome;
    const Lookup channel = Find(connection, SqlSelectChannel(keyword), &outcome.failure);
    if (channel == Lookup::kFailed ||
        (channel == Lookup::kNotFound &&
         !Insert(connection, InsertChannelSql(keyword, reader.Channel()), &outcome.channelCreated,
                 &outcome.failure))) {
        return outcome;
    }
    const int channelId = ChannelId(connection, keyword, &outcome.failure);
    if (channelId < 0) {
        return outcome;
    }
    outcome.failure.clear();
    for (int i = 0; i < reader.ItemCount(); ++i) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            break;
        }
        CRssItem item;
        reader.ReadItem(i, &item);
        bool stored = false;
        if (!StoreItem(connection, item, channelId, &stored, &outcome.failure)) {
            break;
        }
        outcome.itemsStored += stored ? 1 : 0;
        pacing.Pause(pauseAfterItem);
    }
    return outcome;
}
