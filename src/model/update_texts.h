#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "feeds/engine_report.h"
#include "store/source_status.h"

// The words the window and the command-line tool use for updates and their sources, in one
// place so that both say the same.

// The search services' names as the settings show them, by engine index.
extern const char* const kSearchEngineNames[4];

// An outcome as the user reads it: "正常", "找不到该页面（HTTP 404）", "无法连接",
// "不是新闻源", "服务器要求稍后再试", "代理服务器无法连接" ...
std::string OutcomeText(SourceOutcome outcome, int httpStatus);
// An HTTP status in words, the number in brackets: "服务器内部错误（HTTP 500）".
std::string HttpStatusText(int status);
// An address as the user reads it: escapes of characters outside ASCII decoded ("q=天气",
// not "q=%E5%A4%A9%E6%B0%94"; GBK escapes too), escaped ASCII left as it is. An address
// whose escapes are no text is returned unchanged.
std::string DisplayAddress(std::string_view address);

// "正在更新：n/N"
std::string UpdateProgressText(const UpdateTally& tally);
// "更新完成：新增 37 条新闻，2 个来源失败（足球、天气），3 个来源稍后再试": each count left out
// when 0, at most three failing channels named, "等" when there are more.
std::string UpdateSummaryText(const UpdateTally& tally);
// What the update's failures ask of the user: when no server could be reached at all, that
// no connection could be made (through the proxy, when every failure was the proxy's); when the
// search service gave no feed while others answered, which one, why, and to choose another; ""
// otherwise.
std::string SilentServiceText(const UpdateTally& tally);

// A service's most recent result beside its name in the settings: "正常（2024-05-01 12:30）",
// "HTTP 404（...）", or "尚无结果".
std::string ServiceResultText(const std::optional<SourceStatus>& result);

// A moment of the source table (UtcTimeText) in local time, "YYYY-MM-DD HH:MM"; "" for "".
std::string LocalMomentText(const std::string& utcText);

// A tree node's tooltip: its whole name, its count of recent news and how many of them are
// unread ("最近新闻：共 N 条，未读 M 条") and, for a channel, each of `sources` (the sources
// of its latest update) with its last outcome.
std::string NodeTooltip(const std::string& name, int count, int unread,
                        const std::vector<SourceStatus>& sources);
// Whether a channel's warning mark shows: a feed subscribed for it failed, or it has sources
// and every one of them failed (a failure at the proxy counts as none).
bool FailureMarkShown(const std::vector<SourceStatus>& sources);
