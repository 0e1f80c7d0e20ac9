#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // -1 when a signal ended it
    bool killed = false;
    std::string out;
    std::string err;
};

// Runs `program` with `args` in the directory `cwd` and collects its output and exit code.
// The program inherits this process's environment. With `killAfter`, sends it SIGKILL that
// long after its start unless it ended before.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd,
                         std::optional<std::chrono::microseconds> killAfter = std::nullopt);

// The same with exactly `environment` ("NAME=value" entries) as the program's environment.
ProcessResult RunProcessWithEnvironment(const std::string& program,
                                        const std::vector<std::string>& args,
                                        const std::string& cwd,
                                        const std::vector<std::string>& environment);

// The same with `input` as the program's standard input (a file, not a terminal).
ProcessResult RunProcessWithInput(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& cwd,
                                  const std::vector<std::string>& environment,
                                  const std::string& input);
