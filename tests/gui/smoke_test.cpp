// Starts the real program offscreen, lets it fetch from the local server, and ends it the
// way a desktop session does.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"

extern char** environ;

TEST(ReaderProgram, StartsFetchesAndEndsCleanly) {
    LocalHttpServer server;
    server.Serve("/ns",
                 "<rss><channel><title>t</title><item><title>第一条</title></item>"
                 "<item><title>second</title></item></channel></rss>");
    TempDataFolder folder;
    folder.CreateDatabase();
    folder.CopySeedSettings();
    folder.WriteFile("data/services.conf", "search.baidu = " + server.BaseUrl() + "\n");
    folder.WriteFile("document/keywordlist.xml",
                     "<KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE><TEXT>root</TEXT>"
                     "<KEYWORDNODE><ID>1</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT>"
                     "</KEYWORDNODE></KEYWORDTREE>");
    const std::string before = folder.ReadFile("data/sysdata.dat");

    // Started elsewhere, the program finds its folder through the environment.
    TempDataFolder elsewhere;
    setenv("QUILLON_DATA", folder.Path().c_str(), 1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, elsewhere.Path().c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const char* argv[] = {QUILLON_APP_PATH, nullptr};
    pid_t pid = 0;
    ASSERT_EQ(
        posix_spawn(&pid, QUILLON_APP_PATH, &actions, nullptr, const_cast<char**>(argv), environ),
        0);
    posix_spawn_file_actions_destroy(&actions);

    const auto stored = [&] {
        return QueryRows(folder.File("data/data.dat"), "select count(*) from item")[0][0] == "2";
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!stored() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(stored());
    EXPECT_GE(server.HitCount("/ns"), 1);

    kill(pid, SIGTERM);
    int status = 0;
    pid_t done = 0;
    const auto exitDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < exitDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the program did not end within 30 s of SIGTERM";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // The settings file was written back whole at the end and is still the same size.
    EXPECT_EQ(folder.ReadFile("data/sysdata.dat"), before);
}
