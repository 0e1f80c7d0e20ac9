// quillon-cli clean DAYS [--keep-unread]: old news removed and the file compacted, for cron.

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <optional>

#include "cli/cli_commands.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "model/news_age.h"
#include "store/news_cleanup.h"

namespace {

constexpr char kCleanUsage[] = "usage: quillon-cli clean DAYS [--keep-unread]\n";

// DAYS: decimal digits only, 1 to kMaxCleanDays.
std::optional<int> ParseDays(const std::string& text) {
    int days = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, days);
    if (text.empty() || error != std::errc() || stop != end || days < 1 || days > kMaxCleanDays) {
        return std::nullopt;
    }
    return days;
}

}  // namespace

int RunCleanCommand(const std::vector<std::string>& args) {
    std::optional<int> days;
    bool keepUnread = false;
    for (const std::string& arg : args) {
        if (arg == "--keep-unread") {
            keepUnread = true;
        } else if (!days && !arg.starts_with("-")) {
            days = ParseDays(arg);
            if (!days) {
                std::fprintf(stderr, "quillon-cli: DAYS must be a whole number from 1 to %d\n",
                             kMaxCleanDays);
                return 2;
            }
        } else {
            std::fputs(kCleanUsage, stderr);
            return 2;
        }
    }
    if (!days) {
        std::fputs(kCleanUsage, stderr);
        return 2;
    }
    if (!theStore.Open()) {
        std::fprintf(stderr, "quillon-cli: cannot open the database: %s\n",
                     DatabaseFailureEnglish(theStore.LastError()).c_str());
        return 1;
    }
    CleanRule rule;
    rule.before = CleanCutoffDay(*days);
    rule.keepUnread = keepUnread;
    CleanResult result;
    std::string failure;
    const bool cleaned = CleanOldNews(theStore, rule, &result, &failure);
    std::printf("removed %" PRId64 " items dated before %04d-%02d-%02d%s\n", result.itemsRemoved,
                rule.before.year, rule.before.month, rule.before.day,
                keepUnread ? " (unread and starred items kept)" : " (starred items kept)");
    if (!cleaned) {
        std::fprintf(stderr, "quillon-cli: the clean-up stopped: %s\n", failure.c_str());
        return 1;
    }
    std::printf("database size %" PRId64 " bytes before, %" PRId64 " bytes after%s\n",
                result.sizeBefore, result.sizeAfter,
                result.compacted ? "" : " (not compacted: the database was busy)");
    return 0;
}
