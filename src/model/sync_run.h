#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "model/ttrss_sync.h"
#include "store/ado_connection.h"
#include "store/ado_transaction.h"
#include "store/sync_rows.h"

class SubscriptionTree;

// One run of RunTtRssSync, its steps in ttrss_sync.cpp (subscriptions, watched keywords) and
// sync_state_pass.cpp (articles, read and starred state). Used by those two files only.
namespace sync_detail {

using nlohmann::json;

// The API's most articles in one answer.
constexpr int kPageSize = 200;
// Articles named in one request that marks them: a long list is still one small body.
constexpr std::size_t kIdsPerRequest = 1000;
constexpr char kSinceState[] = "since_id";

struct ServerFeed {
    std::int64_t id = 0;
    std::string title;
    std::string address;
    std::int64_t categoryId = 0;
};

inline std::int64_t IntOf(const json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) {
        return 0;
    }
    if (it->is_number_integer()) {
        return it->get<std::int64_t>();
    }
    if (it->is_string()) {
        return std::atoll(it->get<std::string>().c_str());
    }
    return 0;
}

inline std::string TextOf(const json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

inline bool BoolOf(const json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

class SyncRun {
public:
    SyncRun(CTtRssClient& client, CAdoConnection& store, SubscriptionTree& tree,
            const std::function<bool(int)>& removeNode, const std::vector<WatchedKeyword>& watched,
            const std::atomic<bool>* stop, const SyncProgressFn& progress)
        : m_client(client),
          m_store(store),
          m_tree(tree),
          m_removeNode(removeNode),
          m_watched(watched),
          m_stop(stop),
          m_progress(progress) {}

    SyncSummary Run() {
        const int before = m_client.RequestCount();
        Report(SyncProgress::kSubscriptions);
        (void)(Subscriptions() && NewArticles() && Report(SyncProgress::kState) && SendQueue() &&
               TakeServerState());
        m_summary.requests = m_client.RequestCount() - before;
        return m_summary;
    }

private:
    bool Fail(TtRssFailure failure, std::string detail) {
        m_summary.failure = failure;
        m_summary.detail = std::move(detail);
        return false;
    }
    bool FailAnswer(const TtRssAnswer& answer) { return Fail(answer.failure, answer.detail); }
    bool FailStore(const std::string& what) {
        return Fail(TtRssFailure::kApiError, "the database: " + what);
    }
    // Always true, to sit in a chain of steps.
    bool Report(SyncProgress::Step step, int page = 0) {
        if (m_progress) {
            m_progress({step, page, m_summary.itemsStored});
        }
        return true;
    }
    bool Stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    // A call whose content must be an array.
    std::optional<json> CallForArray(std::string_view op, json params) {
        if (Stopped()) {
            Fail(TtRssFailure::kAbandoned, "stopped");
            return std::nullopt;
        }
        TtRssAnswer answer = m_client.Call(op, std::move(params));
        if (!answer.ok()) {
            FailAnswer(answer);
            return std::nullopt;
        }
        if (!answer.content.is_array()) {
            Fail(TtRssFailure::kBadAnswer, std::string(op) + " gave no list");
            return std::nullopt;
        }
        return std::move(answer.content);
    }

    // Runs `work` in a transaction of its own and commits it; false (the failure recorded)
    // when the work or the commit fails.
    template <typename Work>
    bool InTransaction(Work work) {
        CAdoTransaction transaction(m_store);
        std::string error;
        if (!transaction.Begin(&error)) {
            return FailStore(error);
        }
        if (!work(transaction.Handle())) {
            return FailStore(sqlite3_errmsg(transaction.Handle()));
        }
        return transaction.Commit(&error) || FailStore(error);
    }

    bool Subscriptions();
    bool WatchKeywords(const std::set<std::int64_t>& onServer,
                       std::map<std::int64_t, SyncFeedRow>* known);
    bool NewArticles();
    bool StorePage(const json& page, const std::map<std::int64_t, SyncFeedRow>& feeds,
                   std::int64_t* newest);
    bool SendQueue();
    bool TakeServerState();
    bool CollectIds(json params, std::set<std::int64_t>* ids);
    int RemoveChannelNode(int folderId, const std::string& name);
    // sync_follow.cpp
    bool Unsubscribe(std::set<std::int64_t>* onServer, std::map<std::int64_t, SyncFeedRow>* known);
    bool FollowCategories(const std::map<std::int64_t, std::string>& categories);
    bool FollowFeed(std::int64_t feedId, const ServerFeed& feed, SyncFeedRow row,
                    const std::map<std::int64_t, std::string>& categories);
    // The channel of that name in the folder's branch: its node and its folder.
    std::optional<std::pair<int, int>> FindChannel(int folderId, const std::string& name);
    // `wanted`, numbered when another channel has it; `current` (the channel's own name) is
    // free. Empty when the database cannot say.
    std::string FreeChannelName(const std::string& wanted, const std::string& current);

    CTtRssClient& m_client;
    CAdoConnection& m_store;
    SubscriptionTree& m_tree;
    const std::function<bool(int)>& m_removeNode;
    const std::vector<WatchedKeyword>& m_watched;
    const std::atomic<bool>* m_stop;
    const SyncProgressFn& m_progress;
    SyncSummary m_summary;
    int m_hostFolder = -1;
    // The first article of this run's pages whose feed is no channel here yet.
    std::int64_t m_firstUnknown = std::numeric_limits<std::int64_t>::max();
    // Server feeds this run unsubscribed (for keywords, or as their channels were deleted
    // here): not to become channels of the folder.
    std::set<std::int64_t> m_unwatched;
    // Server categories new or renamed since the last sync: their feeds' channels are put
    // into the folder of their current name.
    std::set<std::int64_t> m_renamedCategories;
};

}  // namespace sync_detail
