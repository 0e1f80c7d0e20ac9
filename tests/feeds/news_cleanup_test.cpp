// Old news removed by age: what stays (starred, unread when asked, undated, recent), the
// search index and read state that follow, and the removed news that does not come back.

#include "store/news_cleanup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/clock.h"
#include "feeds/feed_store.h"
#include "feeds/feed_storer.h"
#include "feeds/rss_reader.h"
#include "store/ado_recordset.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "support/time_zone.h"

namespace {

using namespace std::chrono_literals;

class NewsCleanup : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    // Stores under `channel` a feed of (title, date) items; the count of new items.
    int Store(const std::string& channel,
              const std::vector<std::pair<std::string, std::string>>& items) {
        std::string feed = "<rss><channel><title>t</title>";
        for (const auto& [title, date] : items) {
            feed += "<item><title>" + title + "</title><pubDate>" + date + "</pubDate></item>";
        }
        m_folder.WriteFile("feed.xml", feed + "</channel></rss>");
        CRssReader reader;
        reader.LoadFromUrl(m_folder.File("feed.xml"), AddressOrigin::kTypedByUser);
        Pacing noPauses;
        noPauses.SetEnabled(false);
        const StoreOutcome outcome =
            StoreFeed(m_store, reader, channel, noPauses, Pacing::Duration(0));
        EXPECT_EQ(outcome.failure, "");
        return outcome.itemsStored;
    }

    Rows Titles() { return QueryRows(Db(), "SELECT rss_title FROM item ORDER BY rss_title"); }

    int Found(const char* typed) {
        while (IndexQueuedSearchItems(m_store) > 0) {
        }
        CAdoRecordset records(m_store);
        EXPECT_TRUE(records.Open(SqlSearchItems(SearchMatchExpression(typed), 10)));
        return records.GetRecordCount();
    }

    CleanPlan Plan(bool keepUnread) {
        CleanPlan plan;
        std::string failure;
        EXPECT_TRUE(CountOldNews(m_store, {kCutoff, keepUnread}, &plan, &failure)) << failure;
        return plan;
    }

    CleanResult Clean(bool keepUnread) {
        CleanResult result;
        std::string failure;
        EXPECT_TRUE(CleanOldNews(m_store, {kCutoff, keepUnread}, &result, &failure)) << failure;
        return result;
    }

    static constexpr AccessDate kCutoff{2030, 2, 1};
    ScopedTimeZone m_zone{"UTC0"};
    ScopedFixedClock m_clock{std::chrono::sys_days{std::chrono::year{2030} / 3 / 1} + 12h};
    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
};

}  // namespace

// Old read news goes; a starred item of any state stays, an unread one stays when asked, an
// item without a date and one of the cut-off day stay. The search index and the read state
// lose exactly the removed items.
TEST_F(NewsCleanup, RemovesOldNewsButKeepsStarredUnreadUndatedAndRecent) {
    ASSERT_EQ(Store("News", {{"oldread", "2030-01-01"},
                             {"oldstarred", "2030-01-02"},
                             {"oldunread", "2030-01-03"},
                             {"edge", "2030-02-01"},
                             {"fresh", "2030-02-28"}}),
              5);
    ExecSql(Db(),
            "INSERT INTO item (rss_channelID, rss_title, rss_pubDate) "
            "SELECT rss_channelID, 'undated', NULL FROM item LIMIT 1;"
            "DELETE FROM item_unread WHERE item_id IN (SELECT ID FROM item WHERE rss_title IN "
            "('oldread', 'oldstarred', 'undated'));"
            "INSERT INTO item_star SELECT ID FROM item WHERE rss_title = 'oldstarred';");
    EXPECT_EQ(Found("oldread"), 1);

    EXPECT_EQ(Plan(true).items, 1);
    EXPECT_EQ(Plan(false).items, 2);
    EXPECT_GT(Plan(false).bytes, Plan(true).bytes);

    const CleanResult kept = Clean(true);
    EXPECT_EQ(kept.itemsRemoved, 1);
    EXPECT_TRUE(kept.compacted);
    EXPECT_GT(kept.sizeBefore, 0);
    EXPECT_EQ(Titles(), (Rows{{"edge"}, {"fresh"}, {"oldstarred"}, {"oldunread"}, {"undated"}}));
    EXPECT_EQ(Found("oldread"), 0);
    EXPECT_EQ(Found("oldunread"), 1);

    EXPECT_EQ(Clean(false).itemsRemoved, 1);
    EXPECT_EQ(Titles(), (Rows{{"edge"}, {"fresh"}, {"oldstarred"}, {"undated"}}));
    EXPECT_EQ(Found("oldunread"), 0);
    EXPECT_EQ(QueryRows(Db(), "SELECT count(*) FROM item_search_queue"), (Rows{{"0"}}));
    // Every unread row still names a stored item, and the star stayed with its item.
    EXPECT_EQ(QueryRows(Db(),
                        "SELECT count(*) FROM item_unread WHERE item_id NOT IN "
                        "(SELECT ID FROM item)"),
              (Rows{{"0"}}));
    EXPECT_EQ(QueryRows(Db(),
                        "SELECT i.rss_title FROM item_star s JOIN item i ON i.ID = "
                        "s.item_id"),
              (Rows{{"oldstarred"}}));
    // Nothing left to remove: nothing counted, nothing removed.
    EXPECT_EQ(Plan(false).items, 0);
    EXPECT_EQ(Clean(false).itemsRemoved, 0);
}

// A removed item is not stored again while the feed carries it, but the same title of a new
// day is; a channel that was not cleaned still takes old news.
TEST_F(NewsCleanup, ARemovedItemDoesNotComeBackButARecurringTitleOfANewDayDoes) {
    const std::vector<std::pair<std::string, std::string>> feed = {{"每日简报", "2030-01-05"},
                                                                   {"周报", "2030-01-20"}};
    ASSERT_EQ(Store("News", feed), 2);
    ASSERT_EQ(Clean(false).itemsRemoved, 2);
    EXPECT_EQ(Store("News", feed), 0);
    EXPECT_EQ(Store("News", {{"每日简报", "2030-01-05"}, {"每日简报", "2030-02-27"}}), 1);
    EXPECT_EQ(QueryRows(Db(), "SELECT rss_pubDate FROM item WHERE rss_title = '每日简报'"),
              (Rows{{"2030-02-27"}}));
    EXPECT_EQ(Store("Sport", feed), 2);

    // A later clean-up with an earlier cut-off keeps the later day of the record.
    CleanResult result;
    std::string failure;
    ASSERT_TRUE(CleanOldNews(m_store, {{2030, 1, 10}, false}, &result, &failure)) << failure;
    EXPECT_EQ(result.itemsRemoved, 1);  // Sport's 每日简报
    EXPECT_EQ(QueryRows(Db(),
                        "SELECT c.rss_title, d.before_day FROM channel_cleaned d JOIN "
                        "channel c ON c.ID = d.channel_id ORDER BY 1"),
              (Rows{{"News", "2030-02-01"}, {"Sport", "2030-01-10"}}));
}

// A closed connection is a failure with its reason, never a clean-up of nothing.
TEST_F(NewsCleanup, AClosedConnectionFailsWithAReason) {
    m_store.Close();
    CleanResult result;
    CleanPlan plan;
    std::string failure;
    EXPECT_FALSE(CountOldNews(m_store, {kCutoff, true}, &plan, &failure));
    EXPECT_FALSE(failure.empty());
    failure.clear();
    EXPECT_FALSE(CleanOldNews(m_store, {kCutoff, true}, &result, &failure));
    EXPECT_FALSE(failure.empty());
}
