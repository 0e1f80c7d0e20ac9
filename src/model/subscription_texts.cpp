#include "model/subscription_texts.h"

namespace {

std::string Count(int n) {
    return std::to_string(n);
}

}  // namespace

std::string SubscriptionSummaryText(const ListSubscription& outcome) {
    std::string text = "已订阅 " + Count(outcome.added) + " 个频道";
    if (outcome.existing > 0) {
        text += "，" + Count(outcome.existing) + " 个已存在";
    }
    if (outcome.folders > 0) {
        text += "，新建 " + Count(outcome.folders) + " 个文件夹";
    }
    if (outcome.skipped > 0) {
        text += "，跳过 " + Count(outcome.skipped) + " 个不是新闻源的条目";
    }
    if (outcome.unstored > 0) {
        text += "，" + Count(outcome.unstored) + " 个无法订阅";
    }
    return text;
}

std::string FetchProgressText(const CFeedFetchWatch& watch) {
    return "正在获取：" + Count(watch.Fetched()) + "/" + Count(watch.Total());
}

std::string FetchResultText(const CFeedFetchWatch& watch) {
    const auto& failures = watch.Failures();
    if (failures.empty()) {
        return "已获取全部 " + Count(watch.Total()) + " 个新闻源";
    }
    std::string text = Count(watch.Total()) + " 个新闻源中 " +
                       Count(static_cast<int>(failures.size())) + " 个获取失败：";
    int listed = 0;
    for (const FeedFailure& failure : failures) {
        if (listed++ == kMaxListedFailures) {
            text +=
                "\n……另有 " + Count(static_cast<int>(failures.size()) - kMaxListedFailures) + " 个";
            break;
        }
        text += "\n" + failure.channel + "：" + failure.reason + "（" + failure.address + "）";
    }
    return text;
}

std::string FetchedSummaryText(const std::string& summary, const CFeedFetchWatch& watch) {
    if (watch.Failures().empty()) {
        return summary;
    }
    return summary + "，" + Count(static_cast<int>(watch.Failures().size())) + " 个新闻源获取失败";
}
