// quillon-cli list --hidden, and the hidden and colour fields of list and search.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_support.h"
#include "model/news_seed.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using news_seed::AddChannel;
using news_seed::AddItem;

// An item a rule hid is left out of list, 星标新闻 and search, and listed, marked, with
// --hidden; a rule's colour is in its row.
TEST(CliRules, HiddenItemsAreListedOnlyWithHidden) {
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.WriteFile("document/keywordlist.xml",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
                     "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
    const std::string db = folder.File("data/data.dat");
    AddChannel(db, 1, "足球");
    AddItem(db, 1, {"goal", "2030-01-02"});
    AddItem(db, 1, {"match goal", "2030-01-01"});
    ExecSql(
        db,
        "INSERT INTO item_hidden SELECT ID FROM item WHERE rss_title = 'goal';"
        "INSERT INTO item_star SELECT ID FROM item;"
        "INSERT INTO item_colour SELECT ID, '#c8f0c8' FROM item WHERE rss_title = 'match goal'");
    const auto json = [&](const std::vector<std::string>& args) {
        const ProcessResult run = Cli(args, folder.Path());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return nlohmann::ordered_json::parse(run.out, nullptr, false);
    };

    const nlohmann::ordered_json shown = json({"list", "足球"});
    ASSERT_EQ(shown.size(), 1u) << shown.dump();
    EXPECT_EQ(shown[0]["title"], "match goal");
    EXPECT_EQ(shown[0]["colour"], "#c8f0c8");
    EXPECT_EQ(shown[0]["hidden"], false);
    EXPECT_EQ(json({"list", "星标新闻"}).size(), 1u);
    EXPECT_EQ(json({"search", "goal", "--json"}).size(), 1u);

    const nlohmann::ordered_json all = json({"list", "足球", "--hidden"});
    ASSERT_EQ(all.size(), 2u) << all.dump();
    EXPECT_EQ(all[0]["title"], "goal");
    EXPECT_EQ(all[0]["hidden"], true);
    EXPECT_TRUE(all[0]["colour"].is_null());
    EXPECT_EQ(json({"list", "星标新闻", "--hidden"}).size(), 2u);
}

// update names a rule it cannot read and goes on without it.
TEST(CliRules, UpdateNamesADamagedRule) {
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.WriteFile("document/keywordlist.xml",
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
                     "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT></KEYWORDTREE>");
    ExecSql(folder.File("data/data.dat"),
            "INSERT INTO news_rule (ID, scope, place, match, words, action, colour) VALUES "
            "(3, 'all', '', 'any', 'x', 'explode', ''), (4, 'all', '', 'any', 'x', 'hide', '')");
    const ProcessResult run = Cli({"update", "--no-pauses"}, folder.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("rule 3 is damaged and skipped: unknown action 'explode'"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("rule 4"), std::string::npos) << run.err;
}
