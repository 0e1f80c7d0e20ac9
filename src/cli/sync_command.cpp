// quillon-cli sync [--json]: one sync with the account's server.

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "cli/cli_commands.h"
#include "feeds/services_config.h"
#include "model/account_sync.h"
#include "model/sync_texts.h"
#include "model/ttrss_sync.h"
#include "store/ado_error.h"
#include "store/sync_settings.h"

void PrintSyncSummary(const SyncSummary& summary, bool json) {
    if (json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::object();
        out["ok"] = summary.ok();
        out["failure"] = summary.ok() ? nlohmann::ordered_json(nullptr)
                                      : nlohmann::ordered_json(TtRssFailureName(summary.failure));
        out["feedsAdded"] = summary.feedsAdded;
        out["feedsRemoved"] = summary.feedsRemoved;
        out["feedsUnsubscribed"] = summary.feedsUnsubscribed;
        out["feedsRenamed"] = summary.feedsRenamed;
        out["feedsMoved"] = summary.feedsMoved;
        out["foldersRenamed"] = summary.foldersRenamed;
        out["newItems"] = summary.itemsStored;
        out["markedRead"] = summary.markedRead;
        out["markedUnread"] = summary.markedUnread;
        out["starsChanged"] = summary.starsChanged;
        out["changesSent"] = summary.changesSent;
        out["keywordsWatched"] = summary.keywordsWatched;
        out["keywordsUnwatched"] = summary.keywordsUnwatched;
        out["keywordsRefused"] = summary.keywordsRefused;
        out["requests"] = summary.requests;
        std::printf("%s\n", out.dump(2).c_str());
    } else if (summary.ok()) {
        std::printf(
            "synced: %d new items, %d marked read, %d marked unread, %d stars changed, %d "
            "changes sent, %d feeds added, %d feeds removed\n",
            summary.itemsStored, summary.markedRead, summary.markedUnread, summary.starsChanged,
            summary.changesSent, summary.feedsAdded, summary.feedsRemoved);
        // The same in the words of the program's own texts.
        std::printf("%s\n", SyncSummaryText(summary).c_str());
    }
    if (summary.keywordsRefused > 0) {
        std::fprintf(stderr,
                     "quillon-cli: the server could not subscribe the search address of %d "
                     "keyword channel(s); they are tried again at the next sync\n",
                     summary.keywordsRefused);
    }
    if (!summary.ok()) {
        TtRssAnswer answer;
        answer.failure = summary.failure;
        answer.detail = summary.detail;
        std::fprintf(stderr, "quillon-cli: the sync failed: %s\n",
                     AccountFailureEnglish(answer).c_str());
    }
}

int RunSyncCommand(const std::vector<std::string>& args) {
    const bool json = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !json) {
        std::fputs("usage: quillon-cli sync [--json]\n", stderr);
        return 2;
    }
    theStore.LoadSettings();
    Services().LoadFile(theStore.DataPath("data/services.conf"));
    if (!theStore.Open()) {
        std::fprintf(stderr, "quillon-cli: cannot open the database: %s\n",
                     ParseAdoError(theStore.LastError()).description.c_str());
        return 1;
    }
    // The steps go to a terminal only: a script reads the summary alone.
    SyncProgressFn progress;
    if (isatty(STDERR_FILENO)) {
        progress = [host = ServerFolderName(theStore.MoreSettings().Get(kSyncServerKey))](
                       const SyncProgress& step) {
            if (step.step == SyncProgress::kSubscriptions) {
                std::fprintf(stderr, "syncing with %s: subscriptions...\n", host.c_str());
            } else if (step.step == SyncProgress::kArticles) {
                std::fprintf(stderr, "syncing with %s: new articles (page %d, %d stored)...\n",
                             host.c_str(), step.page, step.stored);
            } else {
                std::fprintf(stderr, "syncing with %s: read and starred state...\n", host.c_str());
            }
        };
    }
    const std::optional<SyncSummary> summary =
        SyncWithAccount(theStore, PrintTreeFileDamage, nullptr, progress);
    if (!summary) {
        std::fprintf(stderr, "quillon-cli: no account is set (quillon-cli account URL USER)\n");
        return 1;
    }
    PrintSyncSummary(*summary, json);
    return summary->ok() ? 0 : 1;
}
