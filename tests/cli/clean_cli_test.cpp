// quillon-cli clean DAYS [--keep-unread].

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "model/news_seed.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

using news_seed::AddChannel;
using news_seed::AddItem;

namespace {

class CliCleanTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        AddChannel(Db(), 1, "足球");
        // The tool reads the real clock: the ages are counted from today.
        AddItem(Db(), 1, {"old read", DaysAgo(100)});
        AddItem(Db(), 1, {"old unread", DaysAgo(100)});
        AddItem(Db(), 1, {"old starred", DaysAgo(200)});
        AddItem(Db(), 1, {"recent", DaysAgo(3)});
        ExecSql(Db(),
                "DELETE FROM item_unread WHERE item_id IN (SELECT ID FROM item WHERE rss_title "
                "IN ('old read', 'old starred'));"
                "INSERT INTO item_star SELECT ID FROM item WHERE rss_title = 'old starred';");
    }

    static std::string DaysAgo(int days) {
        const std::chrono::year_month_day day{LocalToday() - std::chrono::days(days)};
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                      static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
        return text;
    }

    std::string Db() const { return m_folder.File("data/data.dat"); }
    Rows Titles() { return QueryRows(Db(), "SELECT rss_title FROM item ORDER BY rss_title"); }
    ProcessResult Run(const std::vector<std::string>& args) { return Cli(args, m_folder.Path()); }

    TempDataFolder m_folder;
};

}  // namespace

// --keep-unread keeps the unread item, a second run without it removes that too; the starred
// and the recent item stay either way, and each run says what it did and the sizes.
TEST_F(CliCleanTest, RemovesOldNewsAndSaysWhatItDid) {
    ProcessResult run = Run({"clean", "30", "--keep-unread"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("removed 1 items dated before " + DaysAgo(30)), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("bytes before"), std::string::npos) << run.out;
    EXPECT_EQ(Titles(), (Rows{{"old starred"}, {"old unread"}, {"recent"}}));

    run = Run({"clean", "30"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("removed 1 items"), std::string::npos) << run.out;
    EXPECT_EQ(Titles(), (Rows{{"old starred"}, {"recent"}}));
}

// A DAYS that is no whole number in range, or a stray argument, is a usage error that removes
// nothing.
TEST_F(CliCleanTest, ABadDayCountRemovesNothing) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"clean"},
                                               {"clean", "0"},
                                               {"clean", "-5"},
                                               {"clean", "7x"},
                                               {"clean", "36501"},
                                               {"clean", "99999999999"},
                                               {"clean", "30", "40"},
                                               {"clean", "30", "--keep"}}) {
        const ProcessResult run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << args.back();
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(Titles().size(), 4u);
}
