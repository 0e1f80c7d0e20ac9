#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args` in the directory `cwd` and collects its output and exit code.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd);
