// Where quillon-cli account URL USER takes the password from when QUILLON_PASSWORD is not set:
// a prompt without echo on a terminal, else one line of standard input; and what a sync
// shows on a terminal.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "support/run_process.h"
#include "support/temp_data_folder.h"
#include "support/ttrss_server.h"

namespace {

constexpr char kPassword[] = "s3cret-密码";

// No desktop session, so that the password goes to the data folder's file; a sanitizer's
// options are passed on.
std::vector<std::string> Environment(const std::string& folder) {
    std::vector<std::string> environment{"PATH=/usr/bin:/bin", "HOME=" + folder, "LANG=C.UTF-8"};
    if (const char* options = std::getenv("TSAN_OPTIONS")) {
        environment.push_back(std::string("TSAN_OPTIONS=") + options);
    }
    return environment;
}

struct TerminalRun {
    int exitCode = -1;
    std::string screen;  // everything the program wrote to the terminal, and its echo
};

// Runs quillon-cli with `arguments` on a pseudo-terminal of its own, typing `typed` and Enter
// once `prompt` is on the screen (no prompt: nothing is typed).
TerminalRun CliOnTerminal(const std::string& folder, const std::vector<std::string>& arguments,
                          const std::string& prompt = {}, const std::string& typed = {}) {
    std::vector<std::string> words{QUILLON_CLI_PATH, "--data", folder};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const std::vector<std::string> environment = Environment(folder);
    std::vector<char*> argv;
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);

    TerminalRun run;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return run;
    }
    if (pid == 0) {
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool typedIn = prompt.empty();
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 200) <= 0) {
            continue;
        }
        char buffer[512];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) {
            break;  // EIO: the program closed the terminal
        }
        run.screen.append(buffer, static_cast<std::size_t>(got));
        if (!typedIn && run.screen.find(prompt) != std::string::npos) {
            const std::string line = typed + "\r";
            EXPECT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
            typedIn = true;
        }
    }
    EXPECT_TRUE(typedIn) << "no prompt: " << run.screen;
    if (std::chrono::steady_clock::now() >= deadline) {
        kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(SyncCliTerminal, APasswordIsAskedWithoutEchoAndASyncShowsItsStepsOnlyThere) {
    if (!TtRssServer::Available()) {
        GTEST_SKIP() << "needs root and tt-rss with PostgreSQL (scripts/install-deps)";
    }
    TtRssServer server;
    ASSERT_TRUE(server.Started());
    server.AddUser("alice", kPassword);
    TempDataFolder folder;
    folder.CreateDatabase();

    const TerminalRun asked = CliOnTerminal(folder.Path(), {"account", server.Address(), "alice"},
                                            "password of alice: ", kPassword);
    EXPECT_EQ(asked.exitCode, 0) << asked.screen;
    EXPECT_NE(asked.screen.find("logged in"), std::string::npos) << asked.screen;
    EXPECT_EQ(asked.screen.find("s3cret"), std::string::npos) << asked.screen;

    // Not a terminal: one line, with or without its end.
    for (const std::string& input :
         {std::string(kPassword) + "\n", std::string(kPassword), std::string(kPassword) + "\r\n",
          std::string(kPassword) + "\nnot read\n"}) {
        const ProcessResult piped = RunProcessWithInput(
            QUILLON_CLI_PATH, {"--data", folder.Path(), "account", server.Address(), "alice"},
            folder.Path(), Environment(folder.Path()), input);
        EXPECT_EQ(piped.exitCode, 0) << input << ": " << piped.err;
        EXPECT_NE(piped.out.find("logged in"), std::string::npos) << piped.out;
    }

    // No password at all is refused before anything is kept: the account stays alice's.
    for (const std::string& input : {std::string(), std::string("\n"), std::string("\r\n")}) {
        const ProcessResult empty = RunProcessWithInput(
            QUILLON_CLI_PATH, {"--data", folder.Path(), "account", server.Address(), "bob"},
            folder.Path(), Environment(folder.Path()), input);
        EXPECT_EQ(empty.exitCode, 1) << empty.out;
        EXPECT_NE(empty.err.find("no password"), std::string::npos) << empty.err;
    }
    std::vector<std::string> emptyVariable = Environment(folder.Path());
    emptyVariable.push_back("QUILLON_PASSWORD=");
    const ProcessResult variable = RunProcessWithInput(
        QUILLON_CLI_PATH, {"--data", folder.Path(), "account", server.Address(), "bob"},
        folder.Path(), emptyVariable, std::string(kPassword) + "\n");
    EXPECT_EQ(variable.exitCode, 1) << variable.out;
    EXPECT_NE(variable.err.find("no password"), std::string::npos) << variable.err;
    const ProcessResult shown =
        RunProcessWithEnvironment(QUILLON_CLI_PATH, {"--data", folder.Path(), "account"},
                                  folder.Path(), Environment(folder.Path()));
    EXPECT_NE(shown.out.find("user\talice"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("password\tkept"), std::string::npos) << shown.out;

    // A sync says each step on a terminal, and nothing but its summary to a script.
    const TerminalRun synced = CliOnTerminal(folder.Path(), {"sync"});
    EXPECT_EQ(synced.exitCode, 0) << synced.screen;
    for (const char* step : {": subscriptions...", ": read and starred state..."}) {
        EXPECT_NE(synced.screen.find(step), std::string::npos) << step << " in " << synced.screen;
    }
    const ProcessResult scripted =
        RunProcessWithEnvironment(QUILLON_CLI_PATH, {"--data", folder.Path(), "sync", "--json"},
                                  folder.Path(), Environment(folder.Path()));
    EXPECT_EQ(scripted.exitCode, 0) << scripted.err;
    EXPECT_EQ(scripted.err.find("syncing with"), std::string::npos) << scripted.err;
}

}  // namespace
