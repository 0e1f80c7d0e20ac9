#include "feeds/search_indexer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "feeds/feed_store.h"
#include "store/search_index.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using namespace std::chrono_literals;

namespace {

bool WaitForEmptyQueue(const std::string& db) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (QueryRows(db, "select count(*) from item_search_queue") != Rows{{"0"}}) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

void AddItems(const std::string& db, int from, int count) {
    ExecSql(db,
            "insert into item (rss_channelID, rss_title, rss_description, rss_pubDate) "
            "with recursive n(i) as (select " +
                std::to_string(from) + " union all select i + 1 from n where i + 1 < " +
                std::to_string(from + count) +
                ") select 1, '新闻 ' || i, '<p>足球</p>', '2024-01-01' from n");
}

}  // namespace

// Stored news waits in the queue until the indexer, woken by the store, takes it in; the
// thread starts with what an earlier run left, and stops with the store.
TEST(SearchIndexer, TakesQueuedNewsIntoTheIndexWhenWokenAndStopsWithTheStore) {
    TempDataFolder folder;
    folder.CreateDatabase();
    const std::string db = folder.File("data/data.dat");
    ExecSql(db, "insert into channel (ID, rss_title) values (1, '足球')");
    AddItems(db, 0, 500);
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Startup()) << store.LastError();
    EXPECT_TRUE(WaitForEmptyQueue(db));

    // Wakes from several threads while news is stored; the ThreadSanitizer build checks them.
    std::atomic<bool> done{false};
    std::thread waker([&] {
        while (!done) {
            store.NotifyNewsStored();
            std::this_thread::sleep_for(1ms);
        }
    });
    AddItems(db, 500, 300);
    store.NotifyNewsStored();
    EXPECT_TRUE(WaitForEmptyQueue(db));
    done = true;
    waker.join();
    EXPECT_EQ(QueryRows(db, "select count(*) from item_search where item_search match '\"足球\"'"),
              (Rows{{"800"}}));

    store.Shutdown();
    AddItems(db, 800, 10);
    store.NotifyNewsStored();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(QueryRows(db, "select count(*) from item_search_queue"), (Rows{{"10"}}));
    EXPECT_EQ(IndexQueuedSearchItems(store), 10);
}

// The words of an index that a file of an earlier version brought along are read behind the
// window once the queue is empty, so that its searches spell word parts out.
TEST(SearchIndexer, ReadsTheWordsOfAnEarlierFilesIndexOnceTheQueueIsEmpty) {
    TempDataFolder folder;
    folder.CreateDatabase();
    const std::string db = folder.File("data/data.dat");
    ExecSql(db, "insert into channel (ID, rss_title) values (1, '足球')");
    ExecSql(db,
            "insert into item (rss_channelID, rss_title, rss_pubDate) with recursive n(i) as "
            "(select 0 union all select i + 1 from n where i + 1 < 1500) "
            "select 1, 'goal' || i || ' 新闻', '2024-01-01' from n");
    {
        CFeedStore store(folder.Path());
        ASSERT_TRUE(store.Open()) << store.LastError();
        while (IndexQueuedSearchItems(store) > 0) {
        }
    }
    // As the upgrade leaves such a file: its index whole, its words still to be read.
    ExecSql(db, "delete from item_search_word; insert into item_search_word_fill values ('')");
    AddItems(db, 0, 10);

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Startup()) << store.LastError();
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (QueryRows(db, "select count(*) from item_search_word_fill") != Rows{{"0"}} &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(QueryRows(db, "select count(*) from item_search_queue"), (Rows{{"0"}}));
    EXPECT_EQ(QueryRows(db, "select count(*) from item_search_word_fill"), (Rows{{"0"}}));
    // goal0 to goal1499, the new items' numbers (0 to 9, words of their own), and nothing of
    // the Chinese.
    EXPECT_EQ(QueryRows(db, "select count(*), min(term), max(term) from item_search_word"),
              (Rows{{"1510", "0", "goal999"}}));
    store.Shutdown();
}

// While news is being stored the indexer keeps off the write lock: woken, it waits until the
// last storing thread is done, then takes the queue in.
TEST(SearchIndexer, WaitsWhileNewsIsStored) {
    TempDataFolder folder;
    folder.CreateDatabase();
    const std::string db = folder.File("data/data.dat");
    ExecSql(db, "insert into channel (ID, rss_title) values (1, '足球')");
    CFeedStore store(folder.Path());
    {
        CSearchIndexer::Storing first(store.Indexer());
        std::optional<CSearchIndexer::Storing> second(store.Indexer());
        ASSERT_TRUE(store.Startup(false)) << store.LastError();
        AddItems(db, 0, 50);
        store.NotifyNewsStored();
        second.reset();
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(QueryRows(db, "select count(*) from item_search_queue"), (Rows{{"50"}}));
    }
    EXPECT_TRUE(WaitForEmptyQueue(db));
    store.Shutdown();
}
