#include "support/run_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd,
                         std::optional<std::chrono::microseconds> killAfter) {
    ProcessResult result;
    char outPath[] = "/tmp/quillon-out-XXXXXX";
    char errPath[] = "/tmp/quillon-err-XXXXXX";
    const int outFd = mkstemp(outPath);
    const int errFd = mkstemp(errPath);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        if (chdir(cwd.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (killAfter) {
        const auto deadline = std::chrono::steady_clock::now() + *killAfter;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    } else {
        waitpid(pid, &status, 0);
    }
    result.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    close(outFd);
    close(errFd);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    unlink(outPath);
    unlink(errPath);
    return result;
}
