#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args` in the directory `cwd` and collects its output and exit code.
// The program inherits this process's environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd);

// The same with exactly `environment` ("NAME=value" entries) as the program's environment.
ProcessResult RunProcessWithEnvironment(const std::string& program,
                                        const std::vector<std::string>& args,
                                        const std::string& cwd,
                                        const std::vector<std::string>& environment);
