// quillon-cli opml ADDRESS (the outlines of a list, each with the folders it lies in) and
// export FILE (the channel tree with its feeds).

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "feeds/opml_document.h"
#include "feeds/services_config.h"

namespace {

const char* KindName(COpmlOutline::Kind kind) {
    switch (kind) {
        case COpmlOutline::kKeyword:
            return "keyword";
        case COpmlOutline::kFolder:
            return "folder";
        case COpmlOutline::kSkipped:
            return "skipped";
        default:
            return "feed";
    }
}

}  // namespace

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
        nlohmann::ordered_json entry = {
            {"text", outline.text},     {"title", outline.title},
            {"xmlUrl", outline.xmlUrl}, {"htmlUrl", outline.htmlUrl},
            {"path", outline.path},     {"kind", KindName(outline.kind)},
        };
        if (outline.kind == COpmlOutline::kKeyword) {
            entry["keyword"] = outline.keyword;
            entry["searchName"] = outline.searchName;
        }
        outlines.push_back(std::move(entry));
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
    theStore.LoadSettings();
    const OpmlExportTree tree =
        ReadExportTree(theStore.DataPath("document/keywordlist.xml"), theStore.Settings());
    const std::string path = WithOpmlExtension(args[0]);
    COpmlDocument document;
    OpmlExportCount count;
    if (!document.ExportSubscriptions(theStore, path, kOpmlOwnerName,
                                      Services().Base("site.publisher"), tree, &count)) {
        std::fprintf(stderr, "quillon-cli: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::fprintf(stderr, "quillon-cli: exported %d feeds and %d folders\n", count.feeds,
                 count.folders);
    return 0;
}
