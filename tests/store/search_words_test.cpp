#include <gtest/gtest.h>

#include <array>
#include <set>

#include "feeds/feed_store.h"
#include "store/ado_recordset.h"
#include "store/search_index.h"
#include "store/search_terms.h"
#include "store/search_words.h"
#include "store/sqlite_handle.h"
#include "store/statements.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

namespace {

std::string Db(const TempDataFolder& folder) {
    return folder.File("data/data.dat");
}

constexpr const char* kTitles[] = {"alpha beta", "alphabet 中国新闻", "alps 2024",
                                   "ALPINE",     "中国alpaca",        "béta"};

void AddItems(const std::string& db) {
    ExecSql(db, "INSERT INTO channel (ID, rss_title) VALUES (1, 'News')");
    int id = 0;
    for (const char* title : kTitles) {
        ++id;
        ExecSql(db,
                "INSERT INTO item (ID, rss_channelID, rss_title, rss_description, "
                "rss_pubDate) VALUES (" +
                    std::to_string(id) + ", 1, '" + title + "', '<p>zulu</p>', '2020-01-0" +
                    std::to_string(id) + "')");
    }
}

std::set<std::string> Words(const std::string& db) {
    std::set<std::string> words;
    for (const auto& row : QueryRows(db, "SELECT term FROM item_search_word")) {
        words.insert(row[0]);
    }
    return words;
}

std::vector<long long> Found(const CAdoConnection& connection, const std::string& match) {
    std::vector<long long> found;
    CAdoRecordset records(connection);
    EXPECT_TRUE(records.Open(SqlSearchItems(match, 1001))) << records.LastError();
    std::int32_t id = 0;
    records.BindColumnByName("ID", &id, sizeof id, kBindNumber);
    for (; !records.IsEOF(); records.MoveNext()) {
        records.Fetch();
        found.push_back(id);
    }
    return found;
}

const std::set<std::string> kExpectedWords = {"alpha",  "beta",   "alphabet", "alps", "2024",
                                              "alpine", "alpaca", "béta",     "zulu"};

}  // namespace

// Indexing records each word of the items it takes in, never a Chinese character or pair;
// a word part is then spelled out as those words, and finds what the prefix query finds.
TEST(SearchWords, IndexingRecordsTheWordsThatWordPartsAreSpelledOutAs) {
    TempDataFolder folder;
    folder.CreateDatabase();
    AddItems(Db(folder));
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    while (IndexQueuedSearchItems(store) > 0) {
    }
    EXPECT_EQ(Words(Db(folder)), kExpectedWords);
    EXPECT_EQ(SpelledOutMatchExpression(store, "alp"),
              "(\"alpaca\" OR \"alpha\" OR \"alphabet\" OR \"alpine\" OR \"alps\")");
    EXPECT_EQ(SpelledOutMatchExpression(store, "中国alp"),
              "(\"中国alpaca\" OR \"中国alpha\" OR \"中国alphabet\" OR \"中国alpine\" OR "
              "\"中国alps\")");
    for (const char* typed : {"alp", "alpha", "中国alp", "b", "zulu alp", "20"}) {
        EXPECT_EQ(Found(store, SpelledOutMatchExpression(store, typed)),
                  Found(store, SearchMatchExpression(typed)))
            << typed;
    }
    // A word stays when its item goes; its phrase then finds nothing.
    ASSERT_EQ(store.Execute("DELETE FROM item WHERE ID = 4"), 1);
    EXPECT_TRUE(Words(Db(folder)).contains("alpine"));
    EXPECT_EQ(Found(store, SpelledOutMatchExpression(store, "alpi")), std::vector<long long>{});
}

// A file of the version before the table keeps its index as it is: word parts stay prefix
// queries until the words have been read from the index, a range of terms at a time, and
// are then spelled out, finding the same items.
TEST(SearchWords, AnEarlierFilesWordsAreReadFromItsIndex) {
    TempDataFolder folder;
    folder.CreateDatabaseWith(ReadTestData("db/schema_v17.sql"));
    AddItems(Db(folder));
    {
        // Indexed by the earlier build, which had no table to add the words to.
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(Db(folder).c_str(), &raw), SQLITE_OK);
        const SqliteDb db(raw);
        std::string failure;
        ASSERT_TRUE(InstallSearchIndex(db.get(), &failure)) << failure;
        ASSERT_EQ(sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_EQ(IndexQueuedItems(db.get(), 100), static_cast<int>(std::size(kTitles)));
        ASSERT_EQ(sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    CFeedStore store(folder.Path());
    ASSERT_TRUE(store.Open()) << store.LastError();
    EXPECT_EQ(Words(Db(folder)), std::set<std::string>{});
    EXPECT_EQ(SpelledOutMatchExpression(store, "alp"), "\"alp\" *");

    int rounds = 0;
    int read = 0;
    while ((read = FillSearchWords(store, 2)) > 0) {
        ++rounds;
    }
    EXPECT_EQ(read, 0);
    EXPECT_GE(rounds, 5);  // two terms at a time, and the step over the ideographs
    EXPECT_EQ(Words(Db(folder)), kExpectedWords);
    EXPECT_EQ(QueryRows(Db(folder), "SELECT count(*) FROM item_search_word_fill"), Rows{{"0"}});
    EXPECT_EQ(FillSearchWords(store), 0);
    EXPECT_EQ(SpelledOutMatchExpression(store, "alph"), "(\"alpha\" OR \"alphabet\")");
    for (const char* typed : {"alp", "中国alp", "b", "zulu alp"}) {
        EXPECT_EQ(Found(store, SpelledOutMatchExpression(store, typed)),
                  Found(store, SearchMatchExpression(typed)))
            << typed;
    }
}
