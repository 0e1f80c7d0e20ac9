#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "feeds/pacing.h"
#include "model/news_row.h"
#include "model/news_status_text.h"
#include "store/keyword_tree_file.h"
#include "store/statements.h"

class CFeedStore;

// What a loader tells the window. Both are called on the loader thread (for a request that
// loads nothing, on the requesting thread), never while the list holds a lock, so an
// implementation may read rows; one called on the requesting thread must not wait for it.
class INewsListListener {
public:
    virtual ~INewsListListener() = default;
    // The first `count` rows of the store are there to be shown.
    virtual void PublishCount(int count) = 0;
    // A line for the status bar's message pane.
    virtual void ShowStatus(const std::string& text) = 0;
    // The load has ended, after its last publication (not for one that was outdated).
    virtual void LoadFinished() {}
    // A refresh (RequestRefresh) has read `rows`, to replace the rows shown through
    // ReplaceRows with `token`. Not called for a refresh that was outdated meanwhile.
    virtual void RefreshRead(std::uint64_t token, std::vector<CNewsRow> rows) {
        static_cast<void>(token);
        static_cast<void>(rows);
    }
};

// The name of the node above the tree that lists every starred item (NODE_STARRED), in the
// tree and on the command line.
inline constexpr char kStarredNodeName[] = "星标新闻";

// The news list's state for the whole process: the rows of the channel or folder last
// clicked, filled by one loader thread at a time from the store's database.
//
// A channel load reads the channel's items (by the list mode of its request: those inside
// the retention period, or those of today's local date and after) newest first, at most 1001,
// publishing the count at 200 and at every multiple of 500 with a pause each time. A folder load
// reads the items of every channel below the folder with one statement, newest first across them
// all (NewsRowBefore order, rows of one day in the order of the channel names), skips an item
// already listed as the store tells items apart (titles ignoring ASCII case and apostrophes,
// untitled items by guid, else link; the newest copy stays), and keeps and publishes like a
// channel load. The statement is read in pages of kFolderPageRows; a page after the first is
// needed only when repeated titles leave the first short of the cap.
//
// Thread rules: RequestLoad, WaitUntilIdle, WaitUntilIdleFor and the destructor are called
// from one thread (the window thread, or a tool's main thread); Invalidate, IsBusy,
// RowCount and Row from any thread. The rows are guarded by m_rowsMutex, the busy flag by
// m_stateMutex; the load token is atomic.
class CNewsList {
public:
    static constexpr int kFirstPublication = 200;
    static constexpr int kPublicationStep = 500;
    static constexpr int kChannelRowLimit = 1000;  // a load ends with the row past it
    // A folder's statement reads its items in pages of this many rows.
    static constexpr int kFolderPageRows = kChannelRowLimit + 1;
    static constexpr Pacing::Duration kPause{100};
    // The IDs of the unread items among those a load reads.
    using UnreadItems = std::unordered_set<std::int64_t>;

    // `store` gives the connection and the retention period; `listener` (may be null) hears
    // from the loaders. Both must outlive the list.
    explicit CNewsList(CFeedStore& store, INewsListListener* listener = nullptr);
    // Stops a running load and waits for its thread.
    ~CNewsList();
    CNewsList(const CNewsList&) = delete;
    CNewsList& operator=(const CNewsList&) = delete;

    // A click on a tree node. Outdates any running load; if that load is still busy the
    // request is dropped (the user clicks again). Otherwise empties the rows and starts the
    // channel loader for a NODE_KEY (its name is the channel) or the folder loader for a
    // NODE_FOLDER with `folderNames`, the names of every node below it, depth first in tree
    // order; NODE_STARRED lists every starred item of every channel and any date, newest
    // first, each under its own channel's name, as a search does. Any other node type (the
    // empty space below the tree) loads nothing and publishes the count 0 with its status.
    // `listMode` (model/list_mode.h) chooses the items; kListModeBook reads none. Returns whether a
    // loader started.
    bool RequestLoad(const CKeywordNode& node, int listMode,
                     std::vector<std::string> folderNames = {});
    // Reads the rows of a channel or folder again, as RequestLoad does, in the background,
    // while the rows stay as they are: the listener hears RefreshRead with the rows read, to
    // put them in place with ReplaceRows, instead of counts published in steps. Dropped
    // (false) while a load is busy, and for any other node type.
    bool RequestRefresh(const CKeywordNode& node, int listMode,
                        std::vector<std::string> folderNames = {});
    // Replaces the rows by those a refresh read, unless a request or an invalidation came
    // since it started (`token` is the one RefreshRead gave); returns whether it did.
    bool ReplaceRows(std::uint64_t token, std::vector<CNewsRow> rows);
    // A search of every stored item, of every channel and any age, for the typed text
    // (SearchMatchExpression): the newest 1001 matches at most, newest first, each under its
    // own channel's name, published as a channel load publishes. With `treeNames` (the names
    // of every node of the tree), items of channels the tree no longer holds are left out.
    // Dropped like RequestLoad while a load is busy; a request or an invalidation stops a
    // running search's statement at once. A text that holds nothing to search for lists
    // nothing.
    bool RequestSearch(const std::string& typed,
                       std::optional<std::vector<std::string>> treeNames = std::nullopt);
    // What the last search that ended left out.
    SearchShortfall LastSearchShortfall() const;
    // Makes the running load stop at its next step. Its rows stay.
    void Invalidate();
    // Whether the loads and refreshes requested from now on list only unread items (a search
    // lists every match). A refresh keeps the rows it finds listed, read or not, so that the
    // list does not lose the row the user just read; a load starts afresh. Any thread.
    void SetUnreadOnly(bool unreadOnly) { m_unreadOnly = unreadOnly; }
    bool UnreadOnly() const { return m_unreadOnly; }
    // Whether they list the items a rule hid too (elsewhere they are listed nowhere). Any
    // thread.
    void SetShowHidden(bool showHidden) { m_showHidden = showHidden; }
    bool ShowHidden() const { return m_showHidden; }

    // Notes as read every unread row `which` picks; returns the indexes of those rows. Any
    // thread; `which` runs under the rows' lock and must not call back into the list.
    std::vector<int> MarkRowsRead(const std::function<bool(const CNewsRow&)>& which);
    // Lets `change` alter each row (its read state or star); returns the indexes of the rows
    // for which it returned true. Any thread, under the rows' lock, as MarkRowsRead.
    std::vector<int> ChangeRows(const std::function<bool(CNewsRow&)>& change);
    // Lets `sort` put the stored rows in another order; it must neither add nor drop any.
    // Any thread, under the rows' lock, as MarkRowsRead.
    void ReorderRows(const std::function<void(std::vector<CNewsRow>&)>& sort);

    bool IsBusy() const;
    // Blocks until no loader runs. A window thread that must keep serving the listener's
    // requests meanwhile polls IsBusy or WaitUntilIdleFor instead.
    void WaitUntilIdle();
    // Waits at most `timeout`; returns whether the list is idle.
    bool WaitUntilIdleFor(std::chrono::milliseconds timeout);

    // Rows stored so far. This may run ahead of the count last published, and after a new
    // request behind it: a view checks every index it paints.
    int RowCount() const;
    // A copy of row `index`, or nothing when no such row is stored.
    std::optional<CNewsRow> Row(int index) const;
    // A copy of all rows.
    std::vector<CNewsRow> Rows() const;

    // The loaders' pauses; tests and benchmarks switch them off.
    Pacing& pacing() { return m_pacing; }

private:
    struct Plan;
    class ItemRecords;

    // A loader's rows go straight into the store, published in steps; a refresh's into a
    // buffer of its own (non-null `refreshed`), handed over at its end.
    using Buffer = std::vector<CNewsRow>;
    // Claims the busy flag and starts the loader of `node`; false for a node that loads
    // nothing, or while a load is busy (then `*busy` is set).
    bool StartLoader(const CKeywordNode& node, int listMode, std::vector<std::string> folderNames,
                     bool refresh, bool* busy);
    void RunChannel(std::uint64_t token, int mode, ItemFilter filter, std::string name,
                    bool refresh);
    void RunFolder(std::uint64_t token, int mode, ItemFilter filter, std::vector<std::string> names,
                   bool refresh);
    void RunStarred(std::uint64_t token, ItemFilter filter, bool refresh);
    // The end of a channel or folder load: the last publication, or the refresh's rows.
    void EndRows(std::uint64_t token, int count, Buffer* refreshed);
    void RunSearch(std::uint64_t token, std::string typed,
                   std::optional<std::vector<std::string>> treeNames);
    // A loader's end after its last publication: the listener hears of it unless the load
    // was outdated, then the busy flag is cleared.
    void EndLoad(std::uint64_t token);
    // Appends the rows of `records` to the `count` stored while the load is current, up to
    // the row past kChannelRowLimit, publishing in steps; each row's channel is the name of
    // `names` its keyword index gives (the record's own channel past them). A row is unread
    // when `unread` holds its ID, or without `unread`, when its record says so. With `listed`,
    // a title already listed (ignoring ASCII case) is skipped. Adds the records read to
    // `*read`; returns the rows stored.
    int ReadRows(std::uint64_t token, ItemRecords& records, const std::vector<std::string>& names,
                 const UnreadItems* unread, std::unordered_set<std::string>* listed, int count,
                 int* read, Buffer* refreshed);
    Plan MakePlan(int mode, ItemFilter filter) const;
    // The filter of a load or refresh requested now: a refresh keeps the rows listed.
    ItemFilter FilterOfRequest(bool refresh) const;
    bool IsCurrent(std::uint64_t token) const { return m_token.load() == token; }
    int Append(CNewsRow row);
    void Publish(int count);
    void Status(int count);
    void SetIdle();

    CFeedStore& m_store;
    INewsListListener* const m_listener;
    Pacing m_pacing;

    // Bumped by every request and invalidation; a loader runs while it still holds the
    // value it started with.
    std::atomic<std::uint64_t> m_token{0};
    std::atomic<bool> m_unreadOnly{false};
    std::atomic<bool> m_showHidden{false};

    // The row store, in display order; guarded by m_rowsMutex for every append and read.
    mutable std::mutex m_rowsMutex;
    std::vector<CNewsRow> m_rows;

    // Set by RequestLoad before the loader starts, cleared by the loader as its last act;
    // guarded by m_stateMutex, signalled through m_idle.
    mutable std::mutex m_stateMutex;
    std::condition_variable m_idle;
    bool m_busy = false;
    // Written by a search loader before it clears the busy flag; guarded by m_stateMutex.
    SearchShortfall m_searchShortfall;

    // The last loader; touched only by the requesting thread.
    std::thread m_thread;
};
