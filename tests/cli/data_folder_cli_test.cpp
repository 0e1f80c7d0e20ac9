// quillon-cli finds its data folder from its environment or --data, wherever it is started.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_data_folder.h"

namespace fs = std::filesystem;

namespace {

// A user's world of its own: an empty home and an empty directory to start the tool in.
class CliDataFolderTest : public ::testing::Test {
protected:
    CliDataFolderTest() {
        fs::remove_all(m_home.File("data"));
        fs::remove_all(m_home.File("document"));
        fs::remove_all(m_start.File("data"));
        fs::remove_all(m_start.File("document"));
    }

    // Runs quillon-cli in the start directory with HOME and PATH and `extra` as its whole
    // environment (XDG_DATA_HOME and QUILLON_DATA unset unless given).
    ProcessResult Cli(const std::vector<std::string>& args,
                      const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> environment{"HOME=" + m_home.Path(), "PATH=/usr/bin:/bin"};
        environment.insert(environment.end(), extra.begin(), extra.end());
        return RunProcessWithEnvironment(QUILLON_CLI_PATH, args, m_start.Path(), environment);
    }

    // The folder `folder` printed, after checking that it was laid out.
    static void ExpectLaidOut(const ProcessResult& run, const std::string& folder) {
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, folder + "\n");
        for (const char* file : {"data/data.dat", "data/sysdata.dat", "data/services.conf",
                                 "document/keywordlist.xml"}) {
            EXPECT_TRUE(fs::is_regular_file(fs::path(folder) / file)) << folder << " " << file;
        }
    }

    static std::set<std::string> Entries(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            names.insert(entry.path().string());
        }
        return names;
    }

    TempDataFolder m_home;
    TempDataFolder m_start;
};

}  // namespace

TEST_F(CliDataFolderTest, AFreshHomeGetsAFolderLaidOutWhereverTheToolIsStarted) {
    const std::string folder = m_home.File(".local/share/quillon");
    ExpectLaidOut(Cli({"folder"}), folder);
    // The folder works: the seeded tree's channels are listed from the seeded database.
    const ProcessResult list = Cli({"list", "足球"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, "[]\n");
    EXPECT_TRUE(Entries(m_start.Path()).empty()) << "nothing is written where it was started";
}

TEST_F(CliDataFolderTest, TheEnvironmentAndDataOptionChooseTheFolderInThatOrder) {
    const std::string xdg = m_home.File("xdg");
    const std::string chosen = m_home.File("chosen");
    const std::string option = m_home.File("option");
    ExpectLaidOut(Cli({"folder"}, {"XDG_DATA_HOME=" + xdg}), xdg + "/quillon");
    ExpectLaidOut(Cli({"folder"}, {"XDG_DATA_HOME=" + xdg, "QUILLON_DATA=" + chosen}), chosen);
    ExpectLaidOut(Cli({"--data", option, "folder"}, {"QUILLON_DATA=" + chosen}), option);
    // A relative folder is taken from where the tool was started.
    ExpectLaidOut(Cli({"--data=relative/folder", "folder"}), m_start.File("relative/folder"));

    const ProcessResult missing = Cli({"--data"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("--data needs a folder"), std::string::npos) << missing.err;
}

TEST_F(CliDataFolderTest, ARefusedDatabaseStopsTheCommandsThatNeedItAndNothingIsWritten) {
    TempDataFolder folder;
    folder.WriteFile("data/data.dat", "");
    const auto before = Entries(folder.Path());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", "足球"}, {"update", "--no-pauses"}, {"folder"}}) {
        const ProcessResult run = Cli(args, {"QUILLON_DATA=" + folder.Path()});
        EXPECT_EQ(run.exitCode, 1) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_NE(run.err.find(folder.File("data/data.dat") + " is empty"), std::string::npos)
            << run.err;
    }
    EXPECT_EQ(Entries(folder.Path()), before);
    EXPECT_EQ(folder.ReadFile("data/data.dat"), "");

    // Reading an OPML list needs no data folder.
    const ProcessResult opml =
        Cli({"--data", folder.Path(), "opml", TestDataPath("opml/wrapped.opml")});
    EXPECT_EQ(opml.exitCode, 0) << opml.err;
}
