#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/http_fetch.h"
#include "feeds/done_event.h"
#include "feeds/engine_report.h"
#include "feeds/host_clock.h"
#include "feeds/pacing.h"
#include "feeds/pass_plan.h"
#include "feeds/slot_gate.h"
#include "feeds/worker_group.h"
#include "store/keyword_tree_file.h"
#include "store/source_status.h"

class CFeedStore;
class CRssReader;

// What one keyword got from the engine so far.
struct KeywordProgress {
    int feedsTried = 0;    // fetches that ran to their end (not abandoned)
    int feedsFailed = 0;   // of those, the ones that gave no RSS document
    int feedsFetched = 0;  // feeds with at least one item, stored
    int itemsStored = 0;
    // Of the fetches tried, those of subscribed feeds whose server said the copy stored last
    // is still current (304 Not Modified): neither failed nor read again.
    int feedsUnchanged = 0;
    // Of the fetches tried, those whose document was cut off before its end: only the items
    // that arrived whole were read (see CRssReader::Partial).
    int feedsPartial = 0;
};

// A subscribed feed's validators, to be remembered once the document they came with is
// stored.
struct PendingValidators {
    std::string address;
    FetchValidators validators;
};

// The threads that fill the database. An update is a search pass over the pages of every
// keyword's search feed and, beside it, a pass over the feeds subscribed for each keyword
// (each fetched once); it starts at start-up (Start) and again on request (StartIfIdle: the
// window's 全部更新 and its timer), never while another runs. Each fetched feed goes to a
// storing thread. A one-channel refresh fetches page 0 of the channel's search feed and its
// subscribed feeds; refreshes queue for one refresh thread.
//
// Every source's outcome is kept in the source_status table (feeds/source_policy.h says
// which sources a pass leaves alone). Fetches to one host are a second apart across every
// pass and refresh (HostClock), unless the pacing is switched off. Subscribed feeds are
// fetched conditionally: the validators of the copy stored last go with the request, and a
// server that answers 304 costs neither a parse nor a statement beyond the look-up.
//
// The store's reporter hears of each source an update takes in hand (kUpdateProgress) and of
// its end (kUpdateDone) once every feed it fetched is stored. A statement that fails for
// another reason than a duplicate stops storing for the run: the failure is reported once,
// the passes stop as if told to, and feeds still waiting to be stored are dropped.
//
// Thread rules: Start, StartIfIdle, Stop, AddKeyword and RefreshChannel are called from one
// thread (the window thread, or the command-line tool's main thread). The keyword list is
// guarded by m_keywordMutex; the passes work on a copy taken when they begin. The stop flags
// are written by Stop (and by the storing thread whose statement failed) and polled by the
// threads; a fetch in flight is abandoned when its flag is set.
class UpdateEngine {
public:
    explicit UpdateEngine(CFeedStore& store);
    ~UpdateEngine();
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // Starts an update; a running one is stopped first and waited for. The store must be
    // open.
    void Start();
    // Starts an update unless one runs (its passes or the storing of what they fetched);
    // returns whether it started.
    bool StartIfIdle();
    // Stops the update and the refreshes (abandoning fetches in flight) and waits until
    // every thread of the engine has ended.
    void Stop();
    // Queues a fetch of the channel's page-0 search feed and its subscribed feeds, as an
    // explicit request (source_policy.h); returns at once.
    void RefreshChannel(const std::string& keyword);
    // Adds a channel; `searchName` off: its name is not searched for, only its subscribed
    // feeds are fetched.
    void AddKeyword(const std::string& keyword, bool searchName = true);
    // Replaces the channel list (the tree's channels after an edit); an update running keeps
    // the list it began with. A name the list holds twice is fetched once, and searched for
    // when any of its entries says so.
    void SetKeywords(std::vector<ChannelKeyword> channels);

    // Blocks until both passes of the current update have ended (at once if none ran).
    void WaitForPasses();
    // The same, for at most `timeout`; returns whether both have ended.
    bool WaitForPassesFor(std::chrono::milliseconds timeout);
    // Blocks until the update has ended, its fetched feeds stored (at once if none runs).
    void WaitForUpdate();
    // Blocks until every queued refresh is done and every storing thread has ended.
    void WaitForStoreThreads();
    int StoreThreads() const { return m_storeThreads.load(); }
    // Whether both passes of the current update have ended (true if none ran).
    bool PassesDone() const;
    // Whether an update runs: its passes, or the storing of what they fetched.
    bool Updating() const;
    // Updates started since the engine was made.
    int UpdatesStarted() const;
    // The tally of the running update, or of the last one.
    UpdateTally Tally() const;

    // The most recent search fetch of each service, by engine index; nothing before the
    // first (LoadServiceResults reads those of earlier runs).
    std::array<std::optional<SourceStatus>, 4> ServiceResults() const;
    void LoadServiceResults();

    // The channels' names, in list order.
    std::vector<std::string> Keywords() const;
    // Whether the channel's name is searched for (true for a name the list does not hold).
    bool SearchesName(const std::string& keyword) const;
    std::map<std::string, KeywordProgress> Progress() const;
    // Why storing stopped in the current run ("" while it did not).
    std::string StoreFailure() const;
    Pacing& pacing() { return m_pacing; }

private:
    // How the sources of a pass or a refresh are taken in hand.
    struct SourceRun {
        const std::atomic<bool>& stop;
        bool explicitRequest;
        bool forUpdate;  // counted in the update's tally
        Pacing::Duration pauseAfterItem;
        std::string passTime;
    };
    // What storing a fetched feed does for one channel that subscribed it.
    struct StoreShare {
        std::string keyword;
        SourceStatus status;
        std::optional<PendingValidators> validators;
    };
    // A fetched feed on its way to a storing thread: stored for each share in turn (the
    // source's channel first, then those that share its address).
    struct StoreJob {
        std::unique_ptr<CRssReader> reader;
        std::vector<StoreShare> shares;
        bool forUpdate = false;
        Pacing::Duration pauseAfterItem{0};
        const std::atomic<bool>* stop = nullptr;
    };

    // One fetch and what its body was read as.
    struct Fetched {
        FetchResult answer;
        std::unique_ptr<CRssReader> reader;
        FetchValidators sent;  // the validators the request carried
        bool read = false;     // the body was read as a feed
    };

    void StartUpdate();
    void SearchPassProc(std::vector<PlannedSource> plan, std::string passTime);
    void OpmlPassProc(std::vector<std::string> keywords, std::string passTime);
    // The channels of the list, each name once (ASCII case ignored), in list order; only those
    // whose name is searched for when `searchedOnly`.
    std::vector<std::string> DistinctKeywords(bool searchedOnly) const;
    void RefreshProc();
    void RefreshOne(const std::string& keyword, const std::string& passTime);
    // Fetches the source unless its record says to leave it, records the outcome and hands a
    // feed with items to a storing thread; returns whether it did.
    bool TakeSource(const PlannedSource& source, const SourceRun& run);
    // Waits for the host's turn (unless the pacing is off), fetches the source, conditionally
    // if it is a subscribed feed, and reads the body; nothing when `stop` abandoned it.
    std::optional<Fetched> Fetch(const PlannedSource& source, const std::atomic<bool>& stop);
    // Counts the fetch of `source`; `partial`: its document was cut off before its end.
    void CountOutcome(const PlannedSource& source, const SourceStatus& status, bool partial,
                      bool forUpdate);
    void HandOff(StoreJob job);
    void StoreFeedProc();
    // Stores the feed and counts what it added (`itemsStored`); true when every item was
    // stored or found.
    bool StoreAndCount(CRssReader& reader, const std::string& keyword,
                       Pacing::Duration pauseAfterItem, const std::atomic<bool>* stop,
                       bool forUpdate, int* itemsStored);
    void SaveStatus(const SourceStatus& status);
    void RememberValidators(const std::string& keyword, const PendingValidators& pending);
    void StopStoring(const std::string& failure);
    std::vector<std::string> OpmlAddresses(const std::string& keyword) const;
    void AddToPlan(int sources);
    // One more source of the update taken in hand; `later`: left alone until later.
    void SourceDone(bool later = false);
    // Ends one piece of the update's work (a pass, a storing thread); the last one reports
    // the end.
    void EndUpdateWork();
    void StopPasses();
    void StopRefreshes();

    CFeedStore& m_store;
    Pacing m_pacing;
    HostClock m_hostClock;

    mutable std::mutex m_keywordMutex;
    std::vector<ChannelKeyword> m_keywords;  // guarded by m_keywordMutex

    std::atomic<bool> m_stopSearch{false};
    std::atomic<bool> m_stopOpml{false};
    DoneEvent m_searchDone;
    DoneEvent m_opmlDone;
    std::thread m_searchPass;  // owned and joined by the calling thread (Start, Stop)
    std::thread m_opmlPass;    // with kOpmlFetchers - 1 helpers of its own, joined by it
    static constexpr int kOpmlFetchers = 2;
    bool m_started = false;  // touched only by the calling thread

    // Refresh requests, one thread working through them. The queue, the busy flag and the
    // stop flag's waits are guarded by m_refreshMutex; the thread is started and joined by
    // the calling thread.
    mutable std::mutex m_refreshMutex;
    std::condition_variable m_refreshChanged;
    std::deque<std::string> m_refreshQueue;
    bool m_refreshBusy = false;
    std::atomic<bool> m_stopRefresh{false};
    std::thread m_refreshThread;

    // Storing threads, of updates and refreshes; counted while they run.
    std::atomic<int> m_storeThreads{0};
    // Storing threads at one time. The database takes one writer at a time, so more of them
    // would add no speed, only parsed feeds waiting in memory: a pass that outruns its
    // storing waits for a free slot before it hands off.
    static constexpr int kMaxConcurrentStores = 4;
    SlotGate m_storeSlots{kMaxConcurrentStores};
    WorkerGroup m_workers;

    // The hand-off of a loaded feed to a new storing thread: the fetching thread takes the
    // gate and fills the slot, the storing thread takes the job and opens the gate again.
    SlotGate m_handoffLock{1};
    StoreJob m_handoff;  // guarded by m_handoffLock

    // The update's state: whether one runs, its work still to end (both passes and each
    // storing thread of theirs), its tally; the per-keyword progress; the service results.
    mutable std::mutex m_progressMutex;
    std::condition_variable m_updateEnded;
    bool m_updating = false;                                      // guarded by m_progressMutex
    int m_updateWork = 0;                                         // guarded by m_progressMutex
    int m_updatesStarted = 0;                                     // guarded by m_progressMutex
    UpdateTally m_tally;                                          // guarded by m_progressMutex
    std::map<std::string, KeywordProgress> m_progress;            // guarded by m_progressMutex
    std::array<std::optional<SourceStatus>, 4> m_serviceResults;  // guarded by m_progressMutex
    std::string m_storeFailure;                                   // guarded by m_progressMutex
    // Set by the first storing thread whose statement fails, cleared by Start.
    std::atomic<bool> m_storeFailed{false};
};
