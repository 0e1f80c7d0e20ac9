#include "feeds/feed_storer.h"

#include <gtest/gtest.h>

#include "feeds/feed_store.h"
#include "feeds/rss_reader.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

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
