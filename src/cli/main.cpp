// quillon-cli: the reader's core without a window.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "store/keyword_tree_file.h"
#include "store/xml_document.h"

namespace {

constexpr char kUsage[] =
    "usage: quillon-cli COMMAND [ARGUMENTS]\n"
    "Works on the data folder it is started in.\n"
    "\n"
    "  update [--no-pauses]  fetch every channel of the tree once and store new news\n"
    "  read ADDRESS          print what the RSS reader sees in one feed, as JSON\n"
    "  opml ADDRESS          print the outlines of an OPML list, as JSON\n"
    "  export FILE           write the subscribed feeds as an OPML file\n"
    "  list NAME [--today]   print a channel's or folder's news as the list shows it, as JSON\n";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
};

constexpr Command kCommands[] = {
    {"update", RunUpdateCommand}, {"read", RunReadCommand}, {"opml", RunOpmlCommand},
    {"export", RunExportCommand}, {"list", RunListCommand},
};

}  // namespace

void PrintTreeFileDamage(const std::string& path, const TreeFileDamage& damage) {
    std::fprintf(stderr, "quillon-cli: the tree file %s cannot be read (%s); it is left as it is\n",
                 path.c_str(), damage.reason.c_str());
}

int main(int argc, char** argv) {
    InitXmlLibrary();
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) {
            return command.run(args);
        }
    }
    std::fprintf(stderr, "quillon-cli: unknown command '%s'\n%s", argv[1], kUsage);
    return 2;
}
