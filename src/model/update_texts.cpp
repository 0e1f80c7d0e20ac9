#include "model/update_texts.h"

#include <cstdio>
#include <ctime>

#include "base/text_util.h"
#include "base/utc_time.h"
#include "feeds/source_policy.h"

const char* const kSearchEngineNames[4] = {"百度", "Google", "雅虎", "搜狗"};

namespace {

// A tooltip shows an address up to this many characters.
constexpr std::size_t kShownAddressBytes = 90;

const char* EngineName(int engine) {
    return engine >= 0 && engine < 4 ? kSearchEngineNames[engine] : kSearchEngineNames[0];
}

// What becomes of a source that answered 410: asked again a day later until it has answered
// so often enough, then only by 刷新该频道.
std::string GoneNote(const SourceStatus& source) {
    if (source.outcome != SourceOutcome::kGone) {
        return {};
    }
    return source.goneCount >= kGoneAnswersToGiveUp ? "，不再获取（“刷新该频道”可再试）"
                                                    : "，一天后再试";
}

std::string ShortAddress(const std::string& address) {
    if (address.size() <= kShownAddressBytes) {
        return address;
    }
    return std::string(CutToCodePageLimit(address, kShownAddressBytes - 3)) + "...";
}

}  // namespace

std::string OutcomeText(SourceOutcome outcome, int httpStatus) {
    switch (outcome) {
        case SourceOutcome::kOk:
            return "正常";
        case SourceOutcome::kNotModified:
            return "没有变化";
        case SourceOutcome::kHttpError:
            return "HTTP " + std::to_string(httpStatus);
        case SourceOutcome::kNetworkError:
            return "无法连接";
        case SourceOutcome::kNotAFeed:
            return "不是新闻源";
        case SourceOutcome::kGone:
            return "已不存在（HTTP 410）";
        case SourceOutcome::kDeferred:
            return "服务器要求稍后再试";
    }
    return "无法连接";
}

std::string UpdateProgressText(const UpdateTally& tally) {
    return "正在更新：" + std::to_string(tally.done) + "/" + std::to_string(tally.total);
}

std::string UpdateSummaryText(const UpdateTally& tally) {
    std::string text = "更新完成：新增 " + std::to_string(tally.newItems) + " 条新闻";
    if (tally.failedSources > 0) {
        text += "，" + std::to_string(tally.failedSources) + " 个来源失败";
    }
    if (tally.laterSources > 0) {
        text += "，" + std::to_string(tally.laterSources) + " 个来源稍后再试";
    }
    return text;
}

std::string SilentServiceText(const UpdateTally& tally) {
    if (!tally.SearchServiceSilent()) {
        return {};
    }
    return std::string("搜索服务“") + EngineName(tally.engine) + "”没有提供新闻（" +
           OutcomeText(tally.searchFailure, tally.searchFailureStatus) +
           "），请在“帮助 → 系统设置”中选择其他搜索服务";
}

std::string LocalMomentText(const std::string& utcText) {
    const std::optional<TimePoint> moment = ParseUtcTimeText(utcText);
    if (!moment) {
        return {};
    }
    const std::time_t seconds = std::chrono::system_clock::to_time_t(*moment);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min);
    return text;
}

std::string ServiceResultText(const std::optional<SourceStatus>& result) {
    if (!result) {
        return "尚无结果";
    }
    const std::string when = LocalMomentText(result->lastAttempt);
    return OutcomeText(result->outcome, result->httpStatus) +
           (when.empty() ? std::string() : "（" + when + "）");
}

std::string NodeTooltip(const std::string& name, int count, int unread,
                        const std::vector<SourceStatus>& sources) {
    std::string text = name + "\n最近新闻：共 " + std::to_string(count) + " 条，未读 " +
                       std::to_string(unread) + " 条";
    for (const SourceStatus& source : sources) {
        text += std::string("\n") + (source.service.empty() ? "订阅 " : "搜索 ") +
                ShortAddress(source.address) + "：" +
                OutcomeText(source.outcome, source.httpStatus) + GoneNote(source);
    }
    return text;
}

bool AllSourcesFailed(const std::vector<SourceStatus>& sources) {
    if (sources.empty()) {
        return false;
    }
    for (const SourceStatus& source : sources) {
        if (!IsFailedOutcome(source.outcome)) {
            return false;
        }
    }
    return true;
}
