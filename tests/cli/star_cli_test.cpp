// quillon-cli star, unstar and list 星标新闻; the id and starred fields of list and search.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_support.h"
#include "model/news_seed.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using news_seed::AddChannel;
using news_seed::AddItem;

namespace {

class CliStarTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.WriteFile("document/keywordlist.xml",
                           "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID>"
                           "<NODETYPE>FOLDER</NODETYPE><TEXT>我的频道</TEXT>"
                           "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                           "</KEYWORDNODE></KEYWORDTREE>");
        AddChannel(Db(), 1, "足球");
        AddChannel(Db(), 2, "old channel");  // no node names it
        AddItem(Db(), 1, {"goal", "2030-01-02"});
        AddItem(Db(), 1, {"match", "2030-01-01"});
        AddItem(Db(), 2, {"ancient 足球", "2001-01-01"});
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }

    ProcessResult Run(const std::vector<std::string>& args) { return Cli(args, m_folder.Path()); }

    nlohmann::ordered_json Json(const std::vector<std::string>& args) {
        const ProcessResult run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return nlohmann::ordered_json::parse(run.out, nullptr, false);
    }

    // The id the list gives the row titled `title`, or -1.
    long long IdOf(const nlohmann::ordered_json& rows, const std::string& title) {
        for (const auto& row : rows) {
            if (row["title"] == title) {
                return row["id"].get<long long>();
            }
        }
        return -1;
    }

    TempDataFolder m_folder;
};

}  // namespace

// The id of list is the one star takes; list 星标新闻 then shows every starred item, of any
// channel and age, newest first; unstar takes it off again.
TEST_F(CliStarTest, StarAndUnstarByTheIdListPrints) {
    const nlohmann::ordered_json football = Json({"list", "足球"});
    ASSERT_EQ(football.size(), 2u) << football.dump();
    EXPECT_EQ(football[0]["starred"], false);
    const long long goal = IdOf(football, "goal");
    ASSERT_GT(goal, 0);
    // Search leaves out the channel the tree no longer holds; its news stay, and can be starred.
    EXPECT_EQ(Json({"search", "ancient", "--json"}), nlohmann::ordered_json::array());
    const long long ancient = std::stoll(
        QueryRows(Db(), "SELECT ID FROM item WHERE rss_title = 'ancient 足球'").at(0).at(0));
    ASSERT_GT(ancient, 0);
    EXPECT_EQ(Json({"list", "星标新闻"}), nlohmann::ordered_json::array());

    for (const long long id : {ancient, goal}) {
        const ProcessResult star = Run({"star", std::to_string(id)});
        EXPECT_EQ(star.exitCode, 0) << star.err;
        EXPECT_EQ(star.out, "starred item " + std::to_string(id) + "\n");
    }
    EXPECT_EQ(Run({"star", std::to_string(goal)}).out,
              "item " + std::to_string(goal) + " was starred already\n");
    const nlohmann::ordered_json starred = Json({"list", "星标新闻"});
    ASSERT_EQ(starred.size(), 2u) << starred.dump();
    EXPECT_EQ(starred[0]["title"], "goal");
    EXPECT_EQ(starred[0]["channel"], "足球");
    EXPECT_EQ(starred[1]["title"], "ancient 足球");
    EXPECT_EQ(starred[1]["channel"], "old channel");
    EXPECT_EQ(starred[1]["starred"], true);
    EXPECT_EQ(Json({"list", "足球"})[0]["starred"], true);
    EXPECT_EQ(Json({"search", "goal", "--json"})[0]["starred"], true);

    EXPECT_EQ(Run({"unstar", std::to_string(goal)}).exitCode, 0);
    EXPECT_EQ(Run({"unstar", std::to_string(goal)}).out,
              "item " + std::to_string(goal) + " had no star\n");
    EXPECT_EQ(QueryRows(Db(), "select item_id from item_star"), (Rows{{std::to_string(ancient)}}));
}

// An ID that is no number is a usage error; one no item has fails; neither changes anything.
TEST_F(CliStarTest, ABadOrUnknownIdChangesNothing) {
    for (const char* bad : {"abc", "-1", "12x", "", "99999999999999999999"}) {
        const ProcessResult run = Run({"star", bad});
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_NE(run.err.find("no item ID"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Run({"star"}).exitCode, 2);
    EXPECT_EQ(Run({"unstar", "1", "2"}).exitCode, 2);
    const ProcessResult unknown = Run({"star", "424242"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no item with ID 424242"), std::string::npos) << unknown.err;
    EXPECT_EQ(Run({"unstar", "424242"}).exitCode, 1);
    EXPECT_EQ(QueryRows(Db(), "select count(*) from item_star"), (Rows{{"0"}}));
}
