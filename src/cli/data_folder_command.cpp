// The data folder of quillon-cli, its database, and quillon-cli folder.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "store/ado_error.h"
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

bool UseDataFolder(const std::string& chosen, DatabaseUse use) {
    const std::string folder = chosen.empty() ? DefaultDataFolder() : AbsoluteFolder(chosen);
    const DataFolderStatus status = LayOutDataFolder(folder, FindDataTemplate(), use);
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

std::string StoreOpenFailureText() {
    const DataFolderStatus status{DatabaseFaultOf(theStore.OpenFailureCode()),
                                  theStore.DataPath("data/data.dat"),
                                  ParseAdoError(theStore.LastError()).description};
    return DescribeDataFolderStatus(status);
}

bool OpenDatabaseForReading() {
    if (!theStore.OpenForReading()) {
        std::fprintf(stderr, "quillon-cli: %s\n", StoreOpenFailureText().c_str());
        return false;
    }
    if (const SchemaUpgrade upgrade = theStore.LastUpgrade();
        upgrade.channelsMerged > 0 || upgrade.itemsMerged > 0) {
        EngineReport report = ReportOf(EngineReport::kRowsMerged);
        report.channelsMerged = upgrade.channelsMerged;
        report.itemsMerged = upgrade.itemsMerged;
        PrintReport(report);
    }
    return true;
}

void PrintReport(const EngineReport& report) {
    switch (report.kind) {
        case EngineReport::kServicesLine:
            std::fprintf(stderr, "quillon-cli: data/services.conf line %d is not understood: %s\n",
                         report.line, report.detail.c_str());
            break;
        case EngineReport::kStoreFailed:
            std::fprintf(stderr, "quillon-cli: storing stopped: %s\n",
                         DatabaseFailureEnglish(report.detail).c_str());
            break;
        case EngineReport::kRowsMerged:
            std::fprintf(stderr,
                         "quillon-cli: the database was brought up to date: %d channels whose "
                         "names differ only in case and %d items found to be the same item were "
                         "merged\n",
                         report.channelsMerged, report.itemsMerged);
            break;
        case EngineReport::kSettingsNotSaved:
            std::fprintf(stderr,
                         "quillon-cli: the settings could not be saved to %s (%s): check that the "
                         "data folder may be written and the disk has room\n",
                         report.detail.c_str(), std::strerror(report.errorNumber));
            break;
        case EngineReport::kUpdateProgress:
        case EngineReport::kUpdateDone:
            break;  // update prints these from the engine's tally
    }
}

int RunFolderCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fputs("usage: quillon-cli folder\n", stderr);
        return 2;
    }
    std::printf("%s\n", theStore.StartDirectory().c_str());
    return 0;
}
