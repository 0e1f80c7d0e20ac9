#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "feeds/feed_store.h"
#include "store/ado_recordset.h"
#include "store/automation_date.h"
#include "store/sqlite_handle.h"
#include "store/statements.h"
#include "support/temp_data_folder.h"

namespace {

class Database : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        ASSERT_TRUE(m_store.Open()) << m_store.LastError();
    }

    int ChannelId(const std::string& keyword) {
        CAdoRecordset rs(m_store);
        int id = -1;
        if (rs.Open(SqlSelectChannel(keyword)) && !rs.IsEOF()) {
            rs.BindColumnByName("ID", &id, 4, kBindNumber);
            rs.Fetch();
        }
        return id;
    }

    int AddChannel(const std::string& keyword, std::string_view link = "http://c.test/") {
        std::array<std::string_view, 18> fields{};
        fields[0] = link;
        EXPECT_EQ(m_store.Execute(SqlInsertChannel(keyword, fields)), 1) << m_store.LastError();
        return ChannelId(keyword);
    }

    int AddItem(int channel, std::string_view title, AccessDate date) {
        ItemValues item;
        item.channelId = channel;
        item.title = title;
        item.link = "http://i.test/it's";
        item.description = "<p>desc</p>";
        item.author = "O'Hara";
        item.pubDate = date;
        return m_store.Execute(SqlInsertItem(item));
    }

    int Count(const std::string& sql) {
        CAdoRecordset rs(m_store);
        return rs.Open(sql) ? rs.GetRecordCount() : -1;
    }

    TempDataFolder m_folder;
    CFeedStore m_store{m_folder.Path()};
};

}  // namespace

TEST(DatabaseOpen, AMissingOrDamagedFileLeavesTheConnectionClosed) {
    TempDataFolder folder;
    CFeedStore store(folder.Path());
    EXPECT_FALSE(store.Open());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(folder.Exists("data/data.dat"));  // nothing was created
    EXPECT_EQ(store.Execute("insert into opml (opml_key) values('x')"), -1);
    CAdoRecordset rs(store);
    EXPECT_FALSE(rs.Open("select * from opml"));
    EXPECT_EQ(rs.GetRecordCount(), 0);
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(store.LastError().starts_with("Code=0000000e Message=")) << store.LastError();

    folder.WriteFile("data/data.dat", std::string(4096, 'g'));
    EXPECT_FALSE(store.Open());
    EXPECT_NE(store.LastError().find(" Source=SQLite Description="), std::string::npos);
}

TEST_F(Database, ExecuteFailsWithMinusOneAndTheErrorText) {
    EXPECT_EQ(m_store.Execute("insert into nowhere values(1)"), -1);
    EXPECT_TRUE(m_store.LastError().starts_with("Code=00000001 Message=SQL logic error Source="))
        << m_store.LastError();
    EXPECT_NE(m_store.LastError().find("no such table: nowhere"), std::string::npos);
    EXPECT_EQ(m_store.Execute("insert into opml (opml_key) values('a'); drop table item"), -1);
    EXPECT_EQ(Count("select * from item"), 0);  // the second statement never ran
    m_store.Close();
    EXPECT_EQ(m_store.Execute(SqlInsertOpml("k", "u", "h")), -1);
    EXPECT_TRUE(m_store.Open());
    EXPECT_EQ(m_store.Execute(SqlInsertOpml("k", "u", "h")), 1);
}

TEST_F(Database, ApostrophesAreStoredAndFoundAgain) {
    const std::string keyword = "Rock 'n' Roll";
    const int id = AddChannel(keyword, "http://x.test/?q='1'");
    ASSERT_GT(id, 0);
    ASSERT_EQ(AddItem(id, "It's here", {2006, 5, 1}), 1) << m_store.LastError();
    EXPECT_EQ(Count(SqlSelectItem("It's here", id)), 1);
    EXPECT_EQ(Count(SqlSelectItemByTitle("It's here", keyword)), 1);
    EXPECT_EQ(Count(SqlCountRecentItems(keyword, {2006, 4, 1})), 1);
    // A quote cannot end the value early and smuggle in SQL.
    const std::string hostile = "x' or '1'='1";
    EXPECT_EQ(Count(SqlSelectChannel(hostile)), 0);
    ASSERT_EQ(m_store.Execute(SqlInsertOpml(hostile, "http://f.test/it's", "h")), 1);
    EXPECT_EQ(Count(SqlSelectOpml(hostile, "http://f.test/it's")), 1);
    EXPECT_EQ(Count(SqlSelectOpmlByKey(hostile)), 1);
}

TEST_F(Database, ImpossibleDatesFailTheStatement) {
    const int id = AddChannel("dates");
    EXPECT_EQ(AddItem(id, "month zero", {2006, 0, 12}), -1);
    EXPECT_NE(m_store.LastError().find("invalid date literal #2006-0-12#"), std::string::npos);
    EXPECT_EQ(AddItem(id, "thirtieth of february", {2006, 2, 30}), -1);
    EXPECT_EQ(AddItem(id, "default date", {2000, 1, 1}), 1);
    CAdoRecordset rs(m_store);
    EXPECT_FALSE(rs.Open(SqlSelectRecentItems("dates", {2006, 13, 1})));
    EXPECT_EQ(Count("select * from item"), 1);
}

TEST_F(Database, ListsNewestFirstAndFiltersByDay) {
    const int id = AddChannel("list");
    AddItem(id, "old", {2006, 5, 1});
    AddItem(id, "newest", {2006, 5, 20});
    AddItem(id, "middle", {2006, 5, 10});
    AddItem(id, "before the cut-off", {2006, 4, 30});
    AddItem(AddChannel("other"), "other channel", {2006, 5, 15});

    CAdoRecordset rs(m_store);
    ASSERT_TRUE(rs.Open(SqlSelectRecentItems("list", {2006, 4, 30})));
    EXPECT_EQ(rs.GetRecordCount(), 3);
    std::vector<std::string> titles;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        char title[256] = {};
        rs.BindColumnByName("rss_title", title, sizeof title, kBindText);
        rs.Fetch();
        titles.push_back(title);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"newest", "middle", "old"}));
    rs.Close();
    // Today's list: the day and the days ahead of it.
    EXPECT_EQ(Count(SqlSelectItemsOfDay("list", {2006, 5, 10})), 2);
    EXPECT_EQ(Count(SqlSelectItemsOfDay("list", {2006, 5, 21})), 0);
    EXPECT_EQ(Count(SqlSelectItemsOfDay("nonexistent", {2006, 5, 10})), 0);
}

TEST_F(Database, BindingsCheckKindsAndFieldTypes) {
    const int id = AddChannel("kinds");
    AddItem(id, "title", {2006, 5, 1});
    CAdoRecordset rs(m_store);
    ASSERT_TRUE(rs.Open("select * from item"));
    ASSERT_EQ(rs.FieldCount(), 13);
    char text[64];
    int number = 0;
    CAdoDateValue date;
    EXPECT_EQ(rs.FieldType(0), kAdoInteger);
    EXPECT_EQ(rs.FieldType(2), kAdoVarWChar);
    EXPECT_EQ(rs.FieldType(4), kAdoLongVarWChar);
    EXPECT_EQ(rs.FieldType(10), kAdoDate);
    EXPECT_TRUE(rs.BindColumn(2, text, sizeof text, kBindText));
    EXPECT_FALSE(rs.BindColumn(1, text, sizeof text, kBindText));   // number as text
    EXPECT_FALSE(rs.BindColumn(2, &number, 4, kBindNumber));        // text as number
    EXPECT_FALSE(rs.BindColumn(2, &date, sizeof date, kBindDate));  // text as date
    EXPECT_TRUE(rs.BindColumn(10, &number, 4, kBindNumber));        // a date is no text
    EXPECT_FALSE(rs.BindColumn(10, &date, 8, kBindDate));           // too small for a date
    EXPECT_FALSE(rs.BindColumn(13, text, sizeof text, kBindText));  // out of range
    EXPECT_FALSE(rs.BindColumn(-1, text, sizeof text, kBindText));
    EXPECT_FALSE(rs.BindColumn(2, text, sizeof text, 7));  // unknown kind
    EXPECT_TRUE(rs.BindColumnByName("RSS_CHANNELID", &number, 4, kBindNumber));
    EXPECT_FALSE(rs.BindColumnByName("no_such_column", &number, 4, kBindNumber));
    EXPECT_TRUE(rs.BindColumnByName("rss_pubDate", &date, 12, kBindDate));
    ASSERT_TRUE(rs.Fetch());
    EXPECT_STREQ(text, "title");
    EXPECT_EQ(number, id);
    EXPECT_EQ(date.status, kDateValid);
    EXPECT_DOUBLE_EQ(date.date, 38838.0);  // 1 May 2006
}

TEST_F(Database, BindingsAccumulateUntilCloseAndTextIsCut) {
    const int id = AddChannel("accumulate");
    ASSERT_EQ(AddItem(id, "足球比赛", {2006, 5, 1}), 1);
    AddItem(id, "second", {2006, 5, 2});
    CAdoRecordset rs(m_store);
    ASSERT_TRUE(rs.Open(SqlSelectRecentItems("accumulate", {2006, 1, 1})));
    char first[8];
    char again[256];
    // The first row binds one buffer, the second binds another: both are filled.
    rs.BindColumnByName("rss_title", first, sizeof first, kBindText);
    rs.Fetch();
    EXPECT_STREQ(first, "second");
    rs.MoveNext();
    rs.BindColumnByName("rss_title", again, sizeof again, kBindText);
    rs.Fetch();
    EXPECT_STREQ(first, "足球");  // 7 bytes of room: two whole characters
    EXPECT_STREQ(again, "足球比赛");
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_FALSE(rs.Fetch());
    rs.MoveFirst();
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_TRUE(rs.Close());
    EXPECT_FALSE(rs.Fetch());
    // Open again: no binding survived Close.
    ASSERT_TRUE(rs.Open(SqlSelectRecentItems("accumulate", {2006, 1, 1})));
    std::strcpy(again, "kept");
    rs.Fetch();
    EXPECT_STREQ(again, "kept");
}

TEST_F(Database, NullsAndUnreadableDatesAreMarked) {
    const int id = AddChannel("nulls");
    ASSERT_EQ(m_store.Execute("insert into item (rss_channelID, rss_title) values(" +
                              std::to_string(id) + ", 'no date')"),
              1);
    ASSERT_EQ(m_store.Execute("insert into item (rss_channelID, rss_title, rss_pubDate) values(" +
                              std::to_string(id) + ", 'bad date', 'soon')"),
              1);
    CAdoRecordset rs(m_store);
    ASSERT_TRUE(rs.Open("select * from item order by ID"));
    CAdoDateValue date;
    char author[16];
    std::strcpy(author, "dirty");
    rs.BindColumnByName("rss_pubDate", &date, 12, kBindDate);
    rs.BindColumnByName("rss_author", author, sizeof author, kBindText);
    rs.Fetch();
    EXPECT_EQ(date.status, kDateNull);  // untouched status: the caller's null marker
    EXPECT_STREQ(author, "");           // the first bytes are cleared, nothing copied
    rs.MoveNext();
    date = CAdoDateValue();
    rs.Fetch();
    EXPECT_EQ(date.status, kDateInvalid);
}

TEST_F(Database, TheRecordCountMatchesTheRowsDelivered) {
    const int id = AddChannel("count");
    for (int i = 0; i < 300; ++i) {
        AddItem(id, "item " + std::to_string(i), {2006, 5, 1 + i % 28});
    }
    CAdoRecordset rs(m_store);
    ASSERT_TRUE(rs.Open(SqlCountRecentItems("count", {2006, 5, 14})));
    const int expected = rs.GetRecordCount();
    // Rows added while the recordset is open belong to a later snapshot.
    AddItem(id, "late", {2006, 5, 20});
    int delivered = 0;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        ++delivered;
    }
    EXPECT_EQ(delivered, expected);
    EXPECT_EQ(rs.GetRecordCount(), expected);
    EXPECT_EQ(Count(SqlCountRecentItems("count", {2006, 5, 14})), expected + 1);
}

TEST_F(Database, BoundQueriesFindNamesAsTheyAreAndLeaveTheirKeptStatementReady) {
    const std::string odd = "x' or '1'='1";
    const int id = AddChannel(odd);
    AddChannel("Other");
    const auto firstId = [this](std::string_view keyword, int* rows) {
        CAdoRecordset rs(m_store);
        int found = -1;
        *rows = 0;
        if (rs.OpenBound(kSqlSelectBoundChannel, {keyword})) {
            *rows = rs.GetRecordCount();  // counted with the same name bound
            rs.BindColumnByName("ID", &found, 4, kBindNumber);
            if (!rs.IsEOF()) {
                rs.Fetch();
            }
        }
        return found;
    };
    int rows = 0;
    // The same kept statement, again and again, each time with its own name: the quote is a
    // character of the name, the comparison the column's (without case).
    EXPECT_EQ(firstId(odd, &rows), id);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(firstId("x", &rows), -1);
    EXPECT_EQ(rows, 0);
    EXPECT_GT(firstId("OTHER", &rows), 0);
    EXPECT_EQ(rows, 1);
    // A recordset closed in the middle of its rows leaves the statement reset: a write
    // goes through, and the next open starts from the first row.
    {
        CAdoRecordset rs(m_store);
        ASSERT_TRUE(rs.OpenBound("select * from channel where ID >= ?1", {"0"}));
        rs.MoveNext();
    }
    EXPECT_EQ(m_store.Execute(SqlInsertOpml("k", "http://a.test/", "")), 1) << m_store.LastError();
    CAdoRecordset rs(m_store);
    ASSERT_TRUE(rs.OpenBound("select * from channel where ID >= ?1", {"0"}));
    EXPECT_EQ(rs.GetRecordCount(), 2);
    rs.Close();
    EXPECT_FALSE(rs.OpenBound("select * from no_such_table where x = ?1", {"1"}));
    EXPECT_NE(rs.LastError(), "");

    // A bound statement that writes: the rows it changed, or -1 with the failure.
    const std::string rename = "update channel set rss_title = ?2 where rss_title = ?1";
    EXPECT_EQ(m_store.ExecuteBound(rename, {odd, "it's"}), 1);
    EXPECT_EQ(m_store.ExecuteBound(rename, {odd, "again"}), 0);
    int code = SQLITE_OK;
    std::string error;
    EXPECT_EQ(m_store.ExecuteBound(rename, {"Other", "IT'S"}, &code, &error), -1);
    EXPECT_EQ(code, SQLITE_CONSTRAINT_UNIQUE);
    EXPECT_NE(error, "");
    EXPECT_EQ(m_store.ExecuteBound(rename, {"it's", "back"}), 1);
}

TEST_F(Database, AnOpenRecordsetSurvivesTheConnectionClosing) {
    AddChannel("survivor");
    CAdoRecordset rs(m_store);
    ASSERT_TRUE(rs.Open("select * from channel"));
    m_store.Close();
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.GetRecordCount(), 1);
    rs.Close();
    EXPECT_FALSE(rs.Open("select * from channel"));
}

TEST_F(Database, ADatabaseWithoutTheOpmlTableStillWorks) {
    ASSERT_EQ(m_store.Execute("drop table opml"), 0);
    CAdoRecordset rs(m_store);
    EXPECT_FALSE(rs.Open(SqlSelectOpmlByKey("k")));
    EXPECT_NE(rs.LastError().find("no such table: opml"), std::string::npos);
    EXPECT_GT(AddChannel("still works"), 0);
}

// A statement that would run for minutes ends as interrupted once its stop check says so, and
// the handle it ran on goes back to the pool without that check.
TEST_F(Database, AStopCheckEndsARunningStatementAndLeavesTheHandleAsItWas) {
    constexpr char kEndless[] =
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000000000) "
        "select count(*) from n";
    std::atomic<bool> stop{false};
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const auto started = std::chrono::steady_clock::now();
    CAdoRecordset endless(m_store);
    endless.SetStopCheck([&stop] { return stop.load(); });
    EXPECT_FALSE(endless.Open(kEndless));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(endless.LastErrorCode(), SQLITE_INTERRUPT);
    endless.Close();

    // The next statement on the pool's handles runs to its end.
    CAdoRecordset counted(m_store);
    ASSERT_TRUE(
        counted.Open("with recursive n(i) as (select 1 union all select i + 1 from n "
                     "where i < 200000) select count(*) from n"))
        << counted.LastError();
    std::int32_t count = 0;
    counted.BindColumn(0, &count, sizeof count, kBindNumber);
    counted.Fetch();
    EXPECT_EQ(count, 200000);
}

// A statement kept on a handle is prepared once and serves every later use, even after the
// schema changed beneath it; SQL that cannot be prepared is not kept.
TEST(SqliteStatementCache, KeepsEachStatementOnceAndFollowsTheSchema) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    SqliteDb db(raw);
    ASSERT_EQ(sqlite3_exec(db.get(), "CREATE TABLE t (a)", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::string insert = "INSERT INTO t (a) VALUES (?1)";
    sqlite3_stmt* first = db.Statements().Get(db.get(), insert);
    ASSERT_NE(first, nullptr);
    sqlite3_bind_int(first, 1, 1);
    EXPECT_EQ(sqlite3_step(first), SQLITE_DONE);
    sqlite3_reset(first);

    ASSERT_EQ(
        sqlite3_exec(db.get(), "ALTER TABLE t ADD COLUMN b DEFAULT 7", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_stmt* again = db.Statements().Get(db.get(), insert);
    EXPECT_EQ(again, first);
    sqlite3_bind_int(again, 1, 2);
    EXPECT_EQ(sqlite3_step(again), SQLITE_DONE);
    sqlite3_reset(again);
    EXPECT_EQ(QuerySingleInteger(db.get(), "SELECT sum(a) + sum(b) FROM t"), 17);

    EXPECT_EQ(db.Statements().Get(db.get(), "INSERT INTO missing VALUES (1)"), nullptr);
    EXPECT_NE(std::string(sqlite3_errmsg(db.get())).find("missing"), std::string::npos);
    // Moved with its handle, and finalized before the handle closes.
    SqliteDb moved = std::move(db);
    EXPECT_EQ(moved.Statements().Get(moved.get(), insert), first);
    EXPECT_EQ(sqlite3_next_stmt(moved.get(), nullptr), first);
}
