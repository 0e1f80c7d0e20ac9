#include "model/news_loader.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "base/ascii.h"
#include "base/clock.h"
#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "model/list_mode.h"
#include "store/ado_recordset.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/statements.h"

namespace {

// The IDs of the unread items among those a load reads.
using UnreadItems = std::unordered_set<std::int64_t>;

// The loaders read texts into buffers of this size; database texts never come near it.
constexpr int kTextBufferSize = 512;
// An address (guid, link) holds up to 2047 code-page bytes.
constexpr int kAddressBufferSize = static_cast<int>(CodePageFieldSize(2047));

// One statement's items, read record by record into buffers bound once for the whole
// query (bindings accumulate until the recordset closes).
class ItemRecords {
public:
    ItemRecords(const CAdoConnection& connection, const std::optional<std::string>& sql)
        : m_records(connection) {
        if (!sql || !m_records.Open(*sql)) {
            return;
        }
        m_records.BindColumnByName("ID", &m_id, sizeof m_id, kBindNumber);
        m_records.BindColumnByName("rss_title", m_title, kTextBufferSize, kBindText);
        m_records.BindColumnByName("rss_guid", m_guid, sizeof m_guid, kBindText);
        m_records.BindColumnByName("rss_link", m_link, sizeof m_link, kBindText);
        m_records.BindColumnByName("rss_author", m_author, kTextBufferSize, kBindText);
        m_records.BindColumnByName("rss_source", m_source, kTextBufferSize, kBindText);
        m_records.BindColumnByName("rss_pubDate", &m_date, sizeof m_date, kBindDate);
        // A search names each item's channel beside it, and whether it is unread.
        m_records.BindColumnByName("item_unread", &m_unread, sizeof m_unread, kBindNumber);
        m_records.BindColumnByName("channel_title", m_channel, kTextBufferSize, kBindText);
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
        m_records.Fetch();
    }
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
        return row;
    }
    void MoveNext() { m_records.MoveNext(); }

private:
    CAdoRecordset m_records;
    std::int32_t m_id = -1;
    char m_title[kTextBufferSize] = {};
    char m_guid[kAddressBufferSize] = {};
    char m_link[kAddressBufferSize] = {};
    char m_author[kTextBufferSize] = {};
    char m_source[kTextBufferSize] = {};
    char m_channel[kTextBufferSize] = {};
    CAdoDateValue m_date;
    std::int32_t m_unread = 0;
};

// The IDs a statement of unread items gives; none when it cannot run.
UnreadItems ReadUnreadItems(const CAdoConnection& connection,
                            const std::optional<std::string>& sql) {
    UnreadItems unread;
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

// Appends the rows of `records` while `current` holds, publishing the count at the first
// step and every later one with a pause, up to the row past CNewsList::kChannelRowLimit.
// Returns the count. An empty `channel` puts each row under its record's own channel.
int ReadRowsUpToLimit(ItemRecords& records, const std::string& channel, const UnreadItems* unread,
                      const std::function<bool()>& current,
                      const std::function<int(CNewsRow)>& append,
                      const std::function<void(int)>& publishAndPause) {
    int count = 0;
    while (!records.AtEnd() && current()) {
        records.Read();
        count = append(records.MakeRow(channel, unread));
        if (count == CNewsList::kFirstPublication || count % CNewsList::kPublicationStep == 0) {
            publishAndPause(count);
        }
        if (count > CNewsList::kChannelRowLimit) {
            break;
        }
        records.MoveNext();
    }
    return count;
}

}  // namespace

// What every statement of one load shares, fixed when the load starts.
struct CNewsList::Plan {
    int mode = kListModeAll;
    AccessDate cutoff;  // local date, retention period before today
    AccessDate today;   // UTC date

    std::optional<std::string> Statement(std::string_view name) const {
        switch (mode) {
            case kListModeAll:
                return SqlSelectRecentItems(name, cutoff);
            case kListModeToday:
                return SqlSelectItemsOfDay(name, today);
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
};

std::string NewsStatusText(int count) {
    return "记录更新" + std::to_string(count) + "条新闻...";
}

std::string SearchStatusText(int count) {
    return "搜索到" + std::to_string(count) + "条新闻";
}

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
    {
        std::lock_guard lock(m_stateMutex);
        if (m_busy) {
            return false;
        }
        // Claimed here rather than by the loader, so two quick requests cannot both start.
        m_busy = node.type == NODE_KEY || node.type == NODE_FOLDER;
    }
    // The previous loader has cleared its busy flag, so it is at its very end.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    {
        std::lock_guard lock(m_rowsMutex);
        m_rows.clear();
    }
    const std::uint64_t token = m_token.load();
    if (node.type == NODE_KEY) {
        m_thread =
            std::thread(&CNewsList::RunChannel, this, token, listMode, std::string(node.name));
        return true;
    }
    if (node.type == NODE_FOLDER) {
        m_thread =
            std::thread(&CNewsList::RunFolder, this, token, listMode, std::move(folderNames));
        return true;
    }
    // The rows are gone: the count and the status say so too, or old rows would stay painted
    // (or turn into blank rows) under a count nobody replaces.
    Publish(0);
    Status(0);
    return false;
}

bool CNewsList::RequestSearch(const std::string& typed) {
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
        std::thread(&CNewsList::RunSearch, this, m_token.load(), SearchMatchExpression(typed));
    return true;
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

CNewsList::Plan CNewsList::MakePlan(int mode) const {
    Plan plan;
    plan.mode = mode;
    DateDaysBefore(m_store.Settings().RetentionDays(), &plan.cutoff.year, &plan.cutoff.month,
                   &plan.cutoff.day);
    const CalendarTime utc = UtcNow();
    plan.today = {utc.year, utc.month, utc.day};
    return plan;
}

void CNewsList::RunChannel(std::uint64_t token, int mode, std::string name) {
    const Plan plan = MakePlan(mode);
    int count = 0;
    {
        // Read first: an item shown meanwhile is read, never the other way round.
        const UnreadItems unread = ReadUnreadItems(m_store, plan.UnreadStatement(name));
        ItemRecords records(m_store, plan.Statement(name));
        count = ReadRowsUpToLimit(
            records, name, &unread, [&] { return IsCurrent(token); },
            [this](CNewsRow row) { return Append(std::move(row)); },
            [this](int published) {
                Publish(published);
                m_pacing.Pause(kPause);
            });
    }
    Publish(count);
    Status(count);
    EndLoad(token);
}

void CNewsList::RunSearch(std::uint64_t token, std::string match) {
    int count = 0;
    // What storing queued and the indexer has not taken yet is indexed first, so that every
    // stored item can be found.
    while (!match.empty() && IsCurrent(token) && IndexQueuedSearchItems(m_store) > 0) {
    }
    if (!match.empty() && IsCurrent(token)) {
        ItemRecords records(m_store, SqlSearchItems(match, kChannelRowLimit + 1));
        count = ReadRowsUpToLimit(
            records, std::string(), nullptr, [&] { return IsCurrent(token); },
            [this](CNewsRow row) { return Append(std::move(row)); },
            [this](int published) {
                Publish(published);
                m_pacing.Pause(kPause);
            });
    }
    Publish(count);
    if (m_listener) {
        m_listener->ShowStatus(SearchStatusText(count));
    }
    EndLoad(token);
}

void CNewsList::RunFolder(std::uint64_t token, int mode, std::vector<std::string> names) {
    const Plan plan = MakePlan(mode);
    // The titles listed so far, lowered: the duplicate test costs the same for the
    // thousandth record as for the first.
    std::unordered_set<std::string> listed;
    bool outdated = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (!IsCurrent(token)) {
            outdated = true;
            break;
        }
        {
            const UnreadItems unread = ReadUnreadItems(m_store, plan.UnreadStatement(name));
            ItemRecords records(m_store, plan.Statement(name));
            while (!records.AtEnd()) {
                if (!IsCurrent(token)) {
                    outdated = true;
                    break;
                }
                records.Read();
                if (listed.insert(records.Identity()).second) {
                    Append(records.MakeRow(name, &unread));
                }
                records.MoveNext();
            }
        }
        if (outdated) {
            break;
        }
        const int count = SortRows();
        Publish(count);
        Status(count);
        if (count > kFolderRowLimit) {
            break;
        }
        if (i + 1 < names.size()) {
            m_pacing.Pause(kPause);
        }
    }
    if (names.empty()) {
        // Nothing else would replace the count of the list shown before.
        Publish(0);
        Status(0);
    }
    EndLoad(token);
}

int CNewsList::Append(CNewsRow row) {
    std::lock_guard lock(m_rowsMutex);
    m_rows.push_back(std::move(row));
    return static_cast<int>(m_rows.size());
}

int CNewsList::SortRows() {
    std::lock_guard lock(m_rowsMutex);
    // Stable, so rows of one channel and day keep the database's order.
    std::stable_sort(m_rows.begin(), m_rows.end(), NewsRowBefore);
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
