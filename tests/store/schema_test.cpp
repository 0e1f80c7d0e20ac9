#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/utc_time.h"
#include "feeds/feed_store.h"
#include "feeds/source_policy.h"
#include "store/ado_recordset.h"
#include "store/data_folder.h"
#include "store/schema.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/source_status.h"
#include "store/sqlite_handle.h"
#include "store/star_statements.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "support/write_protect.h"

namespace {

std::string Db(const TempDataFolder& folder) {
    return folder.File("data/data.dat");
}

int Count(const CAdoConnection& connection, const std::string& sql) {
    CAdoRecordset records(connection);
    return records.Open(sql) ? records.GetRecordCount() : -1;
}

// Every table's columns, every index's columns with their collation, and the triggers: what
// a statement can tell of the schema. Declared sizes are left out: SQLite does not enforce
// them, and a file keeps those it was made with.
Rows SchemaOf(const std::string& path) {
    Rows rows = QueryRows(path,
                          "SELECT m.name, p.name, rtrim(p.type, '0123456789()'), p.pk "
                          "FROM sqlite_master m, pragma_table_info(m.name) p "
                          "WHERE m.type = 'table' ORDER BY 1, p.cid");
    const Rows indexes = QueryRows(
        path,
        "SELECT m.name, x.name, x.coll, x.desc FROM sqlite_master m, pragma_index_xinfo(m.name) x "
        "WHERE m.type = 'index' AND x.key = 1 ORDER BY 1, x.seqno");
    rows.insert(rows.end(), indexes.begin(), indexes.end());
    // The triggers as written, so that a step's text cannot drift from data/schema.sql.
    const Rows triggers =
        QueryRows(path, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' ORDER BY 1");
    rows.insert(rows.end(), triggers.begin(), triggers.end());
    return rows;
}

Rows CurrentVersion() {
    return {{std::to_string(kSchemaVersion)}};
}

// An item's columns as every version has them, so that a column an upgrade adds does not
// count as a changed row.
constexpr char kItemsAsStored[] =
    "SELECT ID, rss_channelID, rss_title, rss_link, rss_description, rss_author, rss_category, "
    "rss_comments, rss_enclosure, rss_guid, rss_pubDate, rss_source FROM item ORDER BY ID";

Rows FreshSchema() {
    TempDataFolder fresh;
    fresh.CreateDatabase();
    return SchemaOf(Db(fresh));
}

}  // namespace

// The schema a new data folder is made with is of the version the steps bring a file to, so
// that a new file is not taken for an older one.
TEST(DatabaseOpen, ANewFileIsOfTheCurrentVersion) {
    TempDataFolder fresh;
    fresh.CreateDatabase();
    EXPECT_EQ(QueryRows(Db(fresh), "PRAGMA user_version"), CurrentVersion());
}

// Such a file is refused as a missing one is, and never turned into an empty database.
TEST(DatabaseOpen, AnEmptyFileOrOneWithoutTheTablesIsRefusedAndLeftAsItWas) {
    TempDataFolder folder;
    folder.WriteFile("data/data.dat", "");
    CFeedStore store(folder.Path());
    EXPECT_FALSE(store.Open());
    EXPECT_NE(store.LastError().find("no channel and item tables"), std::string::npos)
        << store.LastError();
    EXPECT_EQ(std::filesystem::file_size(Db(folder)), 0u);

    std::filesystem::remove(Db(folder));
    folder.CreateDatabaseWith("CREATE TABLE opml (ID INTEGER PRIMARY KEY, opml_key);");
    const std::string before = folder.ReadFile("data/data.dat");
    EXPECT_FALSE(store.Open());
    EXPECT_EQ(folder.ReadFile("data/data.dat"), before);
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA journal_mode"), (Rows{{"delete"}}));
}

// Such a file is refused for storing, and says so; one that is only read opens as it is.
TEST(DatabaseOpen, AFileThatCanOnlyBeReadIsRefusedForStoringAndOpensForReading) {
    TempDataFolder folder;
    folder.CreateDatabase();
    ExecSql(Db(folder), "insert into channel (ID, rss_title) values (1, 'News')");
    const WriteProtected protectedFile(Db(folder));
    if (!protectedFile.IsSet()) {
        GTEST_SKIP() << "this file system cannot write-protect a file";
    }
    CFeedStore store(folder.Path());
    EXPECT_FALSE(store.Open());
    EXPECT_NE(store.LastError().find("can only be read"), std::string::npos) << store.LastError();
    EXPECT_EQ(DatabaseFaultOf(store.OpenFailureCode()), DataFolderFault::kDatabaseReadOnly);
    ASSERT_TRUE(store.OpenForReading()) << store.LastError();
    EXPECT_TRUE(store.IsReadOnly());
    EXPECT_EQ(Count(store, SqlSelectChannel("news")), 1);
    EXPECT_EQ(store.Execute(SqlInsertOpml("News", "http://feed.test/", "")), -1);
}

// Another program that keeps the file locked makes the open wait, then fail as busy, never
// as damaged; once the lock is gone the file opens as it always did.
TEST(DatabaseOpen, AFileLockedByAnotherConnectionIsReportedBusy) {
    for (const char* journal : {"DELETE", "WAL"}) {
        TempDataFolder folder;
        folder.CreateDatabase();
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(Db(folder).c_str(), &raw), SQLITE_OK);
        const SqliteDb other(raw);
        const std::string lock = std::string("PRAGMA journal_mode=") + journal +
                                 "; PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;";
        ASSERT_EQ(sqlite3_exec(other.get(), lock.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);

        const DataFolderStatus status =
            LayOutDataFolder(folder.Path(), "", DatabaseUse::kReadWrite, 200);
        EXPECT_EQ(status.fault, DataFolderFault::kDatabaseBusy) << journal;
        const std::string text = DescribeDataFolderStatus(status);
        EXPECT_NE(text.find("in use by another program"), std::string::npos) << text;
        EXPECT_EQ(text.find("move it away"), std::string::npos) << text;
        CFeedStore store(folder.Path());
        store.SetOpenBusyTimeout(200);
        EXPECT_FALSE(store.Open());
        EXPECT_EQ(DatabaseFaultOf(store.OpenFailureCode()), DataFolderFault::kDatabaseBusy)
            << journal << ": " << store.LastError();

        ASSERT_EQ(sqlite3_exec(other.get(),
                               "COMMIT; PRAGMA locking_mode=NORMAL; "
                               "SELECT count(*) FROM channel;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        EXPECT_TRUE(store.Open()) << journal << ": " << store.LastError();
    }
}

TEST(DatabaseCase, ChannelNamesAndItemTitlesCompareIgnoringAsciiCaseOnly) {
    TempDataFolder folder;
    folder.CreateDatabase();
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    std::array<std::string_view, 18> fields{};
    ASSERT_EQ(store.Execute(SqlInsertChannel("News", fields)), 1);
    EXPECT_EQ(Count(store, SqlSelectChannel("NEWS")), 1);
    EXPECT_EQ(store.Execute(SqlInsertChannel("news", fields)), -1);  // the unique index
    // Only ASCII letters fold: Ä and ä stay two names.
    ASSERT_EQ(store.Execute(SqlInsertChannel("Äpfel", fields)), 1);
    EXPECT_EQ(Count(store, SqlSelectChannel("äpfel")), 0);
    EXPECT_EQ(store.Execute(SqlInsertChannel("äpfel", fields)), 1);

    ItemValues item;
    item.channelId = 1;
    item.title = "Goal in the Last Minute";
    item.pubDate = {2006, 5, 12};
    ASSERT_EQ(store.Execute(SqlInsertNewItem(item)), 1);
    EXPECT_EQ(Count(store, SqlSelectItem("goal in the last minute", 1)), 1);
    EXPECT_EQ(Count(store, SqlSelectItemByTitle("GOAL IN THE LAST MINUTE", "news")), 1);
    EXPECT_EQ(Count(store, SqlSelectRecentItems("nEwS", {2006, 1, 1})), 1);
    item.title = "GOAL in the last minute";
    EXPECT_EQ(store.Execute(SqlInsertNewItem(item)), 0);

    ASSERT_EQ(store.Execute(SqlInsertOpml("News", "http://feed.test/", "")), 1);
    EXPECT_EQ(Count(store, SqlSelectOpmlByKey("news")), 1);
}

// A data.dat written by an earlier build compared names exactly and may hold channels and
// items that differ only in case. It opens, is brought up to date once, and keeps every row
// but the ones that are plainly another row: channels merge (and the report says how many),
// two items merge only when their titles are equal, or differ in case and the item rule
// (guid, else link, else description) finds them the same item.
TEST(DatabaseUpgrade, AFileOfTheFirstBuildsKeepsEveryItemThatIsNoOtherItem) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v0.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title, rss_link) VALUES (1, 'News', 'first'),"
            " (2, 'news', 'second'), (3, '足球', 'third');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_link, rss_guid, rss_pubDate)"
            " VALUES (10, 1, 'Title A', 'a1', 'g1', '2006-05-12'),"
            " (11, 2, 'title a', 'a2', 'g2', '2006-05-13'),"
            " (12, 2, 'Only in the second', '', NULL, '2006-05-14'),"
            " (13, 3, 'Goal', 'http://goal', '', '2006-05-15'),"
            " (14, 3, 'GOAL', 'http://goal', '', '2006-05-16'),"
            " (15, 9, 'No channel row', '', '', '2006-05-17'),"
            " (16, 1, 'Same', 'x', '', '2006-05-18'), (17, 2, 'Same', 'y', '', '2006-05-19'),"
            " (18, 1, '', '', 'u1', '2006-05-20'), (19, 2, '', '', 'u2', '2006-05-21');"
            "INSERT INTO opml (opml_key, opml_xml_url, opml_html_url) VALUES"
            " ('NEWS', 'http://feed.test/', 'h');");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"0"}}));

    for (int round = 0; round < 2; ++round) {
        CFeedStore store(folder.Path());
        std::vector<EngineReport> reports;
        store.SetReporter([&reports](const EngineReport& report) {
            if (report.kind == EngineReport::kRowsMerged) {
                reports.push_back(report);
            }
        });
        ASSERT_TRUE(store.Startup()) << store.LastError();
        store.Shutdown();
        EXPECT_EQ(store.LastUpgrade().fromVersion, round == 0 ? 0 : -1);
        // What was merged is reported once, when it happens.
        ASSERT_EQ(reports.size(), round == 0 ? 1u : 0u);
        if (round == 0) {
            EXPECT_EQ(reports[0].channelsMerged, 1);
            EXPECT_EQ(reports[0].itemsMerged, 2);
        }
        EXPECT_EQ(QueryRows(Db(folder), "SELECT ID, rss_title, rss_link FROM channel ORDER BY ID"),
                  (Rows{{"1", "News", "first"}, {"3", "足球", "third"}}));
        EXPECT_EQ(
            QueryRows(Db(folder),
                      "SELECT ID, rss_channelID, rss_title, rss_pubDate FROM item ORDER BY ID"),
            (Rows{{"10", "1", "Title A", "2006-05-12"},
                  {"11", "1", "title a", "2006-05-13"},
                  {"12", "1", "Only in the second", "2006-05-14"},
                  {"13", "3", "Goal", "2006-05-15"},
                  {"15", "9", "No channel row", "2006-05-17"},
                  {"16", "1", "Same", "2006-05-18"},
                  {"18", "1", "", "2006-05-20"},
                  {"19", "1", "", "2006-05-21"}}));
        EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
        EXPECT_EQ(QueryRows(Db(folder), "PRAGMA integrity_check"), (Rows{{"ok"}}));
        EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());

        EXPECT_EQ(Count(store, SqlSelectChannel("NEWS")), 1);
        EXPECT_EQ(Count(store, SqlSelectOpmlByKey("news")), 1);
        std::array<std::string_view, 18> fields{};
        EXPECT_EQ(store.Execute(SqlInsertChannel("nEWS", fields)), -1);
        ItemValues item;
        item.channelId = 3;
        item.title = "goal";
        item.pubDate = {2006, 5, 18};
        EXPECT_EQ(store.Execute(SqlInsertNewItem(item)), 0);
    }
}

// A data.dat of the build before conditional fetches has every table but feed_validator. It
// gains that one, empty, and keeps every row as it was.
TEST(DatabaseUpgrade, AFileWithoutTheValidatorTableGainsItAndKeepsItsRows) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v1.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) VALUES"
            " (10, 1, 'Title A', '2006-05-12');"
            "INSERT INTO opml (opml_key, opml_xml_url, opml_html_url) VALUES"
            " ('News', 'http://feed.test/', 'h');");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"1"}}));
    const Rows items = QueryRows(Db(folder), kItemsAsStored);
    const Rows opml = QueryRows(Db(folder), "SELECT * FROM opml");

    for (int round = 0; round < 2; ++round) {
        CFeedStore store(folder.Path());
        ASSERT_TRUE(store.Open()) << store.LastError();
        EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
        EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
        EXPECT_EQ(QueryRows(Db(folder), kItemsAsStored), items);
        EXPECT_EQ(QueryRows(Db(folder), "SELECT * FROM opml"), opml);
        EXPECT_EQ(Count(store, SqlSelectFeedValidator("news", "http://feed.test/")), 0);
        ASSERT_GE(store.Execute(SqlSaveFeedValidator("News", "http://feed.test/", "\"e'1\"", "")),
                  0);
        EXPECT_EQ(Count(store, SqlSelectFeedValidator("NEWS", "http://feed.test/")), 1);
        ASSERT_GE(store.Execute(SqlDeleteFeedValidator("News", "http://feed.test/")), 0);
    }
}

// A data.dat of the build before source outcomes has every table but source_status. It gains
// that one, empty, keeps every row, and records outcomes from then on.
TEST(DatabaseUpgrade, AFileWithoutTheSourceTableGainsItAndKeepsItsRows) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v2.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) VALUES"
            " (10, 1, 'Title A', '2006-05-12');"
            "INSERT INTO opml (opml_key, opml_xml_url, opml_html_url) VALUES"
            " ('News', 'http://feed.test/', 'h');"
            "INSERT INTO feed_validator VALUES ('News', 'http://feed.test/', '\"e\"', '');");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"2"}}));
    Rows before;
    for (const char* table : {"channel", "item", "opml", "feed_validator"}) {
        const Rows rows = QueryRows(Db(folder), table == std::string("item")
                                                    ? std::string(kItemsAsStored)
                                                    : std::string("SELECT * FROM ") + table);
        before.insert(before.end(), rows.begin(), rows.end());
    }

    for (int round = 0; round < 2; ++round) {
        CFeedStore store(folder.Path());
        ASSERT_TRUE(store.Open()) << store.LastError();
        EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"),
                  (Rows{{std::to_string(kSchemaVersion)}}));
        EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
        Rows after;
        for (const char* table : {"channel", "item", "opml", "feed_validator"}) {
            const Rows rows = QueryRows(Db(folder), table == std::string("item")
                                                        ? std::string(kItemsAsStored)
                                                        : std::string("SELECT * FROM ") + table);
            after.insert(after.end(), rows.begin(), rows.end());
        }
        EXPECT_EQ(after, before);
        SourceStatus status;
        status.channel = "News";
        status.address = "http://feed.test/";
        status.outcome = SourceOutcome::kDeferred;
        status.httpStatus = 429;
        status.failures = round + 1;
        status.retryAfter = "2030-01-01T00:00:00Z";
        ASSERT_TRUE(SaveSourceStatus(store, status));
        EXPECT_EQ(LoadSourceStatus(store, "news", "http://feed.test/"), status);
    }
}

// A data.dat of the build before the read state and the search index: every item it holds
// counts as read, the index is built over all of them while the progress is told, and the
// next opening has nothing left to do.
TEST(DatabaseUpgrade, AFileWithoutTheReadStateGainsItAllReadAndAnIndexOfEveryItem) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v4.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_description, rss_pubDate) "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12000) "
            "SELECT i, 1, '足球新闻 ' || i, '<p>第' || i || '条</p>', '2006-05-12' FROM n;");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"4"}}));

    for (int round = 0; round < 2; ++round) {
        std::vector<std::pair<std::int64_t, std::int64_t>> reports;
        CFeedStore store(folder.Path());
        store.SetSchemaProgress(
            [&](std::int64_t done, std::int64_t total) { reports.emplace_back(done, total); });
        ASSERT_TRUE(store.Open()) << store.LastError();
        EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
        EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
        EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item"), (Rows{{"12000"}}));
        EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_unread"), (Rows{{"0"}}));
        // Opened at once: every item waits in the queue for the indexer.
        EXPECT_TRUE(reports.empty());
        EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_search_queue"),
                  (Rows{{round == 0 ? "12000" : "0"}}));
        while (IndexQueuedSearchItems(store) > 0) {
        }
        EXPECT_EQ(Count(store, SqlSearchItems("\"足球\"", 1001)), 1001);
        EXPECT_EQ(Count(store, SqlSearchItems("\"第11999条\"", 1001)), 1);
    }
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    ItemValues item;
    item.channelId = 1;
    item.title = "新来的足球";
    item.pubDate = {2006, 5, 13};
    ASSERT_EQ(store.Execute(SqlInsertItem(item)), 1);
    EXPECT_EQ(IndexQueuedSearchItems(store), 1);
    EXPECT_EQ(QueryRows(Db(folder),
                        "SELECT item.ID FROM item_unread INNER JOIN item ON "
                        "item.ID = item_unread.item_id"),
              (Rows{{"12001"}}));
    EXPECT_EQ(Count(store, SqlSearchItems("\"新来\"", 1001)), 1);
}

// A data.dat of the build that kept the unread items in the order of their IDs: the same
// items stay unread, an item without a date among them, and each can be marked read.
TEST(DatabaseUpgrade, AFileWithUnreadRowsByItemKeepsEveryUnreadItem) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v5.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News'), (2, 'Sport');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
            "SELECT i, 1 + i % 2, 'item ' || i, '2006-05-' || (10 + i % 7) FROM n;"
            "INSERT INTO item (ID, rss_channelID, rss_title) VALUES (41, 2, 'undated');"
            "DELETE FROM item_unread WHERE item_id % 3 = 0;");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"5"}}));
    const Rows unread = QueryRows(Db(folder), "SELECT item_id FROM item_unread ORDER BY 1");
    ASSERT_EQ(unread.size(), 28u);

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_unread ORDER BY 1"), unread);
    EXPECT_EQ(QueryRows(Db(folder),
                        "SELECT channel_id, pub_date FROM item_unread "
                        "WHERE item_id = 41"),
              (Rows{{"2", ""}}));

    for (const std::int64_t id : {41, 40, 1}) {
        EXPECT_EQ(store.Execute(SqlMarkItemRead(id)), 1) << id;
        EXPECT_EQ(store.Execute(SqlMarkItemRead(id)), 0) << id;
    }
    EXPECT_EQ(store.Execute(SqlMarkChannelsRead({"sport"})), 12);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_unread"), (Rows{{"13"}}));
    EXPECT_EQ(store.Execute("UPDATE item SET rss_pubDate = '2006-06-01' WHERE ID = 4"), 1);
    EXPECT_EQ(store.Execute("DELETE FROM item WHERE ID = 8"), 1);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT pub_date FROM item_unread WHERE item_id = 4"),
              (Rows{{"2006-06-01"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_unread"), (Rows{{"12"}}));
}

// A source that a single 410 gave up for good before sources counted their 410s is asked
// again a day after that answer; every other row stays as it was.
TEST(DatabaseUpgrade, ASourceGivenUpByOneGoneAnswerIsAskedAgain) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v6.sql"));
    ExecSql(Db(folder),
            "INSERT INTO source_status VALUES ('News', 'http://gone.test/', '', 'gone', 410, 0,"
            " '2030-01-01T00:00:00Z', '', 4, '', '2030-01-01T00:00:00Z'),"
            " ('News', 'http://ok.test/', '', 'ok', 200, 3, '2030-01-01T00:00:00Z',"
            " '2030-01-01T00:00:00Z', 0, '', '2030-01-01T00:00:00Z');");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"6"}}));
    const Rows before = QueryRows(Db(folder), "SELECT * FROM source_status ORDER BY address");

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    Rows after = QueryRows(Db(folder), "SELECT * FROM source_status ORDER BY address");
    for (Row& row : after) {
        EXPECT_EQ(row.back(), "0");  // the new count
        row.pop_back();
    }
    EXPECT_EQ(after, before);
    const std::optional<SourceStatus> gone = LoadSourceStatus(store, "News", "http://gone.test/");
    ASSERT_TRUE(gone.has_value());
    const TimePoint answered = *ParseUtcTimeText(gone->lastAttempt);
    EXPECT_EQ(DecideFetch(gone, answered + std::chrono::hours(23), false),
              FetchDecision::kSkipBackOff);
    EXPECT_EQ(DecideFetch(gone, answered + std::chrono::hours(24), false), FetchDecision::kFetch);
}

// Search terms now fold letter case beyond ASCII and drop apostrophes: a file of the version
// before has its index emptied and every item queued again, so that the next search finds an
// old item by its folded words and removing one leaves the index in step.
TEST(DatabaseUpgrade, TheSearchIndexIsBuiltAgainWithFoldedTerms) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v7.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'World');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_description, rss_pubDate) VALUES"
            " (1, 1, 'Москва сегодня', '', '2030-01-02'), (2, 1, 'Don''t stop', '', '2030-01-01');"
            "DELETE FROM item_search_queue WHERE item_id = 2;");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"7"}}));

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_search_queue ORDER BY item_id"),
              (Rows{{"1"}, {"2"}}));
    while (IndexQueuedSearchItems(store) > 0) {
    }
    const auto found = [&store](const char* typed) {
        CAdoRecordset records(store);
        EXPECT_TRUE(records.Open(SqlSearchItems(SearchMatchExpression(typed), 10)));
        return records.GetRecordCount();
    };
    EXPECT_EQ(found("москва"), 1);
    EXPECT_EQ(found("dont"), 1);
    EXPECT_EQ(store.Execute("DELETE FROM item WHERE ID = 1"), 1);
    EXPECT_EQ(found("москва"), 0);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_search_queue"), (Rows{{"0"}}));
}

// A data.dat of the build before stars gains the empty table of starred items and keeps every
// row; a star then goes with its item when the item is deleted, and follows a changed ID.
TEST(DatabaseUpgrade, AFileWithoutStarsGainsThemAndKeepsEveryRow) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v8.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
            "VALUES (1, 1, 'one', '2006-05-10'), (2, 1, 'two', '2006-05-11'),"
            " (3, 1, 'three', '2006-05-12');"
            "DELETE FROM item_unread WHERE item_id = 2;");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"8"}}));
    const Rows items = QueryRows(Db(folder), kItemsAsStored);
    const Rows unread = QueryRows(Db(folder), "SELECT item_id FROM item_unread ORDER BY 1");

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), kItemsAsStored), items);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_unread ORDER BY 1"), unread);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_star"), (Rows{{"0"}}));

    EXPECT_EQ(store.Execute(SqlStarItem(1)), 1);
    EXPECT_EQ(store.Execute(SqlStarItem(1)), 0);
    EXPECT_EQ(store.Execute(SqlStarItem(3)), 1);
    EXPECT_EQ(store.Execute(SqlStarItem(99)), 0);  // no such item
    EXPECT_EQ(store.Execute("UPDATE item SET ID = 30 WHERE ID = 3"), 1);
    EXPECT_EQ(store.Execute("DELETE FROM item WHERE ID = 1"), 1);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_star"), (Rows{{"30"}}));
    EXPECT_EQ(store.Execute(SqlUnstarItem(30)), 1);
    EXPECT_EQ(store.Execute(SqlUnstarItem(30)), 0);
    // Marking an item unread again adds its row once; an unknown ID adds none.
    EXPECT_EQ(store.Execute(SqlMarkItemUnread(2)), 1);
    EXPECT_EQ(store.Execute(SqlMarkItemUnread(2)), 0);
    EXPECT_EQ(store.Execute(SqlMarkItemUnread(99)), 0);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_unread ORDER BY 1"),
              (Rows{{"2"}, {"30"}}));
}

// Storing an item adds its unread row with a plain insert since version 10; a file of version
// 9 keeps every item, unread row and queued item, and an item whose unread row is already
// there is stored as before.
TEST(DatabaseUpgrade, AVersion9FileKeepsItsRowsAndGainsTheCheaperUnreadTrigger) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v9.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) VALUES"
            " (1, 1, 'a', '2024-01-01'), (2, 1, 'b', '2024-01-02'), (3, NULL, 'c', NULL);"
            "DELETE FROM item_unread WHERE item_id = 2;");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"9"}}));
    const char* kRows[] = {kItemsAsStored, "SELECT * FROM item_unread",
                           "SELECT * FROM item_search_queue"};
    std::vector<Rows> before;
    for (const char* sql : kRows) {
        before.push_back(QueryRows(Db(folder), sql));
    }

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(QueryRows(Db(folder), kRows[i]), before[i]) << kRows[i];
    }
    ASSERT_EQ(store.Execute("INSERT INTO item_unread VALUES (9, 1, '2024-01-03')"), 1);
    ASSERT_EQ(store.Execute("INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
                            "VALUES (9, 1, 'd', '2024-01-03')"),
              1)
        << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_unread ORDER BY item_id"),
              (Rows{{"1"}, {"3"}, {"9"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_search_queue"), (Rows{{"4"}}));
}

// A data.dat of the build before clean-ups gains the empty table of cleaned channels and keeps
// every row, its stars and its read state.
TEST(DatabaseUpgrade, AFileWithoutCleanUpsGainsTheirRecordAndKeepsEveryRow) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v10.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
            "VALUES (1, 1, 'one', '2006-05-10'), (2, 1, 'two', '2006-05-11');"
            "DELETE FROM item_unread WHERE item_id = 2;"
            "INSERT INTO item_star (item_id) VALUES (1);");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"10"}}));
    const Rows items = QueryRows(Db(folder), kItemsAsStored);

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), kItemsAsStored), items);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_unread"), (Rows{{"1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_star"), (Rows{{"1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM channel_cleaned"), (Rows{{"0"}}));
}

// A data.dat of the build before times of day gains the column, empty, and keeps every row;
// an item stored after the upgrade keeps its time.
TEST(DatabaseUpgrade, AFileWithoutTimesOfDayGainsTheColumnAndKeepsEveryRow) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v11.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
            "VALUES (1, 1, 'one', '2006-05-10'), (2, 1, 'two', '2006-05-11');"
            "DELETE FROM item_unread WHERE item_id = 2;"
            "INSERT INTO item_star (item_id) VALUES (1);");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"11"}}));
    const Rows items = QueryRows(Db(folder), kItemsAsStored);

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), kItemsAsStored), items);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item WHERE rss_pubTime IS NULL"),
              (Rows{{"2"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_unread"), (Rows{{"1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_star"), (Rows{{"1"}}));
    ItemValues item;
    item.channelId = 1;
    item.title = "three";
    item.pubDate = {2006, 5, 12};
    item.pubTime = "08:15:00";
    ASSERT_EQ(store.Execute(SqlInsertNewItem(item)), 1) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "SELECT rss_pubTime FROM item WHERE rss_title = 'three'"),
              (Rows{{"08:15:00"}}));
}

// A data.dat of the build before news rules gains their empty tables and keeps every row, its
// stars and its read state; deleting an item then takes its hidden and colour marks with it.
TEST(DatabaseUpgrade, AFileWithoutRulesGainsTheirTablesAndKeepsEveryRow) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v12.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
            "VALUES (1, 1, 'one', '2006-05-10'), (2, 1, 'two', '2006-05-11');"
            "DELETE FROM item_unread WHERE item_id = 2;"
            "INSERT INTO item_star (item_id) VALUES (1);"
            "INSERT INTO channel_cleaned VALUES (1, '2006-01-01');");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"12"}}));
    const Rows items = QueryRows(Db(folder), kItemsAsStored);

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), kItemsAsStored), items);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_unread"), (Rows{{"1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_star"), (Rows{{"1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM channel_cleaned"), (Rows{{"1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM news_rule"), (Rows{{"0"}}));

    ASSERT_EQ(store.Execute("INSERT INTO item_hidden VALUES (1), (2)"), 2);
    ASSERT_EQ(store.Execute("INSERT INTO item_colour VALUES (2, '#ff0000')"), 1);
    ASSERT_EQ(store.Execute("DELETE FROM item WHERE ID = 2"), 1);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_hidden"), (Rows{{"1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_colour"), (Rows{{"0"}}));
}

// A data.dat of the build before gains the index of each channel's passes and keeps its
// sources; the latest pass of the channels asked for is read through it, their names
// compared ignoring case.
TEST(DatabaseUpgrade, AFileWithoutThePassIndexGainsItAndReadsEachChannelsLatestSources) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v13.sql"));
    ExecSql(Db(folder),
            "INSERT INTO source_status (channel, address, service, outcome, pass_time) VALUES"
            " ('News', 'http://a/', '', 'ok', '2024-01-02T00:00:00Z'),"
            " ('News', 'http://b/', '', 'gone', '2024-01-01T00:00:00Z'),"
            " ('news', 'http://c/', '', 'http-error', '2024-01-02T00:00:00Z'),"
            " ('Sport', 'http://d/', '', 'ok', '2024-01-03T00:00:00Z'),"
            " ('Other''s', 'http://e/', '', 'not-a-feed', '2024-01-03T00:00:00Z');");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"13"}}));
    const Rows sources = QueryRows(Db(folder), "SELECT * FROM source_status ORDER BY address");

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), "SELECT * FROM source_status ORDER BY address"), sources);

    const std::optional<SourcesByChannel> some =
        LoadLatestSourceStatus(store, {"NEWS", "other's", "nobody"});
    ASSERT_TRUE(some);
    std::vector<std::string> read;
    for (const auto& [channel, rows] : *some) {
        for (const SourceStatus& row : rows) {
            read.push_back(channel + " " + row.address);
        }
    }
    EXPECT_EQ(read,
              (std::vector<std::string>{"News http://a/", "News http://c/", "Other's http://e/"}));
    const std::optional<SourcesByChannel> all = LoadLatestSourceStatus(store);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 3u);
    EXPECT_EQ(all->at("news"), some->at("news"));
    EXPECT_EQ(LoadLatestSourceStatus(store, {})->size(), 0u);
}

// A data.dat of the build before syncing gains the sync tables, empty, and keeps every row;
// from then on a read or starred change of a synced item is queued for the server, and one of
// any other item is not.
TEST(DatabaseUpgrade, AFileWithoutSyncGainsItsTablesAndQueuesChangesOfSyncedItemsOnly) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v14.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
            "VALUES (1, 1, 'one', '2006-05-10'), (2, 1, 'two', '2006-05-11');"
            "DELETE FROM item_unread WHERE item_id = 2;"
            "INSERT INTO item_star (item_id) VALUES (1);");
    ASSERT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), (Rows{{"14"}}));
    const Rows items = QueryRows(Db(folder), kItemsAsStored);

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), kItemsAsStored), items);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM sync_item"), (Rows{{"0"}}));

    ExecSql(Db(folder),
            "INSERT INTO sync_item VALUES (501, 1, 7, 1, 1);"
            "DELETE FROM item_unread WHERE item_id = 1;"   // read here
            "DELETE FROM item_star WHERE item_id = 1;"     // and its star taken off
            "INSERT INTO item_star (item_id) VALUES (2);"  // not synced: nothing to send
            "INSERT INTO sync_applying VALUES (1);"
            "INSERT INTO item_unread VALUES (2, 1, '2006-05-11');"
            "DELETE FROM sync_applying;");
    EXPECT_EQ(QueryRows(Db(folder), "SELECT * FROM sync_queue ORDER BY field"),
              (Rows{{"501", "starred", "0"}, {"501", "unread", "0"}}));
    // Deleting the item sends nothing more.
    ExecSql(Db(folder), "DELETE FROM sync_queue; DELETE FROM item WHERE ID = 1;");
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM sync_queue"), (Rows{{"0"}}));
}

// A data.dat of the first build that synced gains the queue of feeds to unsubscribe and the
// server's names, and keeps its sync rows: a feed's title is unknown until the next sync.
TEST(DatabaseUpgrade, AFileOfTheFirstSyncKeepsItsFeedsAndGainsTheServersNames) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v15.sql"));
    ExecSql(Db(folder), "INSERT INTO sync_feed VALUES (7, 'News', 'http://a/', 0);");
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), "SELECT feed_id, channel, title IS NULL FROM sync_feed"),
              (Rows{{"7", "News", "1"}}));
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM sync_unsubscribe"), (Rows{{"0"}}));
}

// A data.dat whose index holds Traditional Chinese as it is: the items holding it leave the
// index, their old terms with them, and are queued to be indexed again; other items stay.
// Then a search in either script finds them, and removing every item leaves no term behind.
TEST(DatabaseUpgrade, AnIndexOfUnfoldedChineseIsIndexedAgainWhereItHoldsTraditional) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v15.sql"));
    ExecSql(Db(folder),
            "INSERT INTO channel (ID, rss_title) VALUES (1, 'News');"
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_description, rss_pubDate) "
            "VALUES (1, 1, '臺灣新聞', '', '2006-05-10'), (2, 1, '台湾新闻', '', '2006-05-11'),"
            "(3, 1, 'news', '&#33274;&#28771;', '2006-05-12'), (4, 1, 'plain', 'text', NULL);");
    {
        // Indexed as the earlier build did.
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(Db(folder).c_str(), &raw), SQLITE_OK);
        const SqliteDb db(raw);
        std::string failure;
        ASSERT_TRUE(InstallSearchIndex(db.get(), &failure)) << failure;
        const CUnfoldedChineseTerms unfolded;
        ASSERT_EQ(sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_EQ(IndexQueuedItems(db.get(), 100), 4);
        ASSERT_EQ(sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ExecSql(Db(folder),
            "INSERT INTO item (ID, rss_channelID, rss_title, rss_pubDate) "
            "VALUES (5, 1, '發展', '2006-05-13');");
    const Rows items = QueryRows(Db(folder), kItemsAsStored);

    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(QueryRows(Db(folder), "PRAGMA user_version"), CurrentVersion());
    EXPECT_EQ(SchemaOf(Db(folder)), FreshSchema());
    EXPECT_EQ(QueryRows(Db(folder), kItemsAsStored), items);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT item_id FROM item_search_queue ORDER BY item_id"),
              (Rows{{"1"}, {"3"}, {"5"}}));

    while (IndexQueuedSearchItems(store) > 0) {
    }
    for (const char* typed : {"台湾", "臺灣"}) {
        EXPECT_EQ(Count(store, SqlSearchItems(SearchMatchExpression(typed), 100)), 3) << typed;
    }
    EXPECT_EQ(Count(store, SqlSearchItems(SearchMatchExpression("发展"), 100)), 1);
    EXPECT_EQ(Count(store, SqlSearchItems(SearchMatchExpression("plain"), 100)), 1);
    ASSERT_EQ(store.Execute("DELETE FROM item"), 5);
    ExecSql(Db(folder),
            "INSERT INTO item_search (item_search) VALUES ('optimize');"
            "CREATE VIRTUAL TABLE temp.terms USING fts5vocab(main, item_search, row);"
            "CREATE TABLE left_over AS SELECT count(*) AS n FROM temp.terms;");
    EXPECT_EQ(QueryRows(Db(folder), "SELECT n FROM left_over"), (Rows{{"0"}}));
}
