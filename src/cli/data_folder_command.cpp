// The data folder of quillon-cli, and quillon-cli folder.

#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "store/data_folder.h"

namespace {

// A database of an earlier build gains its search index when first opened: on a terminal a
// line that counts up, elsewhere one line at the start and one at the end.
void PrintSchemaProgress(std::int64_t done, std::int64_t total) {
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    const bool last = done >= total;
    if (terminal) {
        std::fprintf(stderr, "\rquillon-cli: building the search index: %lld of %lld items%s",
                     static_cast<long long>(done), static_cast<long long>(total), last ? "\n" : "");
    } else if (done == 0 || last) {
        std::fprintf(stderr, "quillon-cli: building the search index: %lld of %lld items\n",
                     static_cast<long long>(done), static_cast<long long>(total));
    }
}

}  // namespace

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
    theStore.SetSchemaProgress(PrintSchemaProgress);
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
