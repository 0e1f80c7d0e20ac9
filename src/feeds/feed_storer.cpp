#include "feeds/feed_storer.h"

#include "feeds/feed_date.h"
#include "feeds/rss_reader.h"
#include "store/ado_connection.h"
#include "store/ado_recordset.h"
#include "store/clock.h"
#include "store/statements.h"
#include "store/text_util.h"

namespace {

std::string RemoveAll(std::string_view text, std::initializer_list<std::u16string_view> patterns) {
    std::u16string wide = Utf8ToUtf16(text);
    for (std::u16string_view pattern : patterns) {
        wide = WideRemoveAll(wide, pattern);
    }
    return Utf16ToUtf8(wide);
}

// Whether the query opens and finds nothing. A query that fails counts as "found", so that
// nothing is added on a statement the database refuses.
bool FindsNothing(const CAdoConnection& connection, const std::string& sql) {
    CAdoRecordset records(connection);
    return records.Open(sql) && records.IsEOF();
}

int ChannelId(const CAdoConnection& connection, const std::string& keyword) {
    CAdoRecordset records(connection);
    std::int32_t id = -1;
    if (records.Open(SqlSelectChannel(keyword))) {
        records.MoveFirst();
        records.BindColumnByName("ID", &id, sizeof id, kBindNumber);
        records.Fetch();
        records.Close();
    }
    return id;
}

bool InsertChannel(CAdoConnection& connection, const std::string& keyword,
                   const CRssChannel& channel) {
    const auto& fields = ChannelFields();
    std::array<std::string_view, 18> values;
    CRssChannel copy = channel;
    // Every channel field after the feed's own title, in column order.
    for (std::size_t i = 1; i < fields.size(); ++i) {
        values[i - 1] = std::string_view(fields[i].field(copy));
    }
    return connection.Execute(SqlInsertChannel(keyword, values)) >= 0;
}

bool StoreItem(CAdoConnection& connection, const CRssItem& item, int channelId) {
    const std::string title = CleanTitle(item.title);
    if (!FindsNothing(connection, SqlSelectItem(title, channelId))) {
        return false;
    }
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
    return connection.Execute(SqlInsertItem(values)) >= 0;
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
    if (FindsNothing(connection, SqlSelectChannel(keyword)) && connection.IsOpen()) {
        outcome.channelCreated = InsertChannel(connection, keyword, reader.Channel());
    }
    const int channelId = ChannelId(connection, keyword);
    if (channelId < 0) {
        return outcome;
    }
    for (int i = 0; i < reader.ItemCount(); ++i) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            break;
        }
        CRssItem item;
        reader.ReadItem(i, &item);
        if (StoreItem(connection, item, channelId)) {
            ++outcome.itemsStored;
        }
        pacing.Pause(pauseAfterItem);
    }
    return outcome;
}
