// quillon-cli: the reader's core without a window.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/version.h"
#include "cli/cli_commands.h"
#include "store/keyword_tree_file.h"
#include "xml/xml_document.h"

CFeedStore theStore;

namespace {

constexpr char kUsage[] =
    "usage: quillon-cli [--data DIR] COMMAND [ARGUMENTS]\n"
    "       quillon-cli --help | --version\n"
    "Works on the data folder DIR, else $QUILLON_DATA, else\n"
    "${XDG_DATA_HOME:-~/.local/share}/quillon, and lays a new one out on first use.\n"
    "\n"
    "  update [--no-pauses]  fetch every channel of the tree once and store new news;\n"
    "                        --no-pauses also drops the second kept between requests to\n"
    "                        one host\n"
    "  read ADDRESS          print what the RSS reader sees in one feed, as JSON\n"
    "  opml ADDRESS          print the outlines of an OPML list, as JSON\n"
    "  export FILE           write the subscribed feeds as an OPML file\n"
    "  subscribe URL [--folder PATH] [--name NAME]\n"
    "                        subscribe one feed (or the one a web page announces) as a\n"
    "                        channel and fetch it\n"
    "  list NAME [--today] [--hidden]\n"
    "                        print a channel's or folder's news as the list shows it, as\n"
    "                        JSON; --hidden lists the items rules hid too\n"
    "  search TEXT [--json]  print every stored item whose title or text holds TEXT,\n"
    "                        newest first\n"
    "  refresh NAME [--no-pauses]\n"
    "                        fetch one channel's sources once more, the gone and failing\n"
    "                        ones too, and store its new news\n"
    "  mark-read NAME        mark every item of a channel or folder read\n"
    "  star ID               star an item, by the id list and search print (list 星标新闻\n"
    "                        lists the starred items)\n"
    "  unstar ID             take an item's star off\n"
    "  clean DAYS [--keep-unread]\n"
    "                        remove the news older than DAYS days (starred items, and\n"
    "                        with --keep-unread unread ones, are kept) and compact the\n"
    "                        database\n"
    "  status [--json]       print what became of every source the last time it was fetched\n"
    "  account [URL USER | --remove]\n"
    "                        set the Tiny Tiny RSS account to sync with (the password from\n"
    "                        $QUILLON_PASSWORD, a prompt, or one line of stdin) and try it;\n"
    "                        without arguments print it; --remove removes it, keeping the news\n"
    "  sync [--json]         sync once with the account's server and print what it did\n"
    "  folder                print the data folder's path\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    bool usesDataFolder;  // read and opml work without one
    DatabaseUse use;      // export, list and folder only read it
    bool fetches;         // goes to the network, through the proxy of the settings
};

constexpr Command kCommands[] = {
    {"update", RunUpdateCommand, true, DatabaseUse::kReadWrite, true},
    {"read", RunReadCommand, false, DatabaseUse::kReadOnly, true},
    {"opml", RunOpmlCommand, false, DatabaseUse::kReadOnly, true},
    {"export", RunExportCommand, true, DatabaseUse::kReadOnly, false},
    {"list", RunListCommand, true, DatabaseUse::kReadOnly, false},
    {"folder", RunFolderCommand, true, DatabaseUse::kReadOnly, false},
    {"status", RunStatusCommand, true, DatabaseUse::kReadOnly, false},
    {"search", RunSearchCommand, true, DatabaseUse::kReadOnly, false},
    {"refresh", RunRefreshCommand, true, DatabaseUse::kReadWrite, true},
    {"mark-read", RunMarkReadCommand, true, DatabaseUse::kReadWrite, false},
    {"star", RunStarCommand, true, DatabaseUse::kReadWrite, false},
    {"unstar", RunUnstarCommand, true, DatabaseUse::kReadWrite, false},
    {"clean", RunCleanCommand, true, DatabaseUse::kReadWrite, false},
    {"subscribe", RunSubscribeCommand, true, DatabaseUse::kReadWrite, true},
    {"account", RunAccountCommand, true, DatabaseUse::kReadWrite, true},
    {"sync", RunSyncCommand, true, DatabaseUse::kReadWrite, true},
};

// Takes a leading "--data DIR" or "--data=DIR" off `args`. Nothing when there is none; an
// empty string when the option lacks its folder.
std::optional<std::string> TakeDataOption(std::vector<std::string>* args) {
    if (args->empty()) {
        return std::nullopt;
    }
    const std::string first = args->front();
    if (first == "--data") {
        const std::string folder = args->size() > 1 ? (*args)[1] : std::string();
        args->erase(args->begin(), args->begin() + std::min<std::size_t>(2, args->size()));
        return folder;
    }
    if (first.starts_with("--data=")) {
        args->erase(args->begin());
        return first.substr(std::strlen("--data="));
    }
    return std::nullopt;
}

}  // namespace

void PrintTreeFileDamage(const std::string& path, const TreeFileDamage& damage) {
    std::fprintf(stderr, "quillon-cli: the tree file %s cannot be read (%s); it is left as it is\n",
                 path.c_str(), damage.reason.c_str());
}

int main(int argc, char** argv) {
    InitXmlLibrary();
    std::vector<std::string> args(argv + 1, argv + argc);
    const std::optional<std::string> dataFolder = TakeDataOption(&args);
    if (dataFolder && dataFolder->empty()) {
        std::fprintf(stderr, "quillon-cli: --data needs a folder\n%s", kUsage);
        return 2;
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::printf("quillon-cli (%s) %s\n", kProgramName, kProgramVersion);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (args[0] != command.name) {
            continue;
        }
        if (command.fetches) {
            UseProxySetting(dataFolder.value_or(std::string()));
        }
        if (command.usesDataFolder &&
            !UseDataFolder(dataFolder.value_or(std::string()), command.use)) {
            return 1;
        }
        return command.run({args.begin() + 1, args.end()});
    }
    std::fprintf(stderr, "quillon-cli: unknown command '%s'\n%s", args[0].c_str(), kUsage);
    return 2;
}
