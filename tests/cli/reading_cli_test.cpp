// quillon-cli search and mark-read, and the read state list prints.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_support.h"
#include "model/news_seed.h"
#include "support/temp_data_folder.h"
#include "support/write_protect.h"

using namespace std::chrono;
using news_seed::AddChannel;
using news_seed::AddItem;

namespace {

std::string Iso(sys_days date) {
    const year_month_day ymd(date);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

constexpr char kTree[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
    "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
    "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>体育</TEXT>"
    "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT></KEYWORDNODE>"
    "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>Tennis</TEXT></KEYWORDNODE>"
    "</KEYWORDNODE>"
    "<KEYWORDNODE><ID>4</ID><NODETYPE>KEY</NODETYPE><TEXT>weather</TEXT></KEYWORDNODE>"
    "</KEYWORDTREE>";

class CliReadingTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder.WriteFile("document/keywordlist.xml", kTree); }

    // The channels of the tree, with news of today, three days ago and years ago.
    void AddNews() {
        const std::string db = m_folder.File("data/data.dat");
        AddChannel(db, 1, "足球");
        AddChannel(db, 2, "Tennis");
        AddChannel(db, 3, "weather");
        AddItem(db, 1, {"中国足球", Iso(m_today)});
        AddItem(db, 1,
                {"match", Iso(m_today - days{3}), "http://news.test/m", "记者", "新华网",
                 "<p>a <b>足</b>球 match</p>"});
        AddItem(db, 1, {"old", "2001-01-01", "http://news.test/o", "记者", "新华网", "足球"});
        AddItem(db, 2, {"ace 足球", Iso(m_today)});
        AddItem(db, 3, {"rain", Iso(m_today)});
    }

    nlohmann::ordered_json Json(const std::vector<std::string>& args) {
        const ProcessResult run = Cli(args, m_folder.Path());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return ListedRows(run.out);
    }

    static nlohmann::ordered_json Row(sys_days date, const std::string& title,
                                      const std::string& channel, bool read = false) {
        return ExpectedListRow(date, title, channel, "记者", "新华网", read);
    }

    TempDataFolder m_folder;
    const sys_days m_today = LocalToday();
};

}  // namespace

// Every channel and every age, newest first (of one day, the item stored later first), the
// description read as its text; the rows are those of list.
TEST_F(CliReadingTest, SearchPrintsTheMatchesOfEveryChannelAsListPrintsRows) {
    m_folder.CreateDatabase();
    AddNews();
    const nlohmann::ordered_json rows = Json({"search", "足球", "--json"});
    ASSERT_EQ(rows.size(), 4u) << rows.dump();
    EXPECT_EQ(rows[0], Row(m_today, "ace 足球", "Tennis"));
    EXPECT_EQ(rows[1], Row(m_today, "中国足球", "足球"));
    EXPECT_EQ(rows[2], Row(m_today - days{3}, "match", "足球"));
    EXPECT_EQ(rows[3]["title"], "old");
    EXPECT_EQ(rows[3]["category"], "早期新闻");

    const ProcessResult text = Cli({"search", "MATCH"}, m_folder.Path());
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("\t足球\t* match\n"), std::string::npos) << text.out;
    EXPECT_EQ(Json({"search", "网球", "--json"}), nlohmann::ordered_json::array());

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"search"}, {"search", "a", "b"}, {"search", "a", "--today"}}) {
        EXPECT_EQ(Cli(wrong, m_folder.Path()).exitCode, 2) << wrong.size();
    }
}

TEST_F(CliReadingTest, MarkReadMarksAChannelOrEveryChannelOfAFolderRead) {
    m_folder.CreateDatabase();
    AddNews();
    const ProcessResult folder = Cli({"mark-read", "体育"}, m_folder.Path());
    ASSERT_EQ(folder.exitCode, 0) << folder.err;
    EXPECT_EQ(folder.out, "marked 4 items read\n");
    EXPECT_EQ(Json({"list", "体育"}), (nlohmann::ordered_json{
                                          Row(m_today, "ace 足球", "Tennis", true),
                                          Row(m_today, "中国足球", "足球", true),
                                          Row(m_today - days{3}, "match", "足球", true),
                                      }));
    EXPECT_EQ(Json({"list", "weather"}), (nlohmann::ordered_json{Row(m_today, "rain", "weather")}));

    EXPECT_EQ(Cli({"mark-read", "weather"}, m_folder.Path()).out, "marked 1 items read\n");
    EXPECT_EQ(Json({"list", "weather"})[0]["read"], true);
    EXPECT_EQ(Cli({"mark-read", "weather"}, m_folder.Path()).out, "marked 0 items read\n");
    EXPECT_EQ(Cli({"mark-read", "没有"}, m_folder.Path()).exitCode, 1);
    EXPECT_EQ(Cli({"mark-read"}, m_folder.Path()).exitCode, 2);
}

// A database of the build before the read state: the first command queues its items for the
// index, the search takes them in, and every item it held counts as read.
TEST_F(CliReadingTest, AnOlderDatabaseGainsItsIndexOnFirstUseWithEveryItemRead) {
    m_folder.CreateDatabaseWith(ReadTestData("db/schema_v4.sql"));
    AddNews();
    const ProcessResult run = Cli({"search", "足球", "--json"}, m_folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Opening queued the items; the search indexed them before it searched.
    const nlohmann::ordered_json rows = nlohmann::ordered_json::parse(run.out);
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& row : rows) {
        EXPECT_EQ(row["read"], true) << row.dump();
    }
    EXPECT_EQ(Cli({"search", "足球"}, m_folder.Path()).err, "");
}

// A write-protected data folder is searched as far as its index reaches, and says how many
// items stored since could not be searched; one of the build before the index cannot be
// searched at all, and says so without touching the file.
TEST_F(CliReadingTest, AWriteProtectedFolderIsSearchedAsFarAsItsIndexReaches) {
    m_folder.CreateDatabase();
    AddNews();
    ASSERT_EQ(Json({"search", "足球", "--json"}).size(), 4u);  // indexes the five items
    AddItem(m_folder.File("data/data.dat"), 1, {"足球 later", Iso(m_today)});
    {
        const WriteProtected database(m_folder.File("data/data.dat"));
        const WriteProtected folder(m_folder.File("data"));
        if (!database.IsSet() || !folder.IsSet()) {
            GTEST_SKIP() << "this file system cannot write-protect a file";
        }
        const ProcessResult run = Cli({"search", "足球", "--json"}, m_folder.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(nlohmann::ordered_json::parse(run.out).size(), 4u) << run.out;
        EXPECT_NE(run.err.find("1 stored items could not be added to the search index and were "
                               "not searched: the data folder can only be read"),
                  std::string::npos)
            << run.err;
    }
    // Once the folder can be written again, the queued item is indexed and found.
    const ProcessResult writable = Cli({"search", "足球", "--json"}, m_folder.Path());
    ASSERT_EQ(writable.exitCode, 0) << writable.err;
    EXPECT_EQ(nlohmann::ordered_json::parse(writable.out).size(), 5u);
    EXPECT_EQ(writable.err, "");

    TempDataFolder older;
    older.WriteFile("document/keywordlist.xml", kTree);
    older.CopySeedSettings();
    older.CopySeed("services.conf", "data/services.conf");
    older.CreateDatabaseWith(ReadTestData("db/schema_v4.sql"));
    AddChannel(older.File("data/data.dat"), 1, "足球");
    AddItem(older.File("data/data.dat"), 1, {"足球", Iso(m_today)});
    const std::string before = older.ReadFile("data/data.dat");
    const WriteProtected database(older.File("data/data.dat"));
    const WriteProtected folder(older.File("data"));
    ASSERT_TRUE(database.IsSet() && folder.IsSet());
    const ProcessResult run = Cli({"search", "足球"}, older.Path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("has no search index yet, and the data folder can only be read"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(older.ReadFile("data/data.dat"), before);
}

// A statement that fails on the disk (here the file size limit, which binds root too, stops
// the log from growing) is said in words with what to do, never as SQLite's error text. The
// limit is raised step by step until opening the database passes and marking fails.
TEST_F(CliReadingTest, AFailedStatementIsSaidInWordsNotAsTheDatabasesErrorText) {
    m_folder.CreateDatabase();
    m_folder.CopySeedSettings();
    m_folder.CopySeed("services.conf", "data/services.conf");
    const std::string db = m_folder.File("data/data.dat");
    AddChannel(db, 1, "足球");
    news_seed::AddNumberedItems(db, 1, 3000, "news ", Iso(m_today), 1);
    ASSERT_EQ(Cli({"list", "足球"}, m_folder.Path()).exitCode, 0);  // brought up to date
    const std::string cli = QUILLON_CLI_PATH;
    const std::string kept = m_folder.ReadFile("data/data.dat");
    std::string said;
    for (int limit = 8'000; limit <= 400'000 && said.empty(); limit += 8'000) {
        const ProcessResult run =
            RunProcess("/bin/sh",
                       {"-c", "trap '' XFSZ; exec prlimit --fsize=" + std::to_string(limit) + " " +
                                  cli + " --data " + m_folder.Path() + " mark-read 足球"},
                       m_folder.Path());
        ASSERT_EQ(run.err.find("Code="), std::string::npos) << run.err;
        ASSERT_EQ(run.err.find("SQLite"), std::string::npos) << run.err;
        if (run.err.find("cannot mark the news read") != std::string::npos) {
            EXPECT_EQ(run.exitCode, 1);
            said = run.err;
        }
        ASSERT_NE(run.out.find("marked"), 0u) << "marked with a limit of " << limit;
        m_folder.WriteFile("data/data.dat", kept);
        std::remove((db + "-wal").c_str());
        std::remove((db + "-shm").c_str());
    }
    EXPECT_NE(said.find("the disk"), std::string::npos) << said;
}
