#include "feeds/feed_storer.h"

#include "base/clock.h"
#include "base/text_util.h"
#include "feeds/item_day.h"
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

// The item as it is stored: its title cleaned (an untitled one with none at all), every
// other text as the feed wrote it, and the day StoredItemDay gives.
std::string InsertItemSql(const CRssItem& item, std::string_view language, int channelId) {
    const std::string title = CleanTitle(item.title);
    ItemValues values;
    values.channelId = channelId;
    values.title = IsUntitled(title) ? std::string_view() : std::string_view(title);
    values.link = item.link;
    values.description = item.description;
    values.author = item.author;
    values.category = item.category;
    values.comments = item.comments;
    values.enclosure = item.enclosure;
    values.guid = item.guid;
    values.pubDate = StoredItemDay(item.pubDate, language, LocalNow());
    values.source = item.source;
    return SqlInsertNewItem(values);
}

// Stores one item unless its channel holds the same item (see ItemKey). False when the
// statement failed (the reason in `failure`).
bool StoreItem(CAdoConnection& connection, const CRssItem& item, std::string_view language,
               int channelId, bool* stored, std::string* failure) {
    const int changed =
        connection.Execute(InsertItemSql(item, language, channelId), nullptr, failure);
    *stored = changed > 0;
    return changed >= 0;
}

}  // namespace

std::string CleanTitle(std::string_view title) {
    return RemoveAll(title, {u"&quot", u"<b>", u"</b>"});
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
        if (!StoreItem(connection, item, reader.Channel().language, channelId, &stored,
                       &outcome.failure)) {
            break;
        }
        outcome.itemsStored += stored ? 1 : 0;
        pacing.Pause(pauseAfterItem);
    }
    return outcome;
}
