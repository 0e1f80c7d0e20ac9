// The data folder of quillon-cli, and quillon-cli folder.

#include <cstdio>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "store/data_folder.h"

bool UseDataFolder(const std::string& chosen) {
    const std::string folder = chosen.empty() ? DefaultDataFolder() : AbsoluteFolder(chosen);
    const DataFolderStatus status = LayOutDataFolder(folder, FindDataTemplate());
    if (!status.Ok()) {
        std::fprintf(stderr, "quillon-cli: %s\n", DescribeDataFolderStatus(status).c_str());
        return false;
    }
    if (folder != theStore.StartDirectory()) {
        theStore.Rebase(folder);
    }
    return true;
}

int RunFolderCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fputs("usage: quillon-cli folder\n", stderr);
        return 2;
    }
    std::printf("%s\n", theStore.StartDirectory().c_str());
    return 0;
}
