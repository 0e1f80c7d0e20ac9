#pragma once

#include <string>

#include "model/fetch_watch.h"
#include "model/list_subscription.h"

// What a list subscription did, as the dialog and the status bar say it: "已订阅 8 个频道，
// 2 个已存在，新建 4 个文件夹，跳过 3 个不是新闻源的条目，1 个无法订阅" (the parts after the
// first only where their count is not 0).
std::string SubscriptionSummaryText(const ListSubscription& outcome);
// "正在获取：n/N".
std::string FetchProgressText(const CFeedFetchWatch& watch);
// What the new feeds' first fetch came to: "已获取全部 N 个新闻源", or "N 个新闻源中 F 个获取
// 失败：" and a line "名称：原因（地址）" for each (the first kMaxListedFailures, then how many
// more).
std::string FetchResultText(const CFeedFetchWatch& watch);
// `summary` with "，F 个新闻源获取失败" where any failed.
std::string FetchedSummaryText(const std::string& summary, const CFeedFetchWatch& watch);

inline constexpr int kMaxListedFailures = 10;
