#include "feeds/update_engine.h"

#include "base/ascii.h"
#include "base/clock.h"
#include "base/text_util.h"
#include "base/utc_time.h"
#include "feeds/feed_store.h"
#include "feeds/feed_storer.h"
#include "feeds/feed_validators.h"
#include "feeds/rss_reader.h"
#include "feeds/search_indexer.h"
#include "feeds/search_url.h"
#include "feeds/source_policy.h"
#include "store/ado_recordset.h"
#include "store/keyword_tree_file.h"
#include "store/statements.h"

#include <utility>

namespace {

// The longest feed address the engine reads from the opml table, in code-page bytes.
constexpr std::size_t kMaxAddressBytes = 2047;

}  // namespace

UpdateEngine::UpdateEngine(CFeedStore& store) : m_store(store) {}

UpdateEngine::~UpdateEngine() {
    Stop();
}

void UpdateEngine::Start() {
    StopPasses();
    WaitForUpdate();
    StartUpdate();
}

bool UpdateEngine::StartIfIdle() {
    if (Updating()) {
        return false;
    }
    // Both passes have ended; their threads are at most returning.
    StopPasses();
    StartUpdate();
    return true;
}

void UpdateEngine::StartUpdate() {
    m_stopSearch = false;
    m_stopOpml = false;
    m_storeFailed = false;
    const CSysData& settings = m_store.Settings();
    const int engine = KnownSearchEngine(settings.SearchEngine());
    const std::vector<std::string> keywords = DistinctKeywords(false);
    std::vector<PlannedSource> searchPlan =
        SearchPlan(DistinctKeywords(true), settings.MaxPages(), settings.ItemsPerPage(), engine);
    {
        std::lock_guard lock(m_progressMutex);
        m_storeFailure.clear();
        m_updating = true;
        m_updateWork = 2;  // the two passes; each storing thread of theirs adds one
        ++m_updatesStarted;
        m_tally = UpdateTally();
        m_tally.engine = engine;
        m_tally.total = static_cast<int>(searchPlan.size());
    }
    m_searchDone.Reset();
    m_opmlDone.Reset();
    m_started = true;
    EngineReport started = ReportOf(EngineReport::kUpdateProgress);
    started.tally = Tally();
    m_store.Report(started);
    // Both passes are one update: their sources share the moment it began.
    const std::string passTime = UtcTimeText(ClockNow());
    m_searchPass =
        std::thread(&UpdateEngine::SearchPassProc, this, std::move(searchPlan), passTime);
    m_opmlPass = std::thread(&UpdateEngine::OpmlPassProc, this, keywords, passTime);
}

void UpdateEngine::StopPasses() {
    if (!m_started) {
        return;
    }
    m_stopSearch = true;
    m_hostClock.WakeWaiters();
    m_searchDone.Wait();
    m_stopOpml = true;
    m_hostClock.WakeWaiters();
    m_opmlDone.Wait();
    m_searchPass.join();
    m_opmlPass.join();
    m_started = false;
}

void UpdateEngine::StopRefreshes() {
    {
        std::lock_guard lock(m_refreshMutex);
        m_stopRefresh = true;
        m_refreshQueue.clear();
    }
    m_hostClock.WakeWaiters();
    m_refreshChanged.notify_all();
    if (m_refreshThread.joinable()) {
        m_refreshThread.join();
    }
}

void UpdateEngine::Stop() {
    StopPasses();
    StopRefreshes();
    m_workers.JoinAll();
    std::lock_guard lock(m_refreshMutex);
    m_stopRefresh = false;  // nothing runs: later refreshes may start
}

void UpdateEngine::WaitForPasses() {
    if (m_started) {
        m_searchDone.Wait();
        m_opmlDone.Wait();
    }
}

bool UpdateEngine::WaitForPassesFor(std::chrono::milliseconds timeout) {
    if (!m_started) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    return m_searchDone.WaitFor(timeout) &&
           m_opmlDone.WaitFor(std::max(deadline - std::chrono::steady_clock::now(),
                                       std::chrono::steady_clock::duration::zero()));
}

void UpdateEngine::WaitForUpdate() {
    std::unique_lock lock(m_progressMutex);
    m_updateEnded.wait(lock, [this] { return !m_updating; });
}

bool UpdateEngine::PassesDone() const {
    return !m_started || (m_searchDone.IsSet() && m_opmlDone.IsSet());
}

bool UpdateEngine::Updating() const {
    std::lock_guard lock(m_progressMutex);
    return m_updating;
}

int UpdateEngine::UpdatesStarted() const {
    std::lock_guard lock(m_progressMutex);
    return m_updatesStarted;
}

UpdateTally UpdateEngine::Tally() const {
    std::lock_guard lock(m_progressMutex);
    return m_tally;
}

void UpdateEngine::WaitForStoreThreads() {
    {
        std::unique_lock lock(m_refreshMutex);
        m_refreshChanged.wait(lock, [this] { return m_refreshQueue.empty() && !m_refreshBusy; });
    }
    m_workers.JoinAll();
}

void UpdateEngine::AddKeyword(const std::string& keyword, bool searchName) {
    std::lock_guard lock(m_keywordMutex);
    m_keywords.push_back({keyword, searchName});
}

void UpdateEngine::SetKeywords(std::vector<ChannelKeyword> channels) {
    std::lock_guard lock(m_keywordMutex);
    m_keywords = std::move(channels);
}

std::vector<std::string> UpdateEngine::Keywords() const {
    std::lock_guard lock(m_keywordMutex);
    std::vector<std::string> names;
    for (const ChannelKeyword& channel : m_keywords) {
        names.push_back(channel.name);
    }
    return names;
}

bool UpdateEngine::SearchesName(const std::string& keyword) const {
    std::lock_guard lock(m_keywordMutex);
    bool listed = false;
    for (const ChannelKeyword& channel : m_keywords) {
        if (EqualsIgnoreAsciiCase(channel.name, keyword)) {
            if (channel.searchName) {
                return true;
            }
            listed = true;
        }
    }
    return !listed;
}

std::vector<std::string> UpdateEngine::DistinctKeywords(bool searchedOnly) const {
    std::lock_guard lock(m_keywordMutex);
    // Names compare as the database compares channel names.
    std::map<std::string, bool, LessIgnoreAsciiCase> searched;
    for (const ChannelKeyword& channel : m_keywords) {
        searched[channel.name] = searched[channel.name] || channel.searchName;
    }
    std::vector<std::string> names;
    for (const ChannelKeyword& channel : m_keywords) {
        const auto it = searched.find(channel.name);
        if (it != searched.end() && (!searchedOnly || it->second)) {
            names.push_back(channel.name);
            searched.erase(it);
        }
    }
    return names;
}

std::map<std::string, KeywordProgress> UpdateEngine::Progress() const {
    std::lock_guard lock(m_progressMutex);
    return m_progress;
}

std::string UpdateEngine::StoreFailure() const {
    std::lock_guard lock(m_progressMutex);
    return m_storeFailure;
}

std::array<std::optional<SourceStatus>, 4> UpdateEngine::ServiceResults() const {
    std::lock_guard lock(m_progressMutex);
    return m_serviceResults;
}

void UpdateEngine::LoadServiceResults() {
    const std::map<std::string, SourceStatus> latest = LoadLatestServiceStatus(m_store);
    std::lock_guard lock(m_progressMutex);
    for (int engine = 0; engine < CSysData::kEngineCount; ++engine) {
        const auto it = latest.find(SearchServiceKey(engine));
        m_serviceResults[static_cast<std::size_t>(engine)] =
            it == latest.end() ? std::nullopt : std::optional<SourceStatus>(it->second);
    }
}

void UpdateEngine::AddToPlan(int sources) {
    std::lock_guard lock(m_progressMutex);
    m_tally.total += sources;
}

void UpdateEngine::SourceDone(bool later) {
    EngineReport report = ReportOf(EngineReport::kUpdateProgress);
    {
        std::lock_guard lock(m_progressMutex);
        ++m_tally.done;
        m_tally.laterSources += later ? 1 : 0;
        report.tally = m_tally;
    }
    m_store.Report(report);
}

void UpdateEngine::EndUpdateWork() {
    EngineReport report = ReportOf(EngineReport::kUpdateDone);
    {
        std::lock_guard lock(m_progressMutex);
        if (--m_updateWork > 0) {
            return;
        }
        m_tally.stopped = m_stopSearch || m_stopOpml || m_storeFailed;
        report.tally = m_tally;
    }
    // Every source of the update has its outcome: the tree shows them at its next count.
    m_store.NotifyNewsStored();
    m_store.Report(report);
    // Idle only once the end is reported, so that the next update's reports come after it.
    {
        std::lock_guard lock(m_progressMutex);
        m_updating = false;
    }
    m_updateEnded.notify_all();
}

void UpdateEngine::SearchPassProc(std::vector<PlannedSource> plan, std::string passTime) {
    const SourceRun run{m_stopSearch, false, true, Pacing::kAfterStoredItem, passTime};
    for (std::size_t i = 0; i < plan.size() && !m_stopSearch; ++i) {
        if (TakeSource(plan[i], run)) {
            m_pacing.Pause(Pacing::kAfterSearchFetch);
        }
        if (!m_stopSearch && (i + 1 == plan.size() || plan[i + 1].page != plan[i].page)) {
            m_pacing.Pause(Pacing::kAfterSearchPage);
        }
    }
    if (!m_stopSearch) {
        m_pacing.Pause(Pacing::kAfterPass);
    }
    EndUpdateWork();
    m_searchDone.Set();
}

std::vector<std::string> UpdateEngine::OpmlAddresses(const std::string& keyword) const {
    std::vector<std::string> addresses;
    CAdoRecordset records(m_store);
    if (records.OpenBound(kSqlSelectOpmlByBoundKey, {keyword}) && !records.IsEOF()) {
        // Bound once: bindings accumulate until the recordset closes.
        char address[CodePageFieldSize(kMaxAddressBytes)] = {};
        records.BindColumnByName("opml_xml_url", address, sizeof address, kBindText);
        for (; !records.IsEOF(); records.MoveNext()) {
            address[0] = '\0';
            records.Fetch();
            addresses.emplace_back(CutToCodePageLimit(address, kMaxAddressBytes));
        }
    }
    return addresses;
}

void UpdateEngine::OpmlPassProc(std::vector<std::string> keywords, std::string passTime) {
    // Each subscribed feed once per update: its address does not change with a page, so the
    // maximum of pages plays no part here. 0 pages means no search pages, not no news.
    std::vector<PlannedSource> plan;
    for (const std::string& keyword : keywords) {
        for (PlannedSource& source : SubscribedPlan(keyword, OpmlAddresses(keyword))) {
            plan.push_back(std::move(source));
        }
    }
    plan = OneSourcePerAddress(std::move(plan));  // a feed several channels share, once
    AddToPlan(static_cast<int>(plan.size()));
    const SourceRun run{m_stopOpml, false, true, Pacing::kAfterStoredItem, passTime};
    // Subscribed feeds are of many hosts: while one answers or is parsed, the next is asked
    // for. The host clock still gives each host its turns one at a time.
    ShareAmongThreads(plan.size(), kOpmlFetchers, m_stopOpml, [&](std::size_t i) {
        if (TakeSource(plan[i], run)) {
            m_pacing.Pause(Pacing::kAfterOpmlFetch);
        }
        if (!m_stopOpml && (i + 1 == plan.size() || plan[i + 1].keyword != plan[i].keyword)) {
            m_pacing.Pause(Pacing::kAfterOpmlKeyword);
        }
    });
    if (!m_stopOpml) {
        m_pacing.Pause(Pacing::kAfterPass);
    }
    EndUpdateWork();
    m_opmlDone.Set();
}

void UpdateEngine::RefreshChannel(const std::string& keyword) {
    std::lock_guard lock(m_refreshMutex);
    m_refreshQueue.emplace_back(CutToCodePageLimit(keyword, kMaxNodeNameCodePageBytes));
    if (!m_refreshThread.joinable()) {
        m_refreshThread = std::thread(&UpdateEngine::RefreshProc, this);
    }
    m_refreshChanged.notify_all();
}

void UpdateEngine::RefreshProc() {
    std::unique_lock lock(m_refreshMutex);
    while (true) {
        m_refreshChanged.wait(lock, [this] { return m_stopRefresh || !m_refreshQueue.empty(); });
        if (m_stopRefresh) {
            break;
        }
        const std::string keyword = std::move(m_refreshQueue.front());
        m_refreshQueue.pop_front();
        m_refreshBusy = true;
        lock.unlock();
        RefreshOne(keyword, UtcTimeText(ClockNow()));
        lock.lock();
        m_refreshBusy = false;
        m_refreshChanged.notify_all();
    }
    m_refreshBusy = false;
    m_refreshChanged.notify_all();
}

void UpdateEngine::RefreshOne(const std::string& keyword, const std::string& passTime) {
    const CSysData& settings = m_store.Settings();
    const int engine = KnownSearchEngine(settings.SearchEngine());
    std::vector<PlannedSource> plan;
    if (SearchesName(keyword)) {
        plan = SearchPlan({keyword}, 1, settings.ItemsPerPage(), engine);
    }
    for (PlannedSource& source : SubscribedPlan(keyword, OpmlAddresses(keyword))) {
        plan.push_back(std::move(source));
    }
    const SourceRun run{m_stopRefresh, true, false, Pacing::kAfterRefreshedItem, passTime};
    for (const PlannedSource& source : plan) {
        if (m_stopRefresh) {
            break;
        }
        TakeSource(source, run);
    }
}

bool UpdateEngine::TakeSource(const PlannedSource& source, const SourceRun& run) {
    std::vector<std::string> keywords{source.keyword};
    keywords.insert(keywords.end(), source.sharedWith.begin(), source.sharedWith.end());
    const std::optional<SourceStatus> previous =
        LoadSourceStatus(m_store, source.keyword, source.address);
    const FetchDecision decision = DecideFetch(previous, ClockNow(), run.explicitRequest);
    if (decision != FetchDecision::kFetch) {
        // Left alone, but still one of each channel's sources.
        for (const std::string& keyword : keywords) {
            TouchSourceStatus(m_store, keyword, source.address, run.passTime);
            m_store.NotifySourceRecorded(keyword);
        }
        if (run.forUpdate) {
            SourceDone(TriedAgainLater(decision));
        }
        return false;
    }
    std::optional<Fetched> fetched = Fetch(source, run.stop);
    if (!fetched) {
        return false;  // abandoned: neither a success nor a failure
    }
    const TimePoint now = ClockNow();
    const FetchVerdict outcome = ClassifyFetch(fetched->answer, fetched->read, now);
    const bool partial = fetched->read && fetched->reader->Partial();
    // A copy cut off before its end keeps no validators, nor those of an earlier copy: the
    // next fetch must be a full one, or the items lost here would never come.
    const FetchValidators keep = partial ? FetchValidators() : fetched->answer.validators;
    std::optional<PendingValidators> validators;
    if (fetched->read && source.Subscribed() && keep != fetched->sent) {
        validators = PendingValidators{source.address, keep};
    }
    std::vector<StoreShare> shares;
    for (const std::string& keyword : keywords) {
        const std::optional<SourceStatus> before =
            shares.empty() ? previous : LoadSourceStatus(m_store, keyword, source.address);
        shares.push_back({keyword,
                          NextStatus(before, keyword, source.address, source.service, outcome, now,
                                     run.passTime, run.explicitRequest),
                          validators});
        PlannedSource counted = source;
        counted.keyword = keyword;
        // The update's tally counts the fetch once; each channel's progress counts it.
        CountOutcome(counted, shares.back().status, partial, run.forUpdate && shares.size() == 1);
    }
    if (fetched->read && fetched->reader->ItemCount() >= 1) {
        HandOff({std::move(fetched->reader), std::move(shares), run.forUpdate, run.pauseAfterItem,
                 run.forUpdate ? nullptr : &run.stop});
    } else {
        for (const StoreShare& share : shares) {
            SaveStatus(share.status);
            if (share.validators) {
                RememberValidators(share.keyword, *share.validators);  // nothing to store first
            }
        }
    }
    if (run.forUpdate) {
        SourceDone();
    }
    return true;
}

std::optional<UpdateEngine::Fetched> UpdateEngine::Fetch(const PlannedSource& source,
                                                         const std::atomic<bool>& stop) {
    if (m_pacing.Enabled() && !m_hostClock.WaitTurn(source.address, &stop)) {
        return std::nullopt;
    }
    FetchOptions options;
    options.stop = &stop;
    options.gbkQuery = ExpectsGbkQuery(source.address);
    if (source.Subscribed()) {
        options.conditional = LoadFeedValidators(m_store, source.keyword, source.address);
        // A copy one channel has stored is no reason to skip it for another that has not.
        for (const std::string& keyword : source.sharedWith) {
            if (LoadFeedValidators(m_store, keyword, source.address) != options.conditional) {
                options.conditional = FetchValidators();
            }
        }
    }
    Fetched fetched{FetchUrl(source.address, options), std::make_unique<CRssReader>(),
                    options.conditional, false};
    if (fetched.answer.ok) {
        fetched.reader->LoadFromBytes(fetched.answer.body, fetched.answer.charset, options);
    }
    if (stop) {
        return std::nullopt;
    }
    fetched.read = fetched.answer.ok && !fetched.reader->LoadFailed();
    return fetched;
}

void UpdateEngine::CountOutcome(const PlannedSource& source, const SourceStatus& status,
                                bool partial, bool forUpdate) {
    const bool failed = IsFailedOutcome(status.outcome);
    std::lock_guard lock(m_progressMutex);
    KeywordProgress& progress = m_progress[source.keyword];
    ++progress.feedsTried;
    progress.feedsFailed += failed ? 1 : 0;
    progress.feedsUnchanged += status.outcome == SourceOutcome::kNotModified ? 1 : 0;
    progress.feedsPartial += partial ? 1 : 0;
    if (!source.Subscribed()) {
        m_serviceResults[static_cast<std::size_t>(KnownSearchEngine(source.engine))] = status;
    }
    if (!forUpdate) {
        return;
    }
    m_tally.NoteSource(source.keyword, status.outcome);
    if (!source.Subscribed()) {
        ++m_tally.searchTried;
        m_tally.searchFed += failed ? 0 : 1;
        if (failed && m_tally.searchTried - m_tally.searchFed == 1) {
            m_tally.searchFailure = status.outcome;
            m_tally.searchFailureStatus = status.httpStatus;
        }
    }
}

void UpdateEngine::SaveStatus(const SourceStatus& status) {
    std::string failure;
    if (!SaveSourceStatus(m_store, status, &failure)) {
        StopStoring(failure);
    }
    m_store.NotifySourceRecorded(status.channel);
}

void UpdateEngine::RememberValidators(const std::string& keyword,
                                      const PendingValidators& pending) {
    std::string failure;
    if (!SaveFeedValidators(m_store, keyword, pending.address, pending.validators, &failure)) {
        StopStoring(failure);
    }
}

void UpdateEngine::HandOff(StoreJob job) {
    m_storeSlots.Acquire();
    m_handoffLock.Acquire();
    if (job.forUpdate) {
        std::lock_guard lock(m_progressMutex);
        ++m_updateWork;  // before the pass can end its own share
    }
    // Counted before the thread runs, so that a shutdown that follows at once waits for it.
    ++m_storeThreads;
    m_handoff = std::move(job);
    m_workers.Start([this] { StoreFeedProc(); });
}

void UpdateEngine::StoreFeedProc() {
    StoreJob job = std::exchange(m_handoff, StoreJob());
    m_handoffLock.Release();
    const CSearchIndexer::Storing storing(m_store.Indexer());  // items, outcome, validators
    for (StoreShare& share : job.shares) {
        int stored = 0;
        const bool whole = StoreAndCount(*job.reader, share.keyword, job.pauseAfterItem, job.stop,
                                         job.forUpdate, &stored);
        if (m_storeFailed) {
            break;
        }
        share.status.newItems = stored;
        SaveStatus(share.status);
        // The validators are remembered only after the items: a crash between the two costs
        // a full fetch next time, never news that a 304 would have skipped.
        if (whole && share.validators) {
            RememberValidators(share.keyword, *share.validators);
        }
    }
    job.reader.reset();
    --m_storeThreads;
    m_storeSlots.Release();
    if (job.forUpdate) {
        EndUpdateWork();
    }
}

bool UpdateEngine::StoreAndCount(CRssReader& reader, const std::string& keyword,
                                 Pacing::Duration pauseAfterItem, const std::atomic<bool>* stop,
                                 bool forUpdate, int* itemsStored) {
    if (m_storeFailed) {
        return false;  // storing stopped for this run
    }
    const StoreOutcome outcome = StoreFeed(m_store, reader, keyword, m_pacing, pauseAfterItem, stop,
                                           m_store.NewsRules().get());
    *itemsStored = outcome.itemsStored;
    if (outcome.itemsStored > 0) {
        m_store.NotifyNewsStored(keyword);
    }
    {
        std::lock_guard lock(m_progressMutex);
        KeywordProgress& progress = m_progress[keyword];
        ++progress.feedsFetched;
        progress.itemsStored += outcome.itemsStored;
        m_tally.newItems += forUpdate ? outcome.itemsStored : 0;
    }
    if (!outcome.failure.empty()) {
        StopStoring(outcome.failure);
        return false;
    }
    return !(stop && stop->load());
}

void UpdateEngine::StopStoring(const std::string& failure) {
    if (m_storeFailed.exchange(true)) {
        return;  // reported by the first thread that failed
    }
    {
        std::lock_guard lock(m_progressMutex);
        m_storeFailure = failure;
    }
    // Nothing fetched from now on could be stored.
    m_stopSearch = true;
    m_stopOpml = true;
    m_hostClock.WakeWaiters();
    m_store.Report(ReportOf(EngineReport::kStoreFailed, failure));
}
