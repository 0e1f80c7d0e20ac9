#include "feeds/feed_storer.h"

#include "base/clock.h"
#include "base/text_util.h"
#include "feeds/item_day.h"
#include "feeds/rss_reader.h"
#include "store/ado_connection.h"
#include "store/ado_error.h"
#include "store/ado_transaction.h"
#include "store/new_item_statement.h"
#include "store/rule_applier.h"
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

// `text` without any of the non-overlapping `piece`s found from its start, as WideRemoveAll.
std::string BytesRemoveAll(std::string_view text, std::string_view piece) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(piece, from);
        out.append(text.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos) {
            return out;
        }
        from = at + piece.size();
    }
}

// The channel's ID (its row's first column), or nothing; false with the reason in `failure`.
bool ChannelId(CAdoTransaction& transaction, const std::string& keyword,
               std::optional<std::int64_t>* id, std::string* failure) {
    return transaction.QueryBoundInteger(kSqlSelectBoundChannel, keyword, id, failure);
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

// Stores the item as it is stored: its title cleaned (an untitled one with none at all), every
// other text as the feed wrote it, and the day and time StoredItemMoment gives; unless its
// channel holds it. 1 stored, 0 not, -1 failed (the reason in `failure`).
int StoreItem(CNewItemStatement& statement, CRuleMarks& marks,
              const std::vector<CompiledRule>& rules, const CRssItem& item,
              std::string_view language, int channelId, std::string* failure) {
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
    const ItemMoment published = StoredItemMoment(item.pubDate, language, LocalNow());
    values.pubDate = published.day;
    values.pubTime = published.time;
    values.source = item.source;
    int code = SQLITE_OK;
    const int changed = statement.Insert(values, &code, failure);
    if (changed < 0) {
        *failure = FormatAdoError(code, *failure);
    }
    // The rules see the item as it is stored, before anything else can read it.
    if (changed > 0 && !rules.empty() &&
        !marks.ApplyMatching(rules, sqlite3_last_insert_rowid(statement.Handle()), values.title,
                             values.description, failure)) {
        return -1;
    }
    return changed;
}

}  // namespace

std::string CleanTitle(std::string_view title) {
    // The pieces are ASCII, which never stands inside a UTF-8 sequence: valid text loses them
    // byte for byte as it would as UTF-16. Other text goes through UTF-16 as it always did,
    // which puts U+FFFD for what is not UTF-8.
    if (!IsValidUtf8(title)) {
        return RemoveAll(title, {u"&quot", u"<b>", u"</b>"});
    }
    std::string cleaned(title);
    for (std::string_view piece : {"&quot", "<b>", "</b>"}) {
        cleaned = BytesRemoveAll(cleaned, piece);
    }
    return cleaned;
}

StoreOutcome StoreFeed(CAdoConnection& connection, CRssReader& reader, const std::string& keyword,
                       const Pacing& pacing, Pacing::Duration pauseAfterItem,
                       const std::atomic<bool>* stop, const NewsRuleSet* rules) {
    StoreOutcome outcome;
    // The feed is one transaction: one WAL write instead of one per item, and the duplicate
    // checks cannot race with another storing thread, which waits for the write lock.
    CAdoTransaction transaction(connection);
    if (!transaction.Begin(&outcome.failure)) {
        return outcome;
    }
    std::optional<std::int64_t> channelId;
    if (!ChannelId(transaction, keyword, &channelId, &outcome.failure)) {
        return outcome;
    }
    if (!channelId) {
        int code = SQLITE_OK;
        outcome.channelCreated = transaction.Execute(InsertChannelSql(keyword, reader.Channel()),
                                                     &code, &outcome.failure) >= 0;
        // A row that is there already (a name of other case in an old file) counts as done.
        if ((!outcome.channelCreated && code != SQLITE_CONSTRAINT_UNIQUE) ||
            !ChannelId(transaction, keyword, &channelId, &outcome.failure)) {
            outcome.channelCreated = false;
            return outcome;
        }
        if (!channelId) {
            outcome.channelCreated = false;
            outcome.failure = "no channel row for " + keyword;
            return outcome;
        }
    }
    outcome.failure.clear();
    CNewItemStatement statement(transaction.Handle(), &transaction.Statements());
    CRuleMarks marks(transaction.Handle());
    const std::vector<CompiledRule> channelRules =
        rules ? CompileRulesFor(*rules, keyword) : std::vector<CompiledRule>();
    int read = 0;
    for (; read < reader.ItemCount(); ++read) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            break;
        }
        CRssItem item;
        reader.ReadItem(read, &item);
        const int changed =
            StoreItem(statement, marks, channelRules, item, reader.Channel().language,
                      static_cast<int>(*channelId), &outcome.failure);
        if (changed < 0) {
            break;
        }
        outcome.itemsStored += changed > 0 ? 1 : 0;
    }
    // What was stored before a failing statement is kept, as it was when each item was a
    // commit of its own; unless the failure undid the whole transaction.
    std::string commitFailure;
    if (!transaction.Commit(&commitFailure)) {
        outcome.channelCreated = false;
        outcome.itemsStored = 0;
        if (outcome.failure.empty()) {
            outcome.failure = commitFailure;
        }
    }
    // The pauses between items come after the commit, so that the write lock is not held
    // while this thread sleeps; they still spread storing feeds over time as before.
    pacing.PauseRepeated(pauseAfterItem, read, stop);
    return outcome;
}
