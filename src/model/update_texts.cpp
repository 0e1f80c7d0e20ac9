#include "model/update_texts.h"

#include <cstdio>
#include <ctime>

#include "base/charset.h"
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
    const std::string shown = DisplayAddress(address);
    if (shown.size() <= kShownAddressBytes) {
        return shown;
    }
    return std::string(CutToCodePageLimit(shown, kShownAddressBytes - 3)) + "...";
}

int HexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// What an HTTP status means, in the user's words.
const char* HttpStatusWords(int status) {
    switch (status) {
        case 400:
            return "请求有误";
        case 401:
            return "需要登录";
        case 403:
            return "禁止访问";
        case 404:
            return "找不到该页面";
        case 405:
            return "服务器不接受这种请求";
        case 406:
            return "服务器无法提供可接受的内容";
        case 407:
            return "需要登录代理服务器";
        case 408:
            return "请求超时";
        case 410:
            return "已不存在";
        case 429:
            return "请求过于频繁";
        case 451:
            return "因法律原因无法提供";
        case 500:
            return "服务器内部错误";
        case 501:
            return "服务器不支持这种请求";
        case 502:
            return "网关错误";
        case 503:
            return "服务暂时不可用";
        case 504:
            return "网关超时";
        default:
            break;
    }
    if (status >= 300 && status < 400) {
        return "重定向没有完成";
    }
    if (status >= 400 && status < 500) {
        return "请求被拒绝";
    }
    if (status >= 500 && status < 600) {
        return "服务器错误";
    }
    return "服务器的回答无法使用";
}

}  // namespace

std::string DisplayAddress(std::string_view address) {
    // Only escapes of bytes outside ASCII are undone: an escaped "&" or "%" keeps the meaning
    // of the address it stands in.
    std::string decoded;
    bool changed = false;
    for (std::size_t pos = 0; pos < address.size(); ++pos) {
        if (address[pos] == '%' && pos + 2 < address.size()) {
            const int high = HexValue(address[pos + 1]);
            const int low = HexValue(address[pos + 2]);
            if (high >= 8 && low >= 0) {
                decoded.push_back(static_cast<char>(high * 16 + low));
                pos += 2;
                changed = true;
                continue;
            }
        }
        decoded.push_back(address[pos]);
    }
    if (!changed) {
        return std::string(address);
    }
    if (IsValidUtf8(decoded)) {
        return decoded;
    }
    // A word of a service that reads GBK.
    std::string converted;
    if (ConvertCharset("GB18030", "UTF-8", decoded, &converted) && IsValidUtf8(converted)) {
        return converted;
    }
    return std::string(address);
}

std::string HttpStatusText(int status) {
    return std::string(HttpStatusWords(status)) + "（HTTP " + std::to_string(status) + "）";
}

std::string OutcomeText(SourceOutcome outcome, int httpStatus) {
    switch (outcome) {
        case SourceOutcome::kOk:
            return "正常";
        case SourceOutcome::kNotModified:
            return "没有变化";
        case SourceOutcome::kHttpError:
            return HttpStatusText(httpStatus);
        case SourceOutcome::kNetworkError:
            return "无法连接";
        case SourceOutcome::kNotAFeed:
            return "不是新闻源";
        case SourceOutcome::kGone:
            return "已不存在（HTTP 410）";
        case SourceOutcome::kDeferred:
            return "服务器要求稍后再试";
        case SourceOutcome::kProxyError:
            return httpStatus == kProxyAuthStatus ? "代理服务器拒绝了用户名或密码"
                                                  : "代理服务器无法连接";
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
    if (!tally.failingChannels.empty()) {
        text += "（";
        for (std::size_t i = 0; i < tally.failingChannels.size(); ++i) {
            text += (i > 0 ? "、" : "") + tally.failingChannels[i];
        }
        text += tally.moreChannelsFailed ? " 等）" : "）";
    }
    if (tally.laterSources > 0) {
        text += "，" + std::to_string(tally.laterSources) + " 个来源稍后再试";
    }
    return text;
}

std::string SilentServiceText(const UpdateTally& tally) {
    if (tally.NothingReached() && tally.proxyFailedSources == tally.failedSources) {
        return "代理服务器无法连接：没有一个新闻源或搜索服务能够通过代理服务器获取，"
               "请在“帮助 → 系统设置”中检查网络代理";
    }
    if (tally.NothingReached()) {
        return "无法连接：没有一个新闻源或搜索服务能够连接，请检查网络连接后再更新";
    }
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

bool FailureMarkShown(const std::vector<SourceStatus>& sources) {
    bool allFailed = !sources.empty();
    for (const SourceStatus& source : sources) {
        // A proxy that failed marks no channel: its feeds are not to blame.
        const bool failed =
            IsFailedOutcome(source.outcome) && source.outcome != SourceOutcome::kProxyError;
        // A feed the user subscribed to counts on its own, whatever the search found.
        if (failed && source.service.empty()) {
            return true;
        }
        allFailed = allFailed && failed;
    }
    return allFailed;
}
