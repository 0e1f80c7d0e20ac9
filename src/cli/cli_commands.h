#pragma once

#include <string>
#include <vector>

struct TreeFileDamage;

// The commands of quillon-cli. Each works on the data folder it is started in (the current
// directory), writes its result to stdout and errors to stderr, and returns the exit status.
// `args` are the command's own arguments, after the command name.

int RunUpdateCommand(const std::vector<std::string>& args);
int RunReadCommand(const std::vector<std::string>& args);
int RunOpmlCommand(const std::vector<std::string>& args);
int RunExportCommand(const std::vector<std::string>& args);
int RunListCommand(const std::vector<std::string>& args);

// The line on stderr for a tree file that could not be read. The tool only reads the tree,
// so it leaves the file where it is for the window to set aside.
void PrintTreeFileDamage(const std::string& path, const TreeFileDamage& damage);
