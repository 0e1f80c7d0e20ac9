#include "model/news_loader.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "base/ascii.h"
#include "base/clock.h"
#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "model/list_mode.h"
#include "model/search_scope.h"
#include "store/ado_recordset.h"
#include "store/rule_text.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/star_statements.h"
#include "store/statements.h"

namespace {

// The loaders read texts into buffers of this size; database texts never come near it.
constexpr int kTextBufferSize = 512;
// An address (guid, link) holds up to 2047 code-page bytes.
constexpr int kAddressBufferSize = static_cast<int>(CodePageFieldSize(2047));

// The names of a folder's list, each once: the database matches them ignoring ASCII case.
std::vector<std::string> DistinctNames(const std::vector<std::string>& names) {
    std::vector<std::string> distinct;
    std::unordered_set<std::string> seen;
    for (const std::string& name : names) {
        if (seen.insert(AsciiLowered(name)).second) {
            distinct.push_back(name);
        }
    }
    return distinct;
}

}  // namespace

// One statement's items, read record by record into buffers bound once for the whole
// query (bindings accumulate until the recordset closes).
class CNewsList::ItemRecords {
public:
    ItemRecords(const CAdoConnection& connection, const std::optional<std::string>& sql,
                std::function<bool()> stop = {})
        : m_records(connection) {
        m_records.SetStopCheck(std::move(stop));
        if (!sql || !m_records.Open(*sql)) {
            return;
        }
        m_records.BindColumnByName("ID", &m_id, sizeof m_id, kBindNumber);
        m_records.BindColumnByName("rss_title", m_title, kTextBufferSize, kBindText);
        m_records.BindColumnByName("rss_guid", m_guid, sizeof m_guid, kBindText);
        m_records.BindColumnByName("rss_link", m_link, sizeof m_link, kBindText);
        m_records.BindColumnByName("rss_author", m_author, kTextBufferSize, kBindText);
        m_records.BindColumnByName("rss_source", m_source, kTextBufferSize, kBindText);
        // An untitled item shows the first words of its text instead.
        m_records.BindColumnByName("rss_description", m_description, sizeof m_description,
                                   kBindText);
        m_records.BindColumnByName("rss_pubDate", &m_date, sizeof m_date, kBindDate);
        m_records.BindColumnByName("rss_pubTime", m_time, sizeof m_time, kBindText);
        // A folder's statement and a search's say whether each item is unread; a search also
        // names each item's channel beside it.
        m_records.BindColumnByName("item_unread", &m_unread, sizeof m_unread, kBindNumber);
        m_records.BindColumnByName("channel_title", m_channel, kTextBufferSize, kBindText);
        m_records.BindColumnByName("item_starred", &m_starred, sizeof m_starred, kBindNumber);
        m_records.BindColumnByName("item_colour", m_colour, sizeof m_colour, kBindText);
        m_records.BindColumnByName("item_hidden", &m_hidden, sizeof m_hidden, kBindNumber);
        // Only a folder's statement has it.
        m_records.BindColumnByName("keyword_index", &m_keywordIndex, sizeof m_keywordIndex,
                                   kBindNumber);
    }
    ~ItemRecords() { m_records.Close(); }
    ItemRecords(const ItemRecords&) = delete;
    ItemRecords& operator=(const ItemRecords&) = delete;

    // True also when the statement could not run.
    bool AtEnd() const { return m_records.IsEOF(); }
    // Reads the current record into the buffers.
    void Read() {
        // A NULL date leaves the binding untouched, so it must already say null.
        m_date = CAdoDateValue{};
        m_date.status = kDateNull;
        m_id = -1;
        m_description[0] = '\0';
        m_time[0] = '\0';
        m_colour[0] = '\0';
        m_hidden = 0;
        m_records.Fetch();
    }
    // The position of the name the row was found by, in the folder statement's names.
    std::size_t KeywordIndex() const { return static_cast<std::size_t>(m_keywordIndex); }
    // What tells the item from the others a folder lists, as the store tells items apart:
    // its title ignoring ASCII case and apostrophes, or for an untitled item its guid, else
    // its link, else its ID.
    std::string Identity() const {
        if (!IsUntitled(m_title)) {
            std::string title = AsciiLowered(m_title);
            std::erase(title, '\'');
            return title;
        }
        return std::string("\x01") + (m_guid[0]   ? m_guid
                                      : m_link[0] ? m_link
                                                  : std::to_string(m_id).c_str());
    }
    // A row under `channel`, or under the record's own channel when it is empty; unread when
    // `unread` holds its ID, or without `unread`, when its record says so.
    CNewsRow MakeRow(std::string_view channel, const UnreadItems* unread) const {
        CNewsRow row = MakeNewsRow(m_title, m_author, m_source, m_date,
                                   channel.empty() ? m_channel : channel, m_id);
        row.read = unread ? unread->count(m_id) == 0 : m_unread == 0;
        row.starred = m_starred != 0;
        row.colour = m_colour;
        row.hidden = m_hidden != 0;
        UseExcerptAsTitle(row, m_description);
        SetTimeOfDay(row, m_time);
        return row;
    }
    void MoveNext() { m_records.MoveNext(); }

private:
    CAdoRecordset m_records;
    std::int32_t m_id = -1;
    char m_title[kTextBufferSize] = {};
    char m_guid[kAddressBufferSize] = {};
    char m_link[kAddressBufferSize] = {};
    char m_time[16] = {};  // rss_pubTime, "HH:MM:SS"; empty where the item has none
    char m_author[kTextBufferSize] = {};
    char m_source[kTextBufferSize] = {};
    char m_description[kAddressBufferSize] = {};  // up to 2047 code-page bytes too
    char m_channel[kTextBufferSize] = {};
    CAdoDateValue m_date;
    std::int32_t m_unread = 0;
    std::int32_t m_starred = 0;
    char m_colour[16] = {};  // #rrggbb, or empty
    std::int32_t m_hidden = 0;
    std::int32_t m_keywordIndex = 0;
};

namespace {

// The IDs a statement of unread items gives; none when it cannot run.
CNewsList::UnreadItems ReadUnreadItems(const CAdoConnection& connection,
                                       const std::optional<std::string>& sql) {
    CNewsList::UnreadItems unread;
    CAdoRecordset records(connection);
    if (!sql || !records.Open(*sql)) {
        return unread;
    }
    std::int32_t id = 0;
    records.BindColumn(0, &id, sizeof id, kBindNumber);
    for (; !records.IsEOF(); records.MoveNext()) {
        records.Fetch();
        unread.insert(id);
    }
    return unread;
}

}  // namespace

// What every statement of one load shares, fixed when the load starts.
struct CNewsList::Plan {
    int mode = kListModeAll;
    ItemFilter filter;
    AccessDate cutoff;  // local date, retention period before today
    AccessDate today;   // local date

    std::optional<std::string> Statement(std::string_view name) const {
        switch (mode) {
            case kListModeAll:
                return SqlSelectRecentItems(name, cutoff, filter);
            case kListModeToday:
                return SqlSelectItemsOfDay(name, today, filter);
            default:
                return std::nullopt;  // no list is shown, so nothing is read
        }
    }

    // The channel's unread items among those Statement reads.
    std::optional<std::string> UnreadStatement(std::string_view name) const {
        switch (mode) {
            case kListModeAll:
                return SqlSelectUnreadItems(name, cutoff, false);
            case kListModeToday:
                return SqlSelectUnreadItems(name, today, true);
            default:
                return std::nullopt;
        }
    }

    std::optional<std::string> FolderStatement(const std::vector<std::string>& names, int limit,
                                               int offset) const {
        if (names.empty()) {
            return std::nullopt;
        }
        switch (mode) {
            case kListModeAll:
                return SqlSelectRecentItemsOfChannels(names, cutoff, limit, offset, filter);
            case kListModeToday:
                return SqlSelectItemsOfChannelsOfDay(names, today, limit, offset, filter);
            default:
                return std::nullopt;
        }
    }
};

CNewsList::CNewsList(CFeedStore& store, INewsListListener* listener)
    : m_store(store), m_listener(listener) {}

CNewsList::~CNewsList() {
    Invalidate();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CNewsList::RequestLoad(const CKeywordNode& node, int listMode,
                            std::vector<std::string> folderNames) {
    Invalidate();
    bool busy = false;
    if (StartLoader(node, listMode, std::move(folderNames), false, &busy)) {
        return true;
    }
    if (!busy) {
        // The rows are gone: the count and the status say so too, or old rows would stay
        // painted (or turn into blank rows) under a count nobody replaces.
        Publish(0);
        Status(0);
    }
    return false;
}

bool CNewsList::RequestRefresh(const CKeywordNode& node, int listMode,
                               std::vector<std::string> folderNames) {
    if (node.type != NODE_KEY && node.type != NODE_FOLDER && node.type != NODE_STARRED) {
        return false;
    }
    bool busy = false;
    return StartLoader(node, listMode, std::move(folderNames), true, &busy);
}

bool CNewsList::StartLoader(const CKeywordNode& node, int listMode,
                            std::vector<std::string> folderNames, bool refresh, bool* busy) {
    {
        std::lock_guard lock(m_stateMutex);
        if (m_busy) {
            *busy = true;
            return false;
        }
        // Claimed here rather than by the loader, so two quick requests cannot both start.
        m_busy = node.type == NODE_KEY || node.type == NODE_FOLDER || node.type == NODE_STARRED;
    }
    // The previous loader has cleared its busy flag, so it is at its very end.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    ItemFilter filter = FilterOfRequest(refresh);
    if (!refresh) {
        std::lock_guard lock(m_rowsMutex);
        m_rows.clear();
    }
    const std::uint64_t token = m_token.load();
    if (node.type == NODE_KEY) {
        m_thread = std::thread(&CNewsList::RunChannel, this, token, listMode, std::move(filter),
                               std::string(node.name), refresh);
        return true;
    }
    if (node.type == NODE_FOLDER) {
        m_thread = std::thread(&CNewsList::RunFolder, this, token, listMode, std::move(filter),
                               std::move(folderNames), refresh);
        return true;
    }
    if (node.type == NODE_STARRED) {
        m_thread = std::thread(&CNewsList::RunStarred, this, token, std::move(filter), refresh);
        return true;
    }
    return false;
}

bool CNewsList::ReplaceRows(std::uint64_t token, std::vector<CNewsRow> rows) {
    if (!IsCurrent(token)) {
        return false;
    }
    std::lock_guard lock(m_rowsMutex);
    m_rows = std::move(rows);
    return true;
}

bool CNewsList::RequestSearch(const std::string& typed,
                              std::optional<std::vector<std::string>> treeNames) {
    Invalidate();
    {
        std::lock_guard lock(m_stateMutex);
        if (m_busy) {
            return false;
        }
        m_busy = true;
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    {
        std::lock_guard lock(m_rowsMutex);
        m_rows.clear();
    }
    m_thread =
        std::thread(&CNewsList::RunSearch, this, m_token.load(), typed, std::move(treeNames));
    return true;
}

SearchShortfall CNewsList::LastSearchShortfall() const {
    std::lock_guard lock(m_stateMutex);
    return m_searchShortfall;
}

void CNewsList::Invalidate() {
    m_token.fetch_add(1);
}

std::vector<int> CNewsList::MarkRowsRead(const std::function<bool(const CNewsRow&)>& which) {
    std::vector<int> changed;
    std::lock_guard lock(m_rowsMutex);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].read && which(m_rows[i])) {
            m_rows[i].read = true;
            changed.push_back(static_cast<int>(i));
        }
    }
    return changed;
}

std::vector<int> CNewsList::ChangeRows(const std::function<bool(CNewsRow&)>& change) {
    std::vector<int> changed;
    std::lock_guard lock(m_rowsMutex);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (change(m_rows[i])) {
            changed.push_back(static_cast<int>(i));
        }
    }
    return changed;
}

void CNewsList::ReorderRows(const std::function<void(std::vector<CNewsRow>&)>& sort) {
    std::lock_guard lock(m_rowsMutex);
    sort(m_rows);
}

ItemFilter CNewsList::FilterOfRequest(bool refresh) const {
    ItemFilter filter;
    filter.unreadOnly = m_unreadOnly;
    filter.showHidden = m_showHidden;
    if (filter.unreadOnly && refresh) {
        std::lock_guard lock(m_rowsMutex);
        for (const CNewsRow& row : m_rows) {
            if (row.itemId >= 0) {
                filter.alsoIds.push_back(row.itemId);
            }
        }
    }
    return filter;
}

bool CNewsList::IsBusy() const {
    std::lock_guard lock(m_stateMutex);
    return m_busy;
}

void CNewsList::WaitUntilIdle() {
    std::unique_lock lock(m_stateMutex);
    m_idle.wait(lock, [this] { return !m_busy; });
}

bool CNewsList::WaitUntilIdleFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_stateMutex);
    return m_idle.wait_for(lock, timeout, [this] { return !m_busy; });
}

int CNewsList::RowCount() const {
    std::lock_guard lock(m_rowsMutex);
    return static_cast<int>(m_rows.size());
}

std::optional<CNewsRow> CNewsList::Row(int index) const {
    std::lock_guard lock(m_rowsMutex);
    if (index < 0 || static_cast<std::size_t>(index) >= m_rows.size()) {
        return std::nullopt;
    }
    return m_rows[static_cast<std::size_t>(index)];
}

std::vector<CNewsRow> CNewsList::Rows() const {
    std::lock_guard lock(m_rowsMutex);
    return m_rows;
}

CNewsList::Plan CNewsList::MakePlan(int mode, ItemFilter filter) const {
    Plan plan;
    plan.mode = mode;
    plan.filter = std::move(filter);
    DateDaysBefore(m_store.Settings().RetentionDays(), &plan.cutoff.year, &plan.cutoff.month,
                   &plan.cutoff.day);
    // Days are stored as the local calendar has them, so today is the local date too.
    const CalendarTime now = LocalNow();
    plan.today = {now.year, now.month, now.day};
    return plan;
}

void CNewsList::RunChannel(std::uint64_t token, int mode, ItemFilter filter, std::string name,
                           bool refresh) {
    const Plan plan = MakePlan(mode, std::move(filter));
    int count = 0;
    Buffer refreshed;
    {
        // Read first: an item shown meanwhile is read, never the other way round.
        const UnreadItems unread = ReadUnreadItems(m_store, plan.UnreadStatement(name));
        ItemRecords records(m_store, plan.Statement(name));
        int read = 0;
        count = ReadRows(token, records, {name}, &unread, nullptr, 0, &read,
                         refresh ? &refreshed : nullptr);
    }
    EndRows(token, count, refresh ? &refreshed : nullptr);
    EndLoad(token);
}

void CNewsList::EndRows(std::uint64_t token, int count, Buffer* refreshed) {
    if (refreshed == nullptr) {
        Publish(count);
        Status(count);
    } else if (m_listener && IsCurrent(token)) {
        m_listener->RefreshRead(token, std::move(*refreshed));
    }
}

void CNewsList::RunSearch(std::uint64_t token, std::string typed,
                          std::optional<std::vector<std::string>> treeNames) {
    int count = 0;
    SearchShortfall shortfall;
    std::string match = SearchMatchExpression(typed, &shortfall.textCut);
    // What storing queued and the indexer has not taken yet is indexed first, so that every
    // stored item can be found. A queue of more than a batch takes long enough to be said.
    // What cannot be indexed is counted instead of passed over.
    if (!match.empty() && m_listener) {
        const std::optional<SearchIndexState> index = ReadSearchIndexState(m_store);
        if (index && index->queued > kIndexBatchSize) {
            m_listener->ShowStatus(IndexingStatusText(index->queued));
        }
    }
    int failure = 0;
    while (!match.empty() && IsCurrent(token) &&
           IndexQueuedSearchItems(m_store, kIndexBatchSize, &failure) > 0) {
    }
    if (failure != 0) {
        const std::optional<SearchIndexState> index = ReadSearchIndexState(m_store);
        shortfall.unindexed = index ? index->queued : 0;
        shortfall.reason = shortfall.unindexed > 0 ? failure : 0;
    }
    if (!match.empty() && IsCurrent(token)) {
        // With the queue taken in, the index's words are those of every stored item.
        match = SpelledOutMatchExpression(m_store, typed);
        const std::vector<std::int64_t> excluded =
            treeNames ? ChannelsNotInTree(m_store, *treeNames) : std::vector<std::int64_t>{};
        ItemRecords records(
            m_store,
            SqlSearchItems(match, kChannelRowLimit + 1, excluded, SearchTextPatterns(typed)),
            [this, token] { return !IsCurrent(token); });
        int read = 0;
        count = ReadRows(token, records, {}, nullptr, nullptr, 0, &read, nullptr);
    }
    {
        std::lock_guard lock(m_stateMutex);
        m_searchShortfall = shortfall;
    }
    Publish(count);
    if (m_listener) {
        m_listener->ShowStatus(SearchStatusText(count, shortfall));
    }
    EndLoad(token);
}

void CNewsList::RunStarred(std::uint64_t token, ItemFilter filter, bool refresh) {
    Buffer refreshed;
    int count = 0;
    {
        ItemRecords records(m_store, SqlSelectStarredItems(filter, kChannelRowLimit + 1));
        int read = 0;
        count = ReadRows(token, records, {}, nullptr, nullptr, 0, &read,
                         refresh ? &refreshed : nullptr);
    }
    if (IsCurrent(token)) {
        EndRows(token, count, refresh ? &refreshed : nullptr);
    }
    EndLoad(token);
}

// The statement asks for a page of rows at a time: with a limit, the database keeps only the
// best rows of its sort and reads the other columns only for them, which costs a fraction of
// sorting every item of a large folder. Only titles that repeat leave a page short of the cap;
// the next page then goes on where it ended. Each row says whether its item is unread.
void CNewsList::RunFolder(std::uint64_t token, int mode, ItemFilter filter,
                          std::vector<std::string> names, bool refresh) {
    const Plan plan = MakePlan(mode, std::move(filter));
    names = DistinctNames(names);
    // The identities listed so far: the duplicate test costs the same for the thousandth
    // record as for the first.
    std::unordered_set<std::string> listed;
    int count = 0;
    int offset = 0;
    Buffer refreshed;
    while (IsCurrent(token) && count <= kChannelRowLimit) {
        ItemRecords records(m_store, plan.FolderStatement(names, kFolderPageRows, offset));
        int read = 0;
        count = ReadRows(token, records, names, nullptr, &listed, count, &read,
                         refresh ? &refreshed : nullptr);
        if (read < kFolderPageRows) {
            break;
        }
        offset += read;
    }
    // An outdated folder load leaves the count it last published.
    if (IsCurrent(token)) {
        EndRows(token, count, refresh ? &refreshed : nullptr);
    }
    EndLoad(token);
}

int CNewsList::ReadRows(std::uint64_t token, ItemRecords& records,
                        const std::vector<std::string>& names, const UnreadItems* unread,
                        std::unordered_set<std::string>* listed, int count, int* read,
                        Buffer* refreshed) {
    while (!records.AtEnd() && IsCurrent(token)) {
        records.Read();
        ++*read;
        if (listed == nullptr || listed->insert(records.Identity()).second) {
            const std::size_t index = records.KeywordIndex();
            CNewsRow row = records.MakeRow(index < names.size() ? names[index] : "", unread);
            if (refreshed != nullptr) {
                refreshed->push_back(std::move(row));
                count = static_cast<int>(refreshed->size());
            } else {
                count = Append(std::move(row));
            }
            if (refreshed == nullptr &&
                (count == kFirstPublication || count % kPublicationStep == 0)) {
                Publish(count);
                m_pacing.Pause(kPause);
            }
            if (count > kChannelRowLimit) {
                break;
            }
        }
        records.MoveNext();
    }
    return count;
}

int CNewsList::Append(CNewsRow row) {
    std::lock_guard lock(m_rowsMutex);
    m_rows.push_back(std::move(row));
    return static_cast<int>(m_rows.size());
}

void CNewsList::Publish(int count) {
    if (m_listener) {
        m_listener->PublishCount(count);
    }
}

void CNewsList::Status(int count) {
    if (m_listener) {
        m_listener->ShowStatus(NewsStatusText(count));
    }
}

void CNewsList::EndLoad(std::uint64_t token) {
    if (m_listener && IsCurrent(token)) {
        m_listener->LoadFinished();
    }
    SetIdle();
}

void CNewsList::SetIdle() {
    {
        std::lock_guard lock(m_stateMutex);
        m_busy = false;
    }
    m_idle.notify_all();
}
