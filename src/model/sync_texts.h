#pragma once

#include <string>

#include "model/ttrss_sync.h"

// The words the window and the command-line tool use for the sync account, in one place so
// that both say the same.

// What a login or a sync ran into, as the user reads it, with what to do where there is
// something: "用户名或密码错误", "该用户未开启 API 访问……", "TLS 错误：…… 请检查……".
std::string SyncFailureText(TtRssFailure failure, const std::string& detail);
// The outcome of a connection test: "已登录，服务器版本 21" or the failure's text.
std::string LoginOutcomeText(const TtRssAnswer& answer, const std::string& version);
// The status bar's line after a sync: "同步完成：新增 120 条新闻，标记 35 条已读" (the marked
// ones left out when 0), or "同步失败：" and the failure's text.
std::string SyncSummaryText(const SyncSummary& summary);
// The status bar's line while a sync with `host` runs: "正在与 HOST 同步：订阅……",
// "正在与 HOST 同步：取回新闻（第 3 页，已存 400 条）……", "正在与 HOST 同步：已读与星标……".
std::string SyncProgressText(const std::string& host, const SyncProgress& progress);
