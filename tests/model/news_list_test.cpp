#include "model/news_loader.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/clock.h"
#include "feeds/feed_store.h"
#include "model/list_mode.h"
#include "model/news_seed.h"
#include "support/temp_data_folder.h"

using namespace std::chrono;
using namespace std::chrono_literals;
using news_seed::AddChannel;
using news_seed::AddItem;
using news_seed::AddNumberedItems;

namespace {

sys_days Days(int y, unsigned m, unsigned d) {
    return sys_days{year{y} / month{m} / day{d}};
}

// Holds a loader thread at one point until the test lets it go.
class Gate {
public:
    void ArriveAndWait() {
        std::unique_lock lock(m_mutex);
        m_reached = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, 10s, [this] { return m_open; });
    }
    bool WaitUntilReached() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [this] { return m_reached; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reached = false;
    bool m_open = false;
};

// Records what the loaders publish and checks that every published row is already stored.
class RecordingListener : public INewsListListener {
public:
    void Watch(const CNewsList* list) { m_list = list; }

    void PublishCount(int count) override {
        const bool stored = m_list == nullptr || m_list->RowCount() >= count;
        {
            std::lock_guard lock(m_mutex);
            m_counts.push_back(count);
            m_publishedUnstored = m_publishedUnstored || !stored;
        }
        if (onPublish) {
            onPublish(count);
        }
    }
    void ShowStatus(const std::string& text) override {
        {
            std::lock_guard lock(m_mutex);
            m_statuses.push_back(text);
        }
        if (onStatus) {
            onStatus(text);
        }
    }

    void RefreshRead(std::uint64_t token, std::vector<CNewsRow> rows) override {
        std::lock_guard lock(m_mutex);
        m_refreshed.emplace_back(token, std::move(rows));
    }

    std::vector<int> Counts() const {
        std::lock_guard lock(m_mutex);
        return m_counts;
    }
    // What each refresh read, with its token.
    std::vector<std::pair<std::uint64_t, std::vector<CNewsRow>>> Refreshed() const {
        std::lock_guard lock(m_mutex);
        return m_refreshed;
    }
    std::vector<std::string> Statuses() const {
        std::lock_guard lock(m_mutex);
        return m_statuses;
    }
    bool PublishedUnstoredRows() const {
        std::lock_guard lock(m_mutex);
        return m_publishedUnstored;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_counts.clear();
        m_statuses.clear();
    }

    // Set before a load starts; run on the loader thread.
    std::function<void(int)> onPublish;
    std::function<void(const std::string&)> onStatus;

private:
    const CNewsList* m_list = nullptr;
    mutable std::mutex m_mutex;
    std::vector<int> m_counts;
    std::vector<std::string> m_statuses;
    std::vector<std::pair<std::uint64_t, std::vector<CNewsRow>>> m_refreshed;
    bool m_publishedUnstored = false;
};

CKeywordNode Channel(const std::string& name) {
    return CKeywordNode::NewNode(name, NODE_KEY);
}

CKeywordNode Folder(const std::string& name) {
    return CKeywordNode::NewNode(name, NODE_FOLDER);
}

struct Shown {
    std::string title;
    std::string channel;
    std::string date;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& row) {
    return out << "{" << row.title << ", " << row.channel << ", " << row.date << "}";
}

class NewsListTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetZone("UTC");
        // Wednesday 14 June 2023; with the default 30 days the cut-off is 15 May.
        m_clock.emplace(Days(2023, 6, 14) + 12h);
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();
        m_listener.Watch(&m_list);
        m_list.pacing().SetEnabled(false);
    }
    void TearDown() override {
        m_list.WaitUntilIdle();
        SetZone("UTC");
    }

    static void SetZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    std::string Db() const { return m_folder.File("data/data.dat"); }

    void Load(const CKeywordNode& node, std::vector<std::string> names = {}) {
        m_listener.Clear();
        ASSERT_TRUE(m_list.RequestLoad(node, m_mode, std::move(names)));
        m_list.WaitUntilIdle();
        EXPECT_FALSE(m_listener.PublishedUnstoredRows());
    }

    std::vector<Shown> ShownRows() const {
        std::vector<Shown> shown;
        for (const CNewsRow& row : m_list.Rows()) {
            shown.push_back({row.title, row.channel, row.dateText});
        }
        return shown;
    }

    std::optional<ScopedFixedClock> m_clock;
    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
    int m_mode = kListModeAll;  // the list mode Load requests
    RecordingListener m_listener;
    CNewsList m_list{m_store, &m_listener};  // declared last: its loader ends first
};

TEST_F(NewsListTest, ALargeChannelShowsItsNewest1001RowsPublishedInSteps) {
    AddChannel(Db(), 1, "足球");
    AddNumberedItems(Db(), 1, 1500, "item ", "2023-06-14", 10);
    Load(Channel("足球"));

    EXPECT_EQ(m_listener.Counts(), (std::vector<int>{200, 500, 1000, 1001}));
    EXPECT_EQ(m_listener.Statuses(), std::vector<std::string>{"共 1001 条新闻"});
    const std::vector<CNewsRow> rows = m_list.Rows();
    ASSERT_EQ(rows.size(), 1001u);
    EXPECT_STREQ(rows.front().dateText, "23年06月14日");
    EXPECT_STREQ(rows.front().categoryName, "今日新闻");
    EXPECT_STREQ(rows.front().channel, "足球");
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_GE(rows[i - 1].dateValue, rows[i].dateValue) << "row " << i;
    }
    EXPECT_FALSE(m_list.IsBusy());
    EXPECT_FALSE(m_list.Row(1001).has_value());
    EXPECT_FALSE(m_list.Row(-1).has_value());
}

TEST_F(NewsListTest, AChannelShowsItsItemsInsideTheRetentionPeriodWithTheirTexts) {
    AddChannel(Db(), 1, "足球");
    AddChannel(Db(), 2, "other");
    AddItem(Db(), 1, {"today", "2023-06-14", "", "作者", "来源"});
    AddItem(Db(), 1, {"monday", "2023-06-12"});
    AddItem(Db(), 1, {"last day kept", "2023-05-16"});
    AddItem(Db(), 1, {"cut-off day", "2023-05-15"});
    AddItem(Db(), 1, {"april", "2023-04-01"});
    AddItem(Db(), 1, {"no date", "NULL"});
    AddItem(Db(), 1, {"bad date", "soon"});
    AddItem(Db(), 2, {"elsewhere", "2023-06-14"});
    Load(Channel("足球"));

    const std::vector<CNewsRow> rows = m_list.Rows();
    ASSERT_EQ(rows.size(), 4u);
    // A date the database cannot read sorts as text, after every real date.
    EXPECT_EQ(rows[0].title, "bad date");
    EXPECT_STREQ(rows[0].categoryName, "早期新闻");
    EXPECT_STREQ(rows[0].dateText, "Invalid DateTime");
    EXPECT_EQ(rows[0].dateStatus, kNewsDateInvalid);
    EXPECT_EQ(rows[1].title, "today");
    EXPECT_STREQ(rows[1].author, "作者");
    EXPECT_STREQ(rows[1].source, "来源");
    EXPECT_STREQ(rows[2].categoryName, "本周新闻");
    EXPECT_EQ(rows[3].title, "last day kept");
    EXPECT_STREQ(rows[3].categoryName, "上月新闻");
    EXPECT_EQ(m_listener.Counts(), std::vector<int>{4});

    // A longer retention period reaches further back.
    m_store.Settings().SetRetentionDays(90);
    Load(Channel("足球"));
    EXPECT_EQ(m_list.RowCount(), 6);
}

// Around midnight the local day and the UTC day differ; stored days are local, so 今日 must
// be the local day, and an item dated ahead of it counts as today's, in a channel and a folder.
TEST_F(NewsListTest, TodaysListIsTheLocalDayEastAndWestOfUtcAroundMidnight) {
    const struct {
        const char* zone;
        sys_time<minutes> moment;
        const char* localToday;
        const char* localYesterday;
        const char* localTomorrow;
    } kCases[] = {
        // 00:30 on Tuesday 13 June at UTC+8 is still Monday in UTC.
        {"CST-8", Days(2023, 6, 12) + 16h + 30min, "2023-06-13", "2023-06-12", "2023-06-14"},
        // 23:30 on Monday 12 June at UTC+8 is Monday in UTC too.
        {"CST-8", Days(2023, 6, 12) + 15h + 30min, "2023-06-12", "2023-06-11", "2023-06-13"},
        // 22:00 on Monday 12 June at UTC-5 is already Tuesday in UTC.
        {"EST5", Days(2023, 6, 13) + 3h, "2023-06-12", "2023-06-11", "2023-06-13"},
        // 00:10 on Tuesday 13 June at UTC-5.
        {"EST5", Days(2023, 6, 13) + 5h + 10min, "2023-06-13", "2023-06-12", "2023-06-14"},
    };
    m_mode = kListModeToday;
    AddChannel(Db(), 1, "足球");
    AddChannel(Db(), 2, "网球");
    int caseNumber = 0;
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.zone) + " case " + std::to_string(caseNumber));
        const std::string tag = std::to_string(caseNumber++);
        SetZone(c.zone);
        m_clock.reset();
        m_clock.emplace(c.moment);
        ExecSql(Db(), "delete from item");
        AddItem(Db(), 1, {"today " + tag, c.localToday});
        AddItem(Db(), 1, {"yesterday " + tag, c.localYesterday});
        AddItem(Db(), 2, {"ahead " + tag, c.localTomorrow});

        Load(Channel("足球"));
        ASSERT_EQ(m_list.RowCount(), 1);
        EXPECT_EQ(m_list.Row(0)->title, "today " + tag);
        EXPECT_STREQ(m_list.Row(0)->categoryName, "今日新闻");
        EXPECT_FALSE(m_list.Row(0)->read);

        Load(Folder("球"), {"足球", "网球"});
        const std::vector<CNewsRow> rows = m_list.Rows();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].storedTitle, "ahead " + tag);
        EXPECT_STREQ(rows[0].categoryName, "今日新闻");
        EXPECT_EQ(rows[1].storedTitle, "today " + tag);
    }
}

TEST_F(NewsListTest, AFolderListsEachTitleOnceNewestFirstAcrossItsChannels) {
    AddChannel(Db(), 1, "Beta");
    AddChannel(Db(), 2, "alpha");
    AddChannel(Db(), 3, "gamma");
    AddItem(Db(), 1, {"Shared News", "2023-06-13"});
    AddItem(Db(), 1, {"b-new", "2023-06-14"});
    AddItem(Db(), 2, {"SHARED news", "2023-06-14"});  // the newer copy of Beta's title
    AddItem(Db(), 2, {"a-new", "2023-06-14"});
    AddItem(Db(), 2, {"a-old", "2023-06-12"});
    AddItem(Db(), 3, {"g-undated", "soon"});
    AddItem(Db(), 3, {"g-new", "2023-06-14"});
    AddItem(Db(), 3, {"g-april", "2023-04-01"});  // before the retention period
    // "sub" is a folder below: no channel has its name. "ALPHA" is alpha again.
    Load(Folder("新闻"), {"Beta", "alpha", "sub", "gamma", "ALPHA"});

    EXPECT_EQ(ShownRows(), (std::vector<Shown>{
                               {"a-new", "alpha", "23年06月14日"},
                               {"SHARED news", "alpha", "23年06月14日"},
                               {"b-new", "Beta", "23年06月14日"},
                               {"g-new", "gamma", "23年06月14日"},
                               {"a-old", "alpha", "23年06月12日"},
                               {"g-undated", "gamma", "Invalid DateTime"},
                           }));
    EXPECT_EQ(m_listener.Counts(), std::vector<int>{6});
    EXPECT_EQ(m_listener.Statuses(), std::vector<std::string>{"共 6 条新闻"});

    m_mode = kListModeToday;
    Load(Folder("新闻"), {"Beta", "alpha", "gamma"});
    EXPECT_EQ(m_list.RowCount(), 4);
}

// Twenty channels, one item a day each for 60 days: a folder lists the newest 1001 of all
// 1200, so every channel's news of today is there.
TEST_F(NewsListTest, AFolderOfTwentyChannelsListsExactlyItsNewest1001Rows) {
    m_store.Settings().SetRetentionDays(90);
    std::vector<std::string> names;
    for (int c = 0; c < 20; ++c) {
        const std::string name = (c < 10 ? "c0" : "c") + std::to_string(c);
        names.push_back(name);
        AddChannel(Db(), c + 1, name);
        AddNumberedItems(Db(), c + 1, 60, name + " item ", "2023-06-14", 60);
    }
    Load(Folder("f"), names);

    EXPECT_EQ(m_listener.Counts(), (std::vector<int>{200, 500, 1000, 1001}));
    const std::vector<CNewsRow> rows = m_list.Rows();
    ASSERT_EQ(rows.size(), 1001u);
    // Fifty whole days, then the first channel's item of the fifty-first.
    for (std::size_t i = 0; i < 1000; ++i) {
        const int daysBack = static_cast<int>(i / 20);
        EXPECT_EQ(std::string(rows[i].channel), names[i % 20]) << "row " << i;
        EXPECT_EQ(rows[i].storedTitle, names[i % 20] + " item " + std::to_string(daysBack))
            << "row " << i;
    }
    EXPECT_EQ(rows[1000].storedTitle, "c00 item 50");
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_FALSE(NewsRowBefore(rows[i], rows[i - 1])) << "row " << i;
    }
}

// The second channel repeats all of the first's 800 titles: the list reads on past them to
// fill its 1001 rows from the third.
TEST_F(NewsListTest, RepeatedTitlesDoNotShortenAFolderList) {
    AddChannel(Db(), 1, "a");
    AddChannel(Db(), 2, "b");
    AddChannel(Db(), 3, "c");
    AddNumberedItems(Db(), 1, 800, "same ", "2023-06-14", 1);
    AddNumberedItems(Db(), 2, 800, "SAME ", "2023-06-14", 1);
    AddNumberedItems(Db(), 3, 600, "c ", "2023-06-13", 1);
    Load(Folder("f"), {"a", "b", "c"});

    const std::vector<CNewsRow> rows = m_list.Rows();
    ASSERT_EQ(rows.size(), 1001u);
    EXPECT_STREQ(rows[799].channel, "a");
    EXPECT_STREQ(rows[800].channel, "c");
    EXPECT_STREQ(rows[1000].channel, "c");
    EXPECT_EQ(m_listener.Counts(), (std::vector<int>{200, 500, 1000, 1001}));
}

TEST_F(NewsListTest, AClickWhileAChannelLoadsIsDroppedAndStopsThatLoad) {
    AddChannel(Db(), 1, "big");
    AddNumberedItems(Db(), 1, 1500, "big ", "2023-06-14", 10);
    AddChannel(Db(), 2, "small");
    AddItem(Db(), 2, {"small one", "2023-06-14"});
    Gate gate;
    m_listener.onPublish = [&gate](int count) {
        if (count == 200) {
            gate.ArriveAndWait();
        }
    };
    ASSERT_TRUE(m_list.RequestLoad(Channel("big"), kListModeAll));
    ASSERT_TRUE(gate.WaitUntilReached());
    EXPECT_TRUE(m_list.IsBusy());
    EXPECT_FALSE(m_list.WaitUntilIdleFor(1ms));
    EXPECT_FALSE(m_list.RequestLoad(Channel("small"), kListModeAll));
    gate.Open();
    m_list.WaitUntilIdle();

    // The stopped load keeps and publishes what it had.
    EXPECT_EQ(m_list.RowCount(), 200);
    EXPECT_STREQ(m_list.Row(0)->channel, "big");
    EXPECT_EQ(m_listener.Counts(), (std::vector<int>{200, 200}));
    EXPECT_EQ(m_listener.Statuses(), std::vector<std::string>{"共 200 条新闻"});

    m_listener.onPublish = nullptr;
    Load(Channel("small"));
    EXPECT_EQ(ShownRows(), (std::vector<Shown>{{"small one", "small", "23年06月14日"}}));
}

TEST_F(NewsListTest, AnOutdatedFolderLoadStopsWithoutPublishingAgain) {
    for (int c = 1; c <= 3; ++c) {
        AddChannel(Db(), c, "c" + std::to_string(c));
        AddNumberedItems(Db(), c, 100, "c" + std::to_string(c) + " ", "2023-06-14", 3);
    }
    Gate gate;
    m_listener.onPublish = [&gate](int) { gate.ArriveAndWait(); };
    ASSERT_TRUE(m_list.RequestLoad(Folder("f"), kListModeAll, {"c1", "c2", "c3"}));
    ASSERT_TRUE(gate.WaitUntilReached());
    m_list.Invalidate();
    gate.Open();
    m_list.WaitUntilIdle();

    EXPECT_EQ(m_listener.Counts(), std::vector<int>{200});
    EXPECT_TRUE(m_listener.Statuses().empty());
    EXPECT_EQ(m_list.RowCount(), 200);
}

TEST_F(NewsListTest, WhenNothingCanBeReadTheListShowsZeroRows) {
    AddChannel(Db(), 1, "足球");
    AddItem(Db(), 1, {"today", "2023-06-14"});

    // Another view holds the list's place: nothing is read.
    m_mode = kListModeBook;
    Load(Channel("足球"));
    EXPECT_EQ(m_listener.Counts(), std::vector<int>{0});
    m_mode = kListModeAll;

    // A folder with nothing below it replaces the count shown before.
    Load(Channel("足球"));
    Load(Folder("empty"), {});
    EXPECT_EQ(m_listener.Counts(), std::vector<int>{0});
    EXPECT_EQ(m_list.RowCount(), 0);

    // A node that is neither a channel nor a folder loads nothing, and says the list is empty.
    Load(Channel("足球"));
    m_listener.Clear();
    EXPECT_FALSE(m_list.RequestLoad(CKeywordNode::Blank(), kListModeAll));
    EXPECT_FALSE(m_list.IsBusy());
    EXPECT_EQ(m_list.RowCount(), 0);
    EXPECT_EQ(m_listener.Counts(), std::vector<int>{0});

    m_store.Close();
    Load(Channel("足球"));
    EXPECT_EQ(m_listener.Counts(), std::vector<int>{0});
    EXPECT_EQ(m_listener.Statuses(), std::vector<std::string>{"共 0 条新闻"});
    Load(Folder("f"), {"足球", "足球"});
    EXPECT_EQ(m_listener.Counts(), std::vector<int>{0});
}

TEST_F(NewsListTest, ChannelNamesWithApostrophesLoad) {
    AddChannel(Db(), 1, "Rock 'n' Roll");
    AddItem(Db(), 1, {"It's here", "2023-06-14"});
    Load(Channel("Rock 'n' Roll"));
    EXPECT_EQ(ShownRows(), (std::vector<Shown>{{"It's here", "Rock 'n' Roll", "23年06月14日"}}));
}

TEST_F(NewsListTest, DestroyingTheListWhileItLoadsEndsItsLoader) {
    AddChannel(Db(), 1, "big");
    AddNumberedItems(Db(), 1, 1500, "big ", "2023-06-14", 10);
    RecordingListener listener;
    auto list = std::make_unique<CNewsList>(m_store, &listener);
    ASSERT_TRUE(list->RequestLoad(Channel("big"), kListModeAll));  // with its pauses: still running
    list.reset();
    const std::vector<int> counts = listener.Counts();
    ASSERT_FALSE(counts.empty());
    EXPECT_LT(counts.back(), 1001);
}

}  // namespace

// A search reads every channel and every age; the newest 1001 matches come first, each under
// its own channel, with its read state, published in the steps of a channel load.
TEST_F(NewsListTest, ASearchListsTheNewestMatchesOfEveryChannelAndAge) {
    AddChannel(Db(), 1, "足球");
    AddChannel(Db(), 2, "Tennis");
    AddNumberedItems(Db(), 1, 1500, "足球新闻 ", "2023-06-13", 900);
    AddItem(Db(), 2, {"网球与足球", "2023-06-14"});
    AddItem(Db(), 2, {"网球", "2023-06-14"});
    ExecSql(Db(),
            "delete from item_unread where item_id = "
            "(select ID from item where rss_title = '足球新闻 900')");

    m_listener.Clear();
    ASSERT_TRUE(m_list.RequestSearch("足球"));
    m_list.WaitUntilIdle();
    EXPECT_EQ(m_listener.Counts(), (std::vector<int>{200, 500, 1000, 1001}));
    EXPECT_EQ(m_listener.Statuses(), std::vector<std::string>{"搜索到1001条新闻"});
    const std::vector<CNewsRow> rows = m_list.Rows();
    ASSERT_EQ(rows.size(), 1001u);
    EXPECT_EQ(ShownRows()[0], (Shown{"网球与足球", "Tennis", "23年06月14日"}));
    // Of one day, the item stored later comes first.
    EXPECT_EQ(ShownRows()[1], (Shown{"足球新闻 900", "足球", "23年06月13日"}));
    EXPECT_EQ(ShownRows()[2], (Shown{"足球新闻 0", "足球", "23年06月13日"}));
    EXPECT_FALSE(rows[0].read);
    EXPECT_TRUE(rows[1].read);
    EXPECT_GT(rows[1].itemId, 0);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_GE(rows[i - 1].dateValue, rows[i].dateValue) << "row " << i;
    }
    EXPECT_STREQ(rows.back().categoryName, "早期新闻");

    // Nothing to search for lists nothing.
    m_listener.Clear();
    ASSERT_TRUE(m_list.RequestSearch(" ！ "));
    m_list.WaitUntilIdle();
    EXPECT_EQ(m_list.RowCount(), 0);
    EXPECT_EQ(m_listener.Statuses(), std::vector<std::string>{"搜索到0条新闻"});
}

// A part that joins a word to Chinese finds them side by side, or parted by blanks only:
// never across punctuation or from one paragraph into the next, which the index cannot tell.
TEST_F(NewsListTest, ASearchThatJoinsAWordToChineseStaysWithinASentence) {
    AddChannel(Db(), 1, "手机");
    const std::pair<const char*, const char*> items[] = {
        {"新款5G手机", "<p>news</p>"},         {"5G 手机上市", "<p>news</p>"},
        {"5G，手机", "<p>news</p>"},           {"paragraphs", "<p>支持5G</p><p>手机很贵</p>"},
        {"title and text", "<p>手机价格</p>"}, {"5G手机 and 5G，手机", "<p>news</p>"},
    };
    int day = 0;
    for (const auto& [title, description] : items) {
        AddItem(Db(), 1, {title, "2023-06-1" + std::to_string(++day), {}, {}, {}, description});
    }
    ExecSql(Db(),
            "update item set rss_title = 'title and text 5G' where rss_title = 'title and "
            "text'");
    const auto titles = [this](const std::string& typed) {
        m_list.RequestSearch(typed);
        m_list.WaitUntilIdle();
        std::vector<std::string> found;
        for (const Shown& shown : ShownRows()) {
            found.push_back(shown.title);
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ(titles("5G手机"),
              (std::vector<std::string>{"5G 手机上市", "5G手机 and 5G，手机", "新款5G手机"}));
    // Typed with punctuation, it finds them parted by punctuation or a line.
    EXPECT_EQ(titles("5g，手机"),
              (std::vector<std::string>{"5G手机 and 5G，手机", "5G，手机", "paragraphs"}));
    EXPECT_EQ(titles("5G 手机").size(), 6u);
}

// The news of a channel deleted from the tree stay stored, but a search given the tree's names
// lists none of them; a text beyond the query's limits is searched for its first parts, and
// the status says so.
TEST_F(NewsListTest, ASearchLeavesOutChannelsNotInTheTreeAndSaysWhatItCut) {
    AddChannel(Db(), 1, "足球");
    AddChannel(Db(), 2, "Deleted");
    AddItem(Db(), 1, {"足球 kept", "2023-06-14"});
    AddItem(Db(), 2, {"足球 of a deleted channel", "2023-06-14"});

    ASSERT_TRUE(m_list.RequestSearch("足球"));
    m_list.WaitUntilIdle();
    EXPECT_EQ(m_list.RowCount(), 2);

    m_listener.Clear();
    ASSERT_TRUE(m_list.RequestSearch("足球", std::vector<std::string>{"我的频道", "体育", "足球"}));
    m_list.WaitUntilIdle();
    EXPECT_EQ(ShownRows(), (std::vector<Shown>{{"足球 kept", "足球", "23年06月14日"}}));

    std::string pasted;
    for (int i = 0; i < 60000; ++i) {
        pasted += "足 ";
    }
    m_listener.Clear();
    ASSERT_TRUE(m_list.RequestSearch(pasted, std::vector<std::string>{"足球"}));
    m_list.WaitUntilIdle();
    EXPECT_EQ(m_list.RowCount(), 1);
    EXPECT_TRUE(m_list.LastSearchShortfall().textCut);
    EXPECT_EQ(
        m_listener.Statuses(),
        std::vector<std::string>{"搜索到1条新闻；搜索词太长，只搜索了前 32 个词（512 字节以内）"});
}

// What storing queued but cannot be indexed (here: the file can only be read) is counted in
// the status instead of silently passed over.
TEST(SearchStatus, SaysHowManyItemsWereNotSearchedAndWhy) {
    struct Case {
        int reason;
        const char* why;
    } cases[] = {
        {SQLITE_FULL, "磁盘已满"},
        {SQLITE_BUSY, "占用"},
        {SQLITE_READONLY, "只能读取"},
        {SQLITE_IOERR_WRITE, "数据库出错"},
    };
    for (const Case& c : cases) {
        const std::string text = SearchStatusText(3, SearchShortfall{false, 15, c.reason});
        EXPECT_TRUE(text.starts_with("搜索到3条新闻；另有 15 条新闻未能编入索引，没有搜索："))
            << text;
        EXPECT_NE(text.find(c.why), std::string::npos) << text;
    }
    EXPECT_EQ(SearchStatusText(3, SearchShortfall{false, 0, 0}), "搜索到3条新闻");
}

// A refresh reads a node's rows again while the rows on show stay, publishes no count, and
// hands its rows over; they replace the rows only when no request or invalidation came since.
TEST_F(NewsListTest, ARefreshReadsTheRowsAgainAndReplacesThemOnlyWhenNothingCameSince) {
    AddChannel(Db(), 1, "足球");
    AddItem(Db(), 1, {"one", "2023-06-13"});
    AddItem(Db(), 1, {"two", "2023-06-13"});
    Load(Channel("足球"));
    ASSERT_EQ(m_list.RowCount(), 2);
    AddItem(Db(), 1, {"three", "2023-06-14"});
    m_listener.Clear();

    EXPECT_FALSE(m_list.RequestRefresh(CKeywordNode(), m_mode));
    ASSERT_TRUE(m_list.RequestRefresh(Channel("足球"), m_mode));
    m_list.WaitUntilIdle();
    EXPECT_EQ(m_list.RowCount(), 2);
    EXPECT_TRUE(m_listener.Counts().empty());
    auto refreshed = m_listener.Refreshed();
    ASSERT_EQ(refreshed.size(), 1u);
    ASSERT_EQ(refreshed[0].second.size(), 3u);
    EXPECT_EQ(refreshed[0].second[0].title, "three");
    EXPECT_FALSE(refreshed[0].second[0].read);
    ASSERT_TRUE(m_list.ReplaceRows(refreshed[0].first, refreshed[0].second));
    EXPECT_EQ(m_list.RowCount(), 3);

    // A folder's refresh outdated before its rows are put in place changes nothing.
    AddItem(Db(), 1, {"four", "2023-06-14"});
    ASSERT_TRUE(m_list.RequestRefresh(Folder("我的频道"), m_mode, {"足球"}));
    m_list.WaitUntilIdle();
    refreshed = m_listener.Refreshed();
    ASSERT_EQ(refreshed.size(), 2u);
    EXPECT_EQ(refreshed[1].second.size(), 4u);
    m_list.Invalidate();
    EXPECT_FALSE(m_list.ReplaceRows(refreshed[1].first, refreshed[1].second));
    EXPECT_EQ(m_list.RowCount(), 3);
}

// Rows of today and yesterday show the time of day their item was published after the date,
// in a channel, a folder and a search alike; older rows, and items without a time, show the
// day alone.
TEST_F(NewsListTest, TodaysAndYesterdaysRowsShowTheirTimeOfDay) {
    AddChannel(Db(), 1, "足球");
    AddItem(Db(), 1, {.title = "足球 today", .date = "2023-06-14", .time = "08:05:59"});
    AddItem(Db(), 1, {.title = "足球 yesterday", .date = "2023-06-13", .time = "23:10:00"});
    AddItem(Db(), 1, {.title = "足球 untimed", .date = "2023-06-13"});
    AddItem(Db(), 1, {.title = "足球 monday", .date = "2023-06-12", .time = "10:00:00"});
    AddItem(Db(), 1, {.title = "足球 broken", .date = "2023-06-14", .time = "8h"});
    // By title: the order within a day is not what this is about.
    const std::vector<Shown> expected = {
        {"足球 broken", "足球", "23年06月14日"},          {"足球 monday", "足球", "23年06月12日"},
        {"足球 today", "足球", "23年06月14日 08:05"},     {"足球 untimed", "足球", "23年06月13日"},
        {"足球 yesterday", "足球", "23年06月13日 23:10"},
    };
    const auto shownByTitle = [this] {
        std::vector<Shown> shown = ShownRows();
        std::sort(shown.begin(), shown.end(),
                  [](const Shown& a, const Shown& b) { return a.title < b.title; });
        return shown;
    };
    Load(Channel("足球"));
    EXPECT_EQ(shownByTitle(), expected);
    Load(Folder("球"), {"足球"});
    EXPECT_EQ(shownByTitle(), expected);
    ASSERT_TRUE(m_list.RequestSearch("足球"));
    m_list.WaitUntilIdle();
    EXPECT_EQ(shownByTitle(), expected);
}
