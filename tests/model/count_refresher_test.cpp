#include "model/count_refresher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "feeds/feed_store.h"
#include "model/news_seed.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using namespace std::chrono;
using namespace std::chrono_literals;
using news_seed::AddChannel;
using news_seed::AddItem;

namespace {

using Labels = std::map<CNodeMap::Handle, std::string>;
using Unread = std::map<CNodeMap::Handle, int>;

bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = steady_clock::now() + 10s;
    while (!done()) {
        if (steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Collects the batches the refresher hands to the window.
class LabelRecorder {
public:
    CCountRefresher::LabelSink Sink() {
        return [this](std::vector<CCountRefresher::LabelChange> changes) {
            Labels batch;
            Unread unread;
            std::lock_guard lock(m_mutex);
            for (const auto& change : changes) {
                batch[change.item] = change.label;
                unread[change.item] = change.unread;
                m_warnings[change.item] = change.warning;
            }
            m_batches.push_back(std::move(batch));
            m_unread.push_back(std::move(unread));
        };
    }
    std::vector<Labels> Batches() const {
        std::lock_guard lock(m_mutex);
        return m_batches;
    }
    // The unread counts of each batch.
    std::vector<Unread> UnreadBatches() const {
        std::lock_guard lock(m_mutex);
        return m_unread;
    }

    // Whether each node's latest label came with the warning mark.
    std::map<CNodeMap::Handle, bool> Warnings() const {
        std::lock_guard lock(m_mutex);
        return m_warnings;
    }

private:
    mutable std::mutex m_mutex;
    std::map<CNodeMap::Handle, bool> m_warnings;
    std::vector<Labels> m_batches;
    std::vector<Unread> m_unread;
};

// 我的频道 (1)
//   新闻 (2): only folders below it
//     体育 (3): 足球 (4), Rock 'n' Roll (5)
//     空 (6): empty
//   Weather (7): the channel row "weather" (names compare ignoring ASCII case)
//   无行 (8): a channel without a channel row
//   备份 (9): 足球 (10), the same channel a second time: the root counts its news once
class CountRefresherTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        const std::string db = m_folder.File("data/data.dat");
        AddChannel(db, 1, "足球");
        AddChannel(db, 2, "Rock 'n' Roll");
        AddChannel(db, 3, "weather");
        // The clock stands at 2024-06-15; 30 days of retention count what is newer than
        // 2024-05-16.
        for (const char* date : {"2024-06-15", "2024-05-17", "2024-05-16", "2023-12-01"}) {
            AddItem(db, 1, {std::string("football ") + date, date});
        }
        AddItem(db, 2, {"rock 1", "2024-06-14"});
        AddItem(db, 2, {"rock 2", "2024-06-01"});
        AddItem(db, 2, {"rock 3", "2024-05-20"});
        AddItem(db, 3, {"rain", "2024-06-15"});
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();

        Add(1, CNodeMap::kNoItem, "我的频道", NODE_FOLDER);
        Add(2, 1, "新闻", NODE_FOLDER);
        Add(3, 2, "体育", NODE_FOLDER);
        Add(4, 3, "足球", NODE_KEY);
        Add(5, 3, "Rock 'n' Roll", NODE_KEY);
        Add(6, 2, "空", NODE_FOLDER);
        Add(7, 1, "Weather", NODE_KEY);
        Add(8, 1, "无行", NODE_KEY);
        Add(9, 1, "备份", NODE_FOLDER);
        Add(10, 9, "足球", NODE_KEY);
    }

    void Add(CNodeMap::Handle item, CNodeMap::Handle parent, const char* name, int type) {
        m_nodes.Insert(item, parent, CKeywordNode::NewNode(name, type));
    }

    bool WaitForPasses(int passes) {
        return WaitFor([&] { return m_refresher.PassesCompleted() >= passes; });
    }

    const Labels kFirstLabels = {
        {1, "我的频道|6"}, {2, "新闻|5"},    {3, "体育|5"}, {4, "足球|2"}, {5, "Rock 'n' Roll|3"},
        {6, "空|0"},       {7, "Weather|1"}, {8, "无行|0"}, {9, "备份|2"}, {10, "足球|2"},
    };

    ScopedFixedClock m_clock{sys_days{2024y / 6 / 15} + 12h};
    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
    CNodeMap m_nodes;
    LabelRecorder m_recorder;
    CCountRefresher m_refresher{m_store, m_store.Settings(), m_nodes, m_recorder.Sink()};
};

TEST_F(CountRefresherTest, TheFirstPassLabelsEveryChannelAndEveryFolderAtAnyDepth) {
    m_refresher.Start();
    ASSERT_TRUE(WaitForPasses(1));
    const std::vector<Labels> batches = m_recorder.Batches();
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0], kFirstLabels);
    // The records carry the channels' counts; folders keep theirs unset.
    EXPECT_EQ(m_nodes.Lookup(4).recentCount, 2);
    EXPECT_EQ(m_nodes.Lookup(5).recentCount, 3);
    EXPECT_EQ(m_nodes.Lookup(3).recentCount, 0);
    EXPECT_EQ(m_nodes.Lookup(4).name, "足球");
}

TEST_F(CountRefresherTest, ALaterPassSendsOnlyTheLabelsThatChanged) {
    m_refresher.Start();
    ASSERT_TRUE(WaitForPasses(1));
    m_refresher.Wake();
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_EQ(m_recorder.Batches().size(), 1u) << "nothing changed, nothing sent";

    AddItem(m_folder.File("data/data.dat"), 3, {"snow", "2024-06-15"});
    m_refresher.Wake();
    ASSERT_TRUE(WaitForPasses(3));
    const std::vector<Labels> batches = m_recorder.Batches();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[1], (Labels{{1, "我的频道|7"}, {7, "Weather|2"}}));
}

// Beside each label goes how many of its news are unread; reading news sends the nodes whose
// unread count changed, even where the label stays. Old news count in neither.
TEST_F(CountRefresherTest, UnreadNewsAreCountedBesideEveryLabelAndReadingThemSendsTheChange) {
    m_refresher.Start();
    ASSERT_TRUE(WaitForPasses(1));
    ASSERT_EQ(m_recorder.UnreadBatches().size(), 1u);
    EXPECT_EQ(
        m_recorder.UnreadBatches()[0],
        (Unread{{1, 6}, {2, 5}, {3, 5}, {4, 2}, {5, 3}, {6, 0}, {7, 1}, {8, 0}, {9, 2}, {10, 2}}));

    ExecSql(m_folder.File("data/data.dat"),
            "delete from item_unread where item_id in (select ID from item where rss_title in "
            "('rock 1', 'football 2023-12-01'))");
    m_refresher.Wake();
    ASSERT_TRUE(WaitForPasses(2));
    ASSERT_EQ(m_recorder.Batches().size(), 2u);
    EXPECT_EQ(m_recorder.UnreadBatches()[1], (Unread{{1, 5}, {2, 4}, {3, 4}, {5, 2}}));
    EXPECT_EQ(m_recorder.Batches()[1].at(5), "Rock 'n' Roll|3");
}

TEST_F(CountRefresherTest, AChangedRetentionPeriodOrTreeRelabelsAtTheNextPass) {
    m_refresher.Start();
    ASSERT_TRUE(WaitForPasses(1));
    m_store.Settings().SetRetentionDays(2);
    m_refresher.Wake();
    ASSERT_TRUE(WaitForPasses(2));
    ASSERT_EQ(m_recorder.Batches().size(), 2u);
    EXPECT_EQ(m_recorder.Batches()[1], (Labels{{1, "我的频道|3"},
                                               {2, "新闻|2"},
                                               {3, "体育|2"},
                                               {4, "足球|1"},
                                               {5, "Rock 'n' Roll|1"},
                                               {9, "备份|1"},
                                               {10, "足球|1"}}));

    // A renamed node: the window showed its bare name, so every label is sent again.
    m_nodes.SetName(9, "收藏");
    m_refresher.Wake();
    ASSERT_TRUE(WaitForPasses(3));
    ASSERT_EQ(m_recorder.Batches().size(), 3u);
    const Labels resent = m_recorder.Batches()[2];
    EXPECT_EQ(resent.size(), kFirstLabels.size());
    EXPECT_EQ(resent.at(9), "收藏|1");
}

// A channel whose source is said to be recorded shows its outcome at the next pass; one written
// by someone who tells nobody shows once a pass reads every channel's sources, as after a
// change of the tree.
TEST_F(CountRefresherTest, RecordedSourcesShowAtTheNextPassAndUnannouncedOnesAfterAFullRead) {
    m_refresher.Start();
    ASSERT_TRUE(WaitForPasses(1));
    const std::string db = m_folder.File("data/data.dat");
    const auto failing = [&](const char* channel) {
        ExecSql(db, std::string("insert or replace into source_status (channel, address, service, "
                                "outcome, pass_time) values ('") +
                        channel + "', 'http://feed/', '', 'http-error', '2024-06-15T12:00:00Z')");
    };
    failing("足球");
    failing("weather");
    m_refresher.SourcesChanged("足球");
    ASSERT_TRUE(WaitForPasses(2));
    EXPECT_TRUE(m_recorder.Warnings().at(4));
    EXPECT_TRUE(m_recorder.Warnings().at(10));
    EXPECT_FALSE(m_recorder.Warnings().at(7));

    m_nodes.SetName(9, "收藏");
    m_refresher.Wake();
    ASSERT_TRUE(WaitForPasses(3));
    EXPECT_TRUE(m_recorder.Warnings().at(7));
    EXPECT_TRUE(m_recorder.Warnings().at(4));
    // A channel whose row went away loses its mark when it is said to have changed.
    ExecSql(db, "delete from source_status where channel = '足球'");
    m_refresher.SourcesChanged("足球");
    ASSERT_TRUE(WaitForPasses(4));
    EXPECT_FALSE(m_recorder.Warnings().at(4));
    EXPECT_TRUE(m_recorder.Warnings().at(7));
}

// News stored for a named channel recount that channel alone (in any case of its name, an
// apostrophe in it, or with no recent news left); a plain wake recounts every channel.
TEST_F(CountRefresherTest, NewsOfANamedChannelRecountItAloneAndAWakeRecountsThemAll) {
    m_refresher.Start();
    ASSERT_TRUE(WaitForPasses(1));
    const std::string db = m_folder.File("data/data.dat");
    AddItem(db, 3, {"snow", "2024-06-15"});
    AddItem(db, 2, {"rock 4", "2024-06-15"});
    m_refresher.SourcesChanged("WEATHER");
    ASSERT_TRUE(WaitForPasses(2));
    ASSERT_EQ(m_recorder.Batches().size(), 2u);
    EXPECT_EQ(m_recorder.Batches()[1], (Labels{{1, "我的频道|7"}, {7, "Weather|2"}}));

    m_refresher.SourcesChanged("Rock 'n' Roll");
    ASSERT_TRUE(WaitForPasses(3));
    ASSERT_EQ(m_recorder.Batches().size(), 3u);
    EXPECT_EQ(m_recorder.Batches()[2],
              (Labels{{1, "我的频道|8"}, {2, "新闻|6"}, {3, "体育|6"}, {5, "Rock 'n' Roll|4"}}));

    ExecSql(db, "delete from item where rss_channelID = 3");
    m_refresher.SourcesChanged("weather");
    ASSERT_TRUE(WaitForPasses(4));
    ASSERT_EQ(m_recorder.Batches().size(), 4u);
    EXPECT_EQ(m_recorder.Batches()[3], (Labels{{1, "我的频道|6"}, {7, "Weather|0"}}));

    AddItem(db, 1, {"football later", "2024-06-15"});
    m_refresher.Wake();
    ASSERT_TRUE(WaitForPasses(5));
    ASSERT_EQ(m_recorder.Batches().size(), 5u);
    EXPECT_EQ(m_recorder.Batches()[4], (Labels{{1, "我的频道|7"},
                                               {2, "新闻|7"},
                                               {3, "体育|7"},
                                               {4, "足球|3"},
                                               {9, "备份|3"},
                                               {10, "足球|3"}}));
}

TEST_F(CountRefresherTest, AClosedDatabaseEndsTheRefresherWithoutALabel) {
    m_store.Close();
    m_refresher.Start();
    EXPECT_TRUE(WaitFor([&] { return m_refresher.Finished(); }));
    EXPECT_TRUE(m_recorder.Batches().empty());
    EXPECT_EQ(m_refresher.PassesCompleted(), 0);
}

TEST_F(CountRefresherTest, ClosingTheDatabaseWhileIdleEndsTheRefresherAtTheNextPass) {
    m_refresher.Start();
    ASSERT_TRUE(WaitForPasses(1));
    m_store.Close();
    m_refresher.Wake();
    EXPECT_TRUE(WaitFor([&] { return m_refresher.Finished(); }));
}

// Wakes from other threads (storing threads, the window) while passes run and the
// refresher is stopped and started again; the ThreadSanitizer build checks the rules.
TEST_F(CountRefresherTest, StoppingDuringPassesAndWakesEndsTheThread) {
    std::atomic<bool> done{false};
    std::thread waker([&] {
        while (!done) {
            m_refresher.Wake();
            std::this_thread::sleep_for(100us);
        }
    });
    for (int round = 0; round < 5; ++round) {
        m_refresher.Start();
        std::this_thread::sleep_for(3ms);
        m_refresher.Stop();
        EXPECT_TRUE(m_refresher.Finished());
    }
    done = true;
    waker.join();
    // Every batch still carries right labels.
    for (const Labels& batch : m_recorder.Batches()) {
        for (const auto& [item, label] : batch) {
            EXPECT_EQ(label, kFirstLabels.at(item));
        }
    }
}

}  // namespace
