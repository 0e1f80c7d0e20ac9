#include "support/run_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Waits for the child, killing it once `killAfter` has passed.
int WaitFor(pid_t pid, std::optional<std::chrono::microseconds> killAfter) {
    int status = 0;
    if (!killAfter) {
        waitpid(pid, &status, 0);
        return status;
    }
    const auto deadline = std::chrono::steady_clock::now() + *killAfter;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return status;
}

// `environment` null: the child inherits ours.
ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                  const std::string& cwd, const std::vector<std::string>* environment,
                  std::optional<std::chrono::microseconds> killAfter,
                  const std::string* input = nullptr) {
    // Everything the child needs is made before fork: a child of a threaded process must not
    // allocate.
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    const std::vector<char*> argv = Pointers(words);
    const std::vector<char*> envp = environment ? Pointers(*environment) : std::vector<char*>();
    ProcessResult result;
    char outPath[] = "/tmp/quillon-out-XXXXXX";
    char errPath[] = "/tmp/quillon-err-XXXXXX";
    const int outFd = mkstemp(outPath);
    const int errFd = mkstemp(errPath);
    char inPath[] = "/tmp/quillon-in-XXXXXX";
    const int inFd = input ? mkstemp(inPath) : -1;
    if (inFd >= 0) {
        EXPECT_EQ(pwrite(inFd, input->data(), input->size(), 0),
                  static_cast<ssize_t>(input->size()));
        unlink(inPath);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (inFd >= 0) {
            dup2(inFd, STDIN_FILENO);
        }
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        if (chdir(cwd.c_str()) != 0) {
            _exit(126);
        }
        execve(program.c_str(), argv.data(), environment ? envp.data() : environ);
        _exit(127);
    }
    const int status = WaitFor(pid, killAfter);
    result.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    close(outFd);
    close(errFd);
    if (inFd >= 0) {
        close(inFd);
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    unlink(outPath);
    unlink(errPath);
    return result;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd,
                         std::optional<std::chrono::microseconds> killAfter) {
    return Run(program, args, cwd, nullptr, killAfter);
}

ProcessResult RunProcessWithEnvironment(const std::string& program,
                                        const std::vector<std::string>& args,
                                        const std::string& cwd,
                                        const std::vector<std::string>& environment) {
    return Run(program, args, cwd, &environment, std::nullopt);
}

ProcessResult RunProcessWithInput(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& cwd,
                                  const std::vector<std::string>& environment,
                                  const std::string& input) {
    return Run(program, args, cwd, &environment, std::nullopt, &input);
}
