#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/http_fetch.h"
#include "feeds/done_event.h"
#include "feeds/pacing.h"
#include "feeds/slot_gate.h"
#include "feeds/worker_group.h"

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

// The threads that fill the database: a search pass over every page of every keyword's
// search feed and, beside it, one pass over the feeds subscribed for each keyword; one
// storing thread per fetched feed; one-channel refreshes. Owned by CFeedStore, which exposes
// its operations.
//
// Subscribed feeds are fetched conditionally: the validators of the copy stored last go with
// the request, and a server that answers 304 costs neither a parse nor a statement beyond
// the look-up. Search results change with every query and are always fetched in full.
//
// A statement that fails for another reason than a duplicate stops storing for the run: the
// failure is reported once (CFeedStore::Report), the passes stop as if told to, and feeds
// still waiting to be stored are dropped.
//
// Thread rules: Startup, Shutdown, AddKeyword and RefreshChannel are called from one thread
// (the window thread, or the command-line tool's main thread). The keyword list is guarded
// by m_keywordMutex; the passes work on a copy taken at each step. The stop flags are
// written by Shutdown (and by the storing thread whose statement failed) and polled by the
// threads; a fetch in flight is abandoned when its pass's flag is set.
class UpdateEngine {
public:
    explicit UpdateEngine(CFeedStore& store);
    ~UpdateEngine();
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // Starts both passes; a repeated call first stops and joins the passes of the earlier
    // one. The store must be open.
    void Start();
    // Stops both passes (abandoning fetches in flight) and waits until they, every storing
    // thread and every refresh have ended.
    void Stop();
    void RefreshChannel(const std::string& keyword);
    void AddKeyword(const std::string& keyword);

    // Blocks until both passes of the current Start have ended (at once if none ran).
    void WaitForPasses();
    // The same, for at most `timeout`; returns whether both have ended.
    bool WaitForPassesFor(std::chrono::milliseconds timeout);
    // Blocks until every storing and refresh thread started so far has ended.
    void WaitForStoreThreads();
    int StoreThreads() const { return m_storeThreads.load(); }
    // Whether both passes of the current Start have ended (true if none ran).
    bool PassesDone() const;

    std::vector<std::string> Keywords() const;
    std::map<std::string, KeywordProgress> Progress() const;
    // Why storing stopped in the current run ("" while it did not).
    std::string StoreFailure() const;
    Pacing& pacing() { return m_pacing; }

private:
    void SearchPassProc();
    void OpmlPassProc();
    void StoreFeedProc();
    void RefreshChannelProc(std::string keyword);
    void HandOff(std::unique_ptr<CRssReader> reader, const std::string& keyword,
                 std::optional<PendingValidators> validators);
    // Stores the feed and counts what it added; true when every item was stored or found.
    bool StoreAndCount(CRssReader& reader, const std::string& keyword,
                       Pacing::Duration pauseAfterItem, const std::atomic<bool>* stop);
    // Fetches `address` for `keyword` and counts the attempt; the reader when it has items.
    std::unique_ptr<CRssReader> Fetch(const std::string& address, const std::string& keyword,
                                      const std::atomic<bool>& stop);
    // The same for a feed subscribed under `keyword`, asked for only if it changed since the
    // copy stored last. New validators of a feed with items go to `pending`, to be remembered
    // once it is stored; those of a feed without items are remembered at once.
    std::unique_ptr<CRssReader> FetchSubscribed(const std::string& address,
                                                const std::string& keyword,
                                                std::optional<PendingValidators>* pending);
    void CountFetch(const std::string& keyword, bool failed, bool unchanged, bool partial);
    void RememberValidators(const std::string& keyword, const PendingValidators& pending);
    void StopStoring(const std::string& failure);
    std::vector<std::string> OpmlAddresses(const std::string& keyword) const;
    void StopPasses();

    CFeedStore& m_store;
    Pacing m_pacing;

    mutable std::mutex m_keywordMutex;
    std::vector<std::string> m_keywords;  // guarded by m_keywordMutex; only ever appended

    std::atomic<bool> m_stopSearch{false};
    std::atomic<bool> m_stopOpml{false};
    DoneEvent m_searchDone;
    DoneEvent m_opmlDone;
    std::thread m_searchPass;  // owned and joined by Start/Stop (one calling thread)
    std::thread m_opmlPass;
    bool m_started = false;  // touched only by the calling thread

    // Storing and refresh threads; counted while they run.
    std::atomic<int> m_storeThreads{0};
    // Storing threads of the passes at one time. The database takes one writer at a time,
    // so more of them would add no speed, only parsed feeds waiting in memory: a pass that
    // outruns its storing waits for a free slot before it hands off.
    static constexpr int kMaxConcurrentStores = 4;
    SlotGate m_storeSlots{kMaxConcurrentStores};
    WorkerGroup m_workers;

    // The hand-off of a loaded feed to a new storing thread: the fetching thread takes the
    // gate and fills the slots, the storing thread copies them and opens the gate again.
    SlotGate m_handoffLock{1};
    std::unique_ptr<CRssReader> m_handoffReader;           // guarded by m_handoffLock
    std::string m_handoffKeyword;                          // guarded by m_handoffLock
    std::optional<PendingValidators> m_handoffValidators;  // guarded by m_handoffLock

    mutable std::mutex m_progressMutex;
    std::map<std::string, KeywordProgress> m_progress;  // guarded by m_progressMutex
    std::string m_storeFailure;                         // guarded by m_progressMutex
    // Set by the first storing thread whose statement fails, cleared by Start.
    std::atomic<bool> m_storeFailed{false};
};
