// quillon-cli list: a channel's or folder's news as the list shows it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_support.h"
#include "feeds/feed_store.h"
#include "model/news_seed.h"
#include "store/statements.h"
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

sys_days UtcToday() {
    return floor<days>(system_clock::now());
}

nlohmann::ordered_json Row(sys_days date, const std::string& title, const std::string& channel) {
    return ExpectedListRow(date, title, channel, "记者", "新华网");
}

class CliListTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.WriteFile(
            "document/keywordlist.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
            "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
            "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>体育</TEXT>"
            "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT></KEYWORDNODE>"
            "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>Tennis</TEXT></KEYWORDNODE>"
            "</KEYWORDNODE>"
            "<KEYWORDNODE><ID>4</ID><NODETYPE>KEY</NODETYPE><TEXT>财经</TEXT></KEYWORDNODE>"
            "</KEYWORDTREE>");
        const std::string db = m_folder.File("data/data.dat");
        AddChannel(db, 1, "足球");
        AddChannel(db, 2, "Tennis");
        AddChannel(db, 3, "财经");
        AddItem(db, 1, {"goal", Iso(m_today)});
        AddItem(db, 1, {"match", Iso(m_today - days{3})});
        AddItem(db, 1, {"ancient", "2001-01-01"});
        AddItem(db, 2, {"ace", Iso(m_today)});
        AddItem(db, 2, {"GOAL", Iso(m_today)});  // 足球's title again, listed first
        AddItem(db, 3, {"stocks", Iso(m_utcToday)});
        AddItem(db, 3, {"older stocks", Iso(m_utcToday - days{2})});
    }

    nlohmann::ordered_json List(const std::vector<std::string>& args) {
        const ProcessResult run = Cli(args, m_folder.Path());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return ListedRows(run.out);
    }

    TempDataFolder m_folder;
    const sys_days m_today = LocalToday();
    const sys_days m_utcToday = UtcToday();
};

TEST_F(CliListTest, AChannelPrintsItsRowsNewestFirst) {
    const nlohmann::ordered_json expected = {
        Row(m_today, "goal", "足球"),
        Row(m_today - days{3}, "match", "足球"),
    };
    const nlohmann::ordered_json rows = List({"list", "足球"});
    EXPECT_EQ(rows, expected);
    std::vector<std::string> keys;
    for (const auto& [key, value] : rows[0].items()) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"category", "title", "channel", "date", "author",
                                              "source", "read"}));
}

TEST_F(CliListTest, AFolderPrintsTheRowsOfTheChannelsBelowIt) {
    // Newest first across the channels; on one day by channel name, then the item stored
    // last. A title shows once, under the row that comes first.
    const nlohmann::ordered_json expected = {
        Row(m_today, "GOAL", "Tennis"),
        Row(m_today, "ace", "Tennis"),
        Row(m_today - days{3}, "match", "足球"),
    };
    EXPECT_EQ(List({"list", "体育"}), expected);
    // The root is the folder above everything.
    EXPECT_EQ(List({"list", "我的频道"}).size(), 5u);
}

TEST_F(CliListTest, TodayListsOnlyTheItemsOfTheUtcDate) {
    const nlohmann::ordered_json today = List({"list", "财经", "--today"});
    ASSERT_EQ(today.size(), 1u);
    EXPECT_EQ(today[0]["title"], "stocks");
    EXPECT_EQ(List({"list", "--today", "财经"}), today);
    EXPECT_EQ(List({"list", "财经"}).size(), 2u);
}

TEST_F(CliListTest, ErrorsGoToStderrWithANonZeroStatus) {
    const ProcessResult unknown = Cli({"list", "篮球"}, m_folder.Path());
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no channel or folder named '篮球'"), std::string::npos)
        << unknown.err;
    EXPECT_EQ(unknown.out, "");

    EXPECT_EQ(Cli({"list"}, m_folder.Path()).exitCode, 2);
    EXPECT_EQ(Cli({"list", "足球", "财经"}, m_folder.Path()).exitCode, 2);
    EXPECT_EQ(Cli({"list", "足球", "--all"}, m_folder.Path()).exitCode, 2);

    TempDataFolder empty;
    empty.WriteFile("data/data.dat", "");
    const ProcessResult noDatabase = Cli({"list", "足球"}, empty.Path());
    EXPECT_EQ(noDatabase.exitCode, 1);
    EXPECT_NE(noDatabase.err.find("data.dat is empty"), std::string::npos) << noDatabase.err;
    EXPECT_EQ(noDatabase.out, "");
}

// list and export only read: a data folder that cannot be written (its database and the
// folder that holds it write-protected) is read as it is, while update says it cannot store
// there, and advises nothing against the file.
TEST_F(CliListTest, ListAndExportReadAWriteProtectedDataFolder) {
    m_folder.CopySeedSettings();
    m_folder.CopySeed("services.conf", "data/services.conf");
    {
        CFeedStore store(m_folder.Path());  // leaves the file in WAL mode, as the program does
        ASSERT_TRUE(store.Open());
        ASSERT_EQ(store.Execute(SqlInsertOpml("足球", "http://a.example.test/rss", "")), 1);
    }
    const WriteProtected database(m_folder.File("data/data.dat"));
    const WriteProtected folder(m_folder.File("data"));
    if (!database.IsSet() || !folder.IsSet()) {
        GTEST_SKIP() << "this file system cannot write-protect a file";
    }
    EXPECT_EQ(List({"list", "足球"}), nlohmann::ordered_json({
                                          Row(m_today, "goal", "足球"),
                                          Row(m_today - days{3}, "match", "足球"),
                                      }));
    TempDataFolder elsewhere;
    const ProcessResult exported = Cli({"export", elsewhere.File("feeds")}, m_folder.Path());
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_NE(elsewhere.ReadFile("feeds.opml").find("http://a.example.test/rss"),
              std::string::npos);
    const ProcessResult update = Cli({"update", "--no-pauses"}, m_folder.Path());
    EXPECT_EQ(update.exitCode, 1);
    EXPECT_NE(update.err.find("can only be read"), std::string::npos) << update.err;
    EXPECT_EQ(update.err.find("move it away"), std::string::npos) << update.err;
}

// A write-protected data folder of the build before the read state cannot be brought up to
// date: it is listed as it is, every item read, a folder as well as a channel.
TEST_F(CliListTest, AWriteProtectedFileOfAnOlderBuildListsEveryItemRead) {
    m_folder.CopySeedSettings();
    m_folder.CopySeed("services.conf", "data/services.conf");
    std::remove(m_folder.File("data/data.dat").c_str());
    m_folder.CreateDatabaseWith(ReadTestData("db/schema_v4.sql"));
    const std::string db = m_folder.File("data/data.dat");
    AddChannel(db, 1, "足球");
    AddItem(db, 1, {"goal", Iso(m_today)});
    AddItem(db, 1, {"match", Iso(m_today - days{3})});
    const WriteProtected database(db);
    const WriteProtected folder(m_folder.File("data"));
    if (!database.IsSet() || !folder.IsSet()) {
        GTEST_SKIP() << "this file system cannot write-protect a file";
    }
    for (const char* name : {"体育", "足球"}) {
        const nlohmann::ordered_json rows = List({"list", name});
        ASSERT_EQ(rows.size(), 2u) << name;
        for (const auto& row : rows) {
            EXPECT_EQ(row["read"], true) << row.dump();
        }
    }
}

// A data folder the user may not write (another user's, or one after chmod a-w), where SQLite
// finds no room for the log's shared-memory file, is read as it is by every command that only
// reads. As root, whom permissions do not stop, the commands run as nobody on root's folder.
TEST_F(CliListTest, AFolderTheUserMayNotWriteIsReadByEveryCommandThatOnlyReads) {
    m_folder.CopySeedSettings();
    m_folder.CopySeed("services.conf", "data/services.conf");
    {
        CFeedStore store(m_folder.Path());  // leaves the file in WAL mode, as the program does
        ASSERT_TRUE(store.Open());
    }
    ASSERT_EQ(Cli({"search", "goal"}, m_folder.Path()).exitCode, 0);  // indexes what is stored
    namespace fs = std::filesystem;
    const bool root = ::geteuid() == 0;
    TempDataFolder elsewhere;
    const fs::path data = m_folder.File("data");
    if (root) {
        fs::permissions(elsewhere.Path(), fs::perms::all, fs::perm_options::add);
        fs::permissions(m_folder.Path(), fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        for (const fs::path& path : fs::recursive_directory_iterator(m_folder.Path())) {
            fs::permissions(path,
                            fs::perms::others_read |
                                (fs::is_directory(path) ? fs::perms::others_exec : fs::perms::none),
                            fs::perm_options::add);
        }
    } else {
        fs::permissions(data, fs::perms::owner_write | fs::perms::group_write,
                        fs::perm_options::remove);
    }
    const auto run = [&](const std::vector<std::string>& args) {
        std::vector<std::string> words{"--data", m_folder.Path()};
        words.insert(words.end(), args.begin(), args.end());
        if (!root) {
            return RunProcess(QUILLON_CLI_PATH, words, m_folder.Path());
        }
        words.insert(words.begin(),
                     {"--reuid=65534", "--regid=65534", "--clear-groups", "--", QUILLON_CLI_PATH});
        return RunProcess("/usr/bin/setpriv", words, m_folder.Path());
    };

    const ProcessResult list = run({"list", "足球"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(ListedRows(list.out),
              nlohmann::ordered_json(
                  {Row(m_today, "goal", "足球"), Row(m_today - days{3}, "match", "足球")}));
    const ProcessResult search = run({"search", "goal"});
    EXPECT_EQ(search.exitCode, 0) << search.err;
    EXPECT_NE(search.out.find("goal"), std::string::npos) << search.out;
    const ProcessResult exported = run({"export", elsewhere.File("feeds")});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    for (const char* command : {"status", "folder"}) {
        const ProcessResult shown = run({command});
        EXPECT_EQ(shown.exitCode, 0) << command << ": " << shown.err;
        EXPECT_EQ(shown.err.find("no news can be stored"), std::string::npos) << shown.err;
    }
    if (!root) {
        fs::permissions(data, fs::perms::owner_write, fs::perm_options::add);
    }
}

}  // namespace
