// quillon-cli opml ADDRESS and export FILE.

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "feeds/opml_document.h"
#include "feeds/services_config.h"

int RunOpmlCommand(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fputs("usage: quillon-cli opml ADDRESS\n", stderr);
        return 2;
    }
    COpmlDocument document;
    const bool loaded = document.ReadOutlines(args[0], AddressOrigin::kTypedByUser);
    // Keys in the order of the record's fields, not sorted.
    nlohmann::ordered_json outlines = nlohmann::ordered_json::array();
    for (const COpmlOutline& outline : document.ReadList()) {
        outlines.push_back({
            {"text", outline.text},
            {"title", outline.title},
            {"xmlUrl", outline.xmlUrl},
            {"htmlUrl", outline.htmlUrl},
        });
    }
    const std::string text =
        outlines.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
    if (!loaded) {
        std::fprintf(stderr, "quillon-cli: cannot load an OPML list from '%s'\n", args[0].c_str());
        return 1;
    }
    return 0;
}

int RunExportCommand(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fputs("usage: quillon-cli export FILE\n", stderr);
        return 2;
    }
    if (!OpenDatabaseForReading()) {
        return 1;
    }
    // The publisher's address in the head comes from the data folder's configuration.
    for (const ServicesConfig::BadLine& bad :
         Services().LoadFile(theStore.DataPath("data/services.conf"))) {
        std::fprintf(stderr, "quillon-cli: data/services.conf line %d is not understood: %s\n",
                     bad.number, bad.text.c_str());
    }
    const std::string path = WithOpmlExtension(args[0]);
    COpmlDocument document;
    if (!document.ExportSubscriptions(theStore, path, kOpmlOwnerName,
                                      Services().Base("site.publisher"))) {
        std::fprintf(stderr, "quillon-cli: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
