// quillon-cli star ID and unstar ID: an item's star set and taken off, by its database ID.

#include <charconv>
#include <cstdio>
#include <optional>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "store/ado_error.h"
#include "store/ado_recordset.h"
#include "store/star_statements.h"
#include "store/statements.h"

namespace {

// The ID an argument gives: decimal digits only, nothing before or after them.
std::optional<long long> ParseItemId(const std::string& text) {
    long long id = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, id);
    if (text.empty() || error != std::errc() || stop != end || id < 0) {
        return std::nullopt;
    }
    return id;
}

bool ItemExists(long long id) {
    CAdoRecordset records(theStore);
    return records.Open(SqlSelectItemById(id)) && !records.IsEOF();
}

int RunStarChange(const std::vector<std::string>& args, bool star) {
    const char* command = star ? "star" : "unstar";
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quillon-cli %s ID\n", command);
        return 2;
    }
    const std::optional<long long> id = ParseItemId(args[0]);
    if (!id) {
        std::fprintf(stderr, "quillon-cli: '%s' is no item ID (the id field of list and search)\n",
                     args[0].c_str());
        return 2;
    }
    if (!theStore.Open()) {
        std::fprintf(stderr, "quillon-cli: cannot open the database: %s\n",
                     DatabaseFailureEnglish(theStore.LastError()).c_str());
        return 1;
    }
    if (!ItemExists(*id)) {
        std::fprintf(stderr, "quillon-cli: no item with ID %lld is stored\n", *id);
        return 1;
    }
    const int changed = theStore.Execute(star ? SqlStarItem(*id) : SqlUnstarItem(*id));
    if (changed < 0) {
        std::fprintf(stderr, "quillon-cli: cannot %s item %lld: %s\n", command, *id,
                     DatabaseFailureEnglish(theStore.LastError()).c_str());
        return 1;
    }
    if (star) {
        std::printf(changed > 0 ? "starred item %lld\n" : "item %lld was starred already\n", *id);
    } else {
        std::printf(changed > 0 ? "unstarred item %lld\n" : "item %lld had no star\n", *id);
    }
    return 0;
}

}  // namespace

int RunStarCommand(const std::vector<std::string>& args) {
    return RunStarChange(args, true);
}

int RunUnstarCommand(const std::vector<std::string>& args) {
    return RunStarChange(args, false);
}
