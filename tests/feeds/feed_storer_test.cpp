#include "feeds/feed_storer.h"

#include <gtest/gtest.h>

#include "feeds/feed_store.h"
#include "feeds/rss_reader.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "support/time_zone.h"

TEST(FeedStorer, CleansTitlesInTheirFixedOrder) {
    struct Case {
        const char* title;
        const char* cleaned;
    };
    const Case cases[] = {
        {"&quot;Hi&quot; there", ";Hi; there"},
        {"<b>bold</b> and <B>not</B>", "bold and <B>not</B>"},
        {"It's", "It's"},
        // "&quot" goes first, so pieces that only meet after a later removal stay.
        {"&qu<b>ot", "&quot"},
        {"足球&quot;新闻", "足球;新闻"},
        {"<b><b>b>>", "b>>"},
        {"&quot&quot&quo", "&quo"},
        // Bytes that are not UTF-8 become U+FFFD, around a piece or not.
        {"a\xff<b>b", "a\uFFFDb"},
        {"\xe8\xb6", "\uFFFD\uFFFD"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CleanTitle(c.title), c.cleaned) << c.title;
    }
}

namespace {

// A feed of `titles`, loaded into `reader` from a file of `folder`.
void LoadFeed(CRssReader& reader, const TempDataFolder& folder,
              const std::vector<std::string>& titles) {
    std::string feed = "<rss><channel><title>t</title>";
    for (const std::string& title : titles) {
        feed += "<item><title>" + title + "</title><pubDate>2006-05-12</pubDate></item>";
    }
    folder.WriteFile("feed.xml", feed + "</channel></rss>");
    reader.LoadFromUrl(folder.File("feed.xml"), AddressOrigin::kTypedByUser);
}

}  // namespace

// A duplicate is skipped; any other failure ends the feed and says why.
TEST(FeedStorer, OnlyADuplicateIsSkippedAnyOtherFailureEndsTheFeed) {
    TempDataFolder folder;
    folder.CreateDatabase();
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open());
    Pacing noPauses;
    noPauses.SetEnabled(false);
    CRssReader reader;
    LoadFeed(reader, folder, {"One", "one", "Two"});
    StoreOutcome outcome = StoreFeed(store, reader, "News", noPauses, Pacing::Duration(0));
    EXPECT_TRUE(outcome.channelCreated);
    EXPECT_EQ(outcome.itemsStored, 2);
    EXPECT_EQ(outcome.failure, "");
    outcome = StoreFeed(store, reader, "NEWS", noPauses, Pacing::Duration(0));
    EXPECT_FALSE(outcome.channelCreated);
    EXPECT_EQ(outcome.itemsStored, 0);
    EXPECT_EQ(outcome.failure, "");

    ExecSql(folder.File("data/data.dat"), "DROP TABLE item");
    LoadFeed(reader, folder, {"Three"});
    outcome = StoreFeed(store, reader, "News", noPauses, Pacing::Duration(0));
    EXPECT_NE(outcome.failure.find("no such table: item"), std::string::npos) << outcome.failure;
    store.Close();
    outcome = StoreFeed(store, reader, "Sport", noPauses, Pacing::Duration(0));
    EXPECT_NE(outcome.failure.find("closed"), std::string::npos) << outcome.failure;
}

namespace {

// Stores `feed` (the items of an RSS channel) under "News" in `store`; the count of new items.
int StoreItems(CFeedStore& store, const TempDataFolder& folder, const std::string& items) {
    folder.WriteFile("feed.xml", "<rss><channel><title>t</title>" + items + "</channel></rss>");
    CRssReader reader;
    reader.LoadFromUrl(folder.File("feed.xml"), AddressOrigin::kTypedByUser);
    Pacing noPauses;
    noPauses.SetEnabled(false);
    const StoreOutcome outcome = StoreFeed(store, reader, "News", noPauses, Pacing::Duration(0));
    EXPECT_EQ(outcome.failure, "");
    return outcome.itemsStored;
}

class FeedStorerItems : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open());
    }
    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
};

}  // namespace

// Items without a title are told apart by their guid, else their link, else their
// description; a feed of them is stored whole once, and not again.
TEST_F(FeedStorerItems, UntitledItemsAreToldApartByGuidLinkOrDescription) {
    std::string hundred;
    for (int i = 0; i < 100; ++i) {
        hundred += "<item><link>http://x.test/" + std::to_string(i) + "</link></item>";
    }
    EXPECT_EQ(StoreItems(m_store, m_folder, hundred), 100);
    EXPECT_EQ(StoreItems(m_store, m_folder, hundred), 0);

    const std::string byGuid =
        "<item><title> </title><guid>g1</guid><link>http://x.test/0</link></item>"
        "<item><guid>g2</guid><link>http://x.test/0</link></item>";
    EXPECT_EQ(StoreItems(m_store, m_folder, byGuid), 2);  // same link, other guids
    EXPECT_EQ(StoreItems(m_store, m_folder, byGuid), 0);
    const std::string byDescription =
        "<item><description>Don't panic</description></item>"
        "<item><description>Dont panic</description></item>"
        "<item><description>Keep calm</description></item>";
    EXPECT_EQ(StoreItems(m_store, m_folder, byDescription), 2);
    EXPECT_EQ(
        QueryRows(m_folder.File("data/data.dat"), "select count(*) from item where rss_title = ''"),
        (Rows{{"104"}}));
}

// Titles and descriptions are stored as written; a title compares without its apostrophes,
// so the rows an old build stored without them stay the same items.
TEST_F(FeedStorerItems, ApostrophesAreStoredAndSetAsideWhenTitlesCompare) {
    EXPECT_EQ(StoreItems(m_store, m_folder, "<item><title>Other</title></item>"), 1);
    ExecSql(m_folder.File("data/data.dat"),
            "insert into item (rss_channelID, rss_title, rss_pubDate) values (1, 'Dont panic', "
            "'2006-05-12')");
    EXPECT_EQ(StoreItems(m_store, m_folder,
                         "<item><title>Don't panic</title></item>"
                         "<item><title>It's new</title><description>It's here</description></item>"
                         "<item><title>Its NEW</title></item>"),
              1);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "select rss_title, rss_description from item order by ID"),
              (Rows{{"Other", ""}, {"Dont panic", "NULL"}, {"It's new", "It's here"}}));
}

// A feed is one transaction. A statement failing mid-feed keeps the items before it, as a
// commit per item did; a failure that undoes the transaction stores none of the feed, says
// so, and leaves every other feed's items as they were.
TEST(FeedStorer, AFailureMidFeedKeepsWhatWasCommittedAndCountsOnlyThat) {
    TempDataFolder folder;
    folder.CreateDatabase();
    const std::string db = folder.File("data/data.dat");
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open());
    Pacing noPauses;
    noPauses.SetEnabled(false);
    CRssReader reader;
    LoadFeed(reader, folder, {"Earlier"});
    ASSERT_EQ(StoreFeed(store, reader, "Old", noPauses, Pacing::Duration(0)).itemsStored, 1);

    ExecSql(db,
            "CREATE TRIGGER refuse BEFORE INSERT ON item WHEN new.rss_title = 'Bad' BEGIN "
            "SELECT RAISE(ABORT, 'refused'); END");
    LoadFeed(reader, folder, {"One", "Two", "Bad", "Three"});
    StoreOutcome outcome = StoreFeed(store, reader, "News", noPauses, Pacing::Duration(0));
    EXPECT_TRUE(outcome.channelCreated);
    EXPECT_EQ(outcome.itemsStored, 2);
    EXPECT_NE(outcome.failure.find("refused"), std::string::npos) << outcome.failure;

    ExecSql(db,
            "DROP TRIGGER refuse; CREATE TRIGGER refuse BEFORE INSERT ON item WHEN new.rss_title "
            "= 'Bad' BEGIN SELECT RAISE(ROLLBACK, 'undone'); END");
    LoadFeed(reader, folder, {"Four", "Bad", "Five"});
    outcome = StoreFeed(store, reader, "Sport", noPauses, Pacing::Duration(0));
    EXPECT_FALSE(outcome.channelCreated);
    EXPECT_EQ(outcome.itemsStored, 0);
    EXPECT_NE(outcome.failure.find("undone"), std::string::npos) << outcome.failure;
    EXPECT_EQ(QueryRows(db, "select rss_title from channel order by ID"),
              (Rows{{"Old"}, {"News"}}));
    EXPECT_EQ(QueryRows(db, "select rss_title from item order by ID"),
              (Rows{{"Earlier"}, {"One"}, {"Two"}}));
    // Each stored item is unread and queued for the index, once.
    EXPECT_EQ(QueryRows(db, "select count(*) from item_unread"), (Rows{{"3"}}));
    EXPECT_EQ(QueryRows(db, "select count(*) from item_search_queue"), (Rows{{"3"}}));
}

// Items of one feed share a transaction and a prepared statement for each kind of key: each
// kind still finds the duplicate stored just before it.
TEST_F(FeedStorerItems, EachKindOfKeyFindsItsDuplicateWithinOneFeed) {
    EXPECT_EQ(StoreItems(m_store, m_folder,
                         "<item><title>A</title></item><item><title>a</title></item>"
                         "<item><guid>g</guid></item><item><guid>g</guid></item>"
                         "<item><link>http://x.test/l</link></item>"
                         "<item><link>http://x.test/l</link></item>"
                         "<item><description>d'x</description></item>"
                         "<item><description>dx</description></item>"),
              4);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "select rss_title, rss_guid, rss_link, rss_description from item order "
                        "by ID"),
              (Rows{{"A", "", "", ""},
                    {"", "g", "", ""},
                    {"", "", "http://x.test/l", ""},
                    {"", "", "", "d'x"}}));
}

// An item keeps the local time of day it was published beside its day; one whose feed gave no
// time, or no usable date, keeps none.
TEST_F(FeedStorerItems, TheLocalTimeOfDayIsStoredBesideTheDay) {
    ScopedTimeZone zone("CST-8");
    EXPECT_EQ(StoreItems(m_store, m_folder,
                         "<item><title>zoned</title>"
                         "<pubDate>Tue, 13 Jun 2023 23:30:00 GMT</pubDate></item>"
                         "<item><title>as written</title><pubDate>2023-06-13 08:05</pubDate></item>"
                         "<item><title>day only</title><pubDate>13 Jun 2023</pubDate></item>"
                         "<item><title>undated</title></item>"),
              4);
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "select rss_title, rss_pubDate, ifnull(rss_pubTime, '-') from item "
                        "where rss_title <> 'undated' order by ID"),
              (Rows{{"zoned", "2023-06-14", "07:30:00"},
                    {"as written", "2023-06-13", "08:05:00"},
                    {"day only", "2023-06-13", "-"}}));
    EXPECT_EQ(QueryRows(m_folder.File("data/data.dat"),
                        "select count(*) from item where rss_title = 'undated' and "
                        "rss_pubTime is null"),
              (Rows{{"1"}}));
}
