#include "feeds/update_engine.h"

#include "base/text_util.h"
#include "feeds/feed_store.h"
#include "feeds/feed_storer.h"
#include "feeds/feed_validators.h"
#include "feeds/rss_reader.h"
#include "feeds/search_url.h"
#include "store/ado_recordset.h"
#include "store/keyword_tree_file.h"
#include "store/statements.h"

#include <utility>

namespace {

// The longest feed address the engine reads from the opml table, in code-page bytes.
constexpr std::size_t kMaxAddressBytes = 2047;

FetchOptions StoppedBy(const std::atomic<bool>& flag) {
    FetchOptions options;
    options.stop = &flag;
    return options;
}

}  // namespace

UpdateEngine::UpdateEngine(CFeedStore& store) : m_store(store) {}

UpdateEngine::~UpdateEngine() {
    Stop();
}

void UpdateEngine::Start() {
    StopPasses();
    m_stopSearch = false;
    m_stopOpml = false;
    m_storeFailed = false;
    {
        std::lock_guard lock(m_progressMutex);
        m_storeFailure.clear();
    }
    m_searchDone.Reset();
    m_opmlDone.Reset();
    m_started = true;
    m_searchPass = std::thread(&UpdateEngine::SearchPassProc, this);
    m_opmlPass = std::thread(&UpdateEngine::OpmlPassProc, this);
}

void UpdateEngine::StopPasses() {
    if (!m_started) {
        return;
    }
    m_stopSearch = true;
    m_searchDone.Wait();
    m_stopOpml = true;
    m_opmlDone.Wait();
    m_searchPass.join();
    m_opmlPass.join();
    m_started = false;
}

void UpdateEngine::Stop() {
    StopPasses();
    // Refreshes poll the search flag too.
    m_stopSearch = true;
    m_workers.JoinAll();
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

bool UpdateEngine::PassesDone() const {
    return !m_started || (m_searchDone.IsSet() && m_opmlDone.IsSet());
}

void UpdateEngine::WaitForStoreThreads() {
    m_workers.JoinAll();
}

void UpdateEngine::AddKeyword(const std::string& keyword) {
    std::lock_guard lock(m_keywordMutex);
    m_keywords.push_back(keyword);
}

std::vector<std::string> UpdateEngine::Keywords() const {
    std::lock_guard lock(m_keywordMutex);
    return m_keywords;
}

std::map<std::string, KeywordProgress> UpdateEngine::Progress() const {
    std::lock_guard lock(m_progressMutex);
    return m_progress;
}

std::string UpdateEngine::StoreFailure() const {
    std::lock_guard lock(m_progressMutex);
    return m_storeFailure;
}

std::unique_ptr<CRssReader> UpdateEngine::Fetch(const std::string& address,
                                                const std::string& keyword,
                                                const std::atomic<bool>& stop) {
    auto reader = std::make_unique<CRssReader>();
    reader->LoadFromUrl(address, AddressOrigin::kFromData, StoppedBy(stop));
    if (stop) {
        return nullptr;  // abandoned: neither a success nor a failure
    }
    CountFetch(keyword, reader->LoadFailed(), false, reader->Partial());
    return reader->ItemCount() >= 1 ? std::move(reader) : nullptr;
}

std::unique_ptr<CRssReader> UpdateEngine::FetchSubscribed(
    const std::string& address, const std::string& keyword,
    std::optional<PendingValidators>* pending) {
    FetchOptions options = StoppedBy(m_stopOpml);
    options.gbkQuery = ExpectsGbkQuery(address);
    options.conditional = LoadFeedValidators(m_store, keyword, address);
    const FetchResult answer = FetchUrl(address, options);
    auto reader = std::make_unique<CRssReader>();
    if (answer.ok) {
        reader->LoadFromBytes(answer.body, answer.charset, options);
    }
    if (m_stopOpml) {
        return nullptr;  // abandoned: neither a success nor a failure
    }
    const bool read = answer.ok && !reader->LoadFailed();
    CountFetch(keyword, !read && !answer.notModified, answer.notModified,
               read && reader->Partial());
    if (!read) {
        return nullptr;
    }
    if (answer.validators != options.conditional) {
        PendingValidators validators{address, answer.validators};
        if (reader->ItemCount() < 1) {
            RememberValidators(keyword, validators);  // nothing to store first
        } else {
            *pending = std::move(validators);
        }
    }
    return reader->ItemCount() >= 1 ? std::move(reader) : nullptr;
}

void UpdateEngine::CountFetch(const std::string& keyword, bool failed, bool unchanged,
                              bool partial) {
    std::lock_guard lock(m_progressMutex);
    KeywordProgress& progress = m_progress[keyword];
    ++progress.feedsTried;
    progress.feedsFailed += failed ? 1 : 0;
    progress.feedsUnchanged += unchanged ? 1 : 0;
    progress.feedsPartial += partial ? 1 : 0;
}

void UpdateEngine::RememberValidators(const std::string& keyword,
                                      const PendingValidators& pending) {
    std::string failure;
    if (!SaveFeedValidators(m_store, keyword, pending.address, pending.validators, &failure)) {
        StopStoring(failure);
    }
}

void UpdateEngine::SearchPassProc() {
    const CSysData& settings = m_store.Settings();
    for (int page = 0; page < settings.MaxPages() && !m_stopSearch; ++page) {
        for (const std::string& keyword : Keywords()) {
            if (m_stopSearch) {
                break;
            }
            const std::string address =
                BuildSearchUrl(page, settings.ItemsPerPage(), settings.SearchEngine(), keyword);
            if (auto reader = Fetch(address, keyword, m_stopSearch)) {
                HandOff(std::move(reader), keyword, std::nullopt);
            }
            m_pacing.Pause(Pacing::kAfterSearchFetch);
        }
        if (!m_stopSearch) {
            m_pacing.Pause(Pacing::kAfterSearchPage);
        }
    }
    if (!m_stopSearch) {
        m_pacing.Pause(Pacing::kAfterPass);
    }
    m_searchDone.Set();
}

std::vector<std::string> UpdateEngine::OpmlAddresses(const std::string& keyword) const {
    std::vector<std::string> addresses;
    CAdoRecordset records(m_store);
    if (records.Open(SqlSelectOpmlByKey(keyword)) && records.GetRecordCount() >= 1) {
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

void UpdateEngine::OpmlPassProc() {
    // One round: a subscribed feed has no pages, and fetching it again at once would only
    // bring the same document (or a 304) back. Maximum pages 0 still turns fetching off.
    if (m_store.Settings().MaxPages() > 0) {
        for (const std::string& keyword : Keywords()) {
            if (m_stopOpml) {
                break;
            }
            for (const std::string& address : OpmlAddresses(keyword)) {
                if (m_stopOpml) {
                    break;
                }
                std::optional<PendingValidators> validators;
                if (auto reader = FetchSubscribed(address, keyword, &validators)) {
                    HandOff(std::move(reader), keyword, std::move(validators));
                    m_pacing.Pause(Pacing::kAfterOpmlHandOff);
                }
                m_pacing.Pause(Pacing::kAfterOpmlFetch);
            }
            m_pacing.Pause(Pacing::kAfterOpmlKeyword);
        }
    }
    if (!m_stopOpml) {
        m_pacing.Pause(Pacing::kAfterPass);
    }
    m_opmlDone.Set();
}

void UpdateEngine::HandOff(std::unique_ptr<CRssReader> reader, const std::string& keyword,
                           std::optional<PendingValidators> validators) {
    m_storeSlots.Acquire();
    m_handoffLock.Acquire();
    m_handoffReader = std::move(reader);
    m_handoffKeyword = keyword;
    m_handoffValidators = std::move(validators);
    m_workers.Start([this] { StoreFeedProc(); });
}

void UpdateEngine::StoreFeedProc() {
    ++m_storeThreads;
    std::unique_ptr<CRssReader> reader = std::move(m_handoffReader);
    const std::string keyword = std::move(m_handoffKeyword);
    const std::optional<PendingValidators> validators = std::exchange(m_handoffValidators, {});
    m_handoffLock.Release();
    // Remembered only after the items: a crash between the two costs a full fetch next time,
    // never news that a 304 would have skipped.
    if (StoreAndCount(*reader, keyword, Pacing::kAfterStoredItem, nullptr) && validators) {
        RememberValidators(keyword, *validators);
    }
    reader.reset();
    --m_storeThreads;
    m_storeSlots.Release();
}

void UpdateEngine::RefreshChannel(const std::string& keyword) {
    const std::string copy(CutToCodePageLimit(keyword, kMaxNodeNameCodePageBytes));
    // Counted before the thread runs, so a shutdown that follows at once waits for it.
    ++m_storeThreads;
    m_workers.Start([this, copy] { RefreshChannelProc(copy); });
}

void UpdateEngine::RefreshChannelProc(std::string keyword) {
    const CSysData& settings = m_store.Settings();
    const std::string address =
        BuildSearchUrl(0, settings.ItemsPerPage(), settings.SearchEngine(), keyword);
    if (auto reader = Fetch(address, keyword, m_stopSearch)) {
        StoreAndCount(*reader, keyword, Pacing::kAfterRefreshedItem, &m_stopSearch);
    }
    --m_storeThreads;
}

bool UpdateEngine::StoreAndCount(CRssReader& reader, const std::string& keyword,
                                 Pacing::Duration pauseAfterItem, const std::atomic<bool>* stop) {
    if (m_storeFailed) {
        return false;  // storing stopped for this run
    }
    const StoreOutcome outcome =
        StoreFeed(m_store, reader, keyword, m_pacing, pauseAfterItem, stop);
    if (outcome.itemsStored > 0) {
        m_store.NotifyNewsStored();
    }
    {
        std::lock_guard lock(m_progressMutex);
        KeywordProgress& progress = m_progress[keyword];
        ++progress.feedsFetched;
        progress.itemsStored += outcome.itemsStored;
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
    m_store.Report({EngineReport::kStoreFailed, 0, failure});
}
