#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "feeds/feed_store.h"
#include "store/ado_recordset.h"
#include "store/statements.h"
#include "support/temp_data_folder.h"

// Writers and readers on one connection at the same time, on a real file: every insert
// lands once, readers always see consistent counts, nothing fails with "database is locked".
TEST(DatabaseConcurrency, ReadersAndWritersRunSideBySide) {
    TempDataFolder folder;
    folder.CreateDatabase();
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open());
    constexpr int kWriters = 4;
    constexpr int kItemsPerWriter = 150;
    for (int w = 0; w < kWriters; ++w) {
        std::array<std::string_view, 18> fields{};
        ASSERT_EQ(store.Execute(SqlInsertChannel("writer " + std::to_string(w), fields)), 1);
    }
    std::atomic<int> failures{0};
    std::atomic<bool> writing{true};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < kItemsPerWriter; ++i) {
                ItemValues item;
                item.channelId = w + 1;
                const std::string title = "item " + std::to_string(i);
                item.title = title;
                item.pubDate = {2006, 5, 1 + i % 28};
                CAdoRecordset exists(store);
                if (!exists.Open(SqlSelectItem(title, w + 1)) || exists.GetRecordCount() != 0) {
                    ++failures;
                }
                exists.Close();
                if (store.Execute(SqlInsertItem(item)) != 1) {
                    ++failures;
                }
            }
        });
    }
    std::atomic<int> reads{0};
    for (int r = 0; r < 3; ++r) {
        threads.emplace_back([&] {
            int previous = 0;
            while (writing) {
                CAdoRecordset rs(store);
                if (!rs.Open("select * from item")) {
                    ++failures;
                    continue;
                }
                const int count = rs.GetRecordCount();
                if (count < previous) {
                    ++failures;  // counts never go backwards
                }
                previous = count;
                ++reads;
            }
        });
    }
    for (int w = 0; w < kWriters; ++w) {
        threads[static_cast<std::size_t>(w)].join();
    }
    writing = false;
    for (std::size_t t = kWriters; t < threads.size(); ++t) {
        threads[t].join();
    }
    EXPECT_EQ(failures.load(), 0) << store.LastError();
    EXPECT_GT(reads.load(), 0);
    CAdoRecordset all(store);
    ASSERT_TRUE(all.Open("select * from item"));
    EXPECT_EQ(all.GetRecordCount(), kWriters * kItemsPerWriter);
}
