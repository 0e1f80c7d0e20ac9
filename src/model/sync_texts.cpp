#include "model/sync_texts.h"

std::string SyncFailureText(TtRssFailure failure, const std::string& detail) {
    switch (failure) {
        case TtRssFailure::kNone:
            return "正常";
        case TtRssFailure::kNoConnection:
            return "无法连接到服务器" + (detail.empty() ? std::string() : "（" + detail + "）");
        case TtRssFailure::kTls:
            return "TLS 错误：" + detail + "。请检查服务器的证书是否有效、地址是否正确";
        case TtRssFailure::kHttpError:
            return "服务器出错（" + detail + "）";
        case TtRssFailure::kNotTtRss:
            return "该地址不是 Tiny Tiny RSS 服务器";
        case TtRssFailure::kBadAnswer:
            return "服务器的回答不完整或无法读取";
        case TtRssFailure::kTooLarge:
            return "服务器的回答过大";
        case TtRssFailure::kLoginError:
            return "用户名或密码错误";
        case TtRssFailure::kApiDisabled:
            return "该用户未开启 API 访问：请在服务器上该用户的偏好设置中开启“启用 API”";
        case TtRssFailure::kNotLoggedIn:
            return "服务器结束了会话，重新登录未成功";
        case TtRssFailure::kApiError:
            return "服务器报告错误：" + detail;
        case TtRssFailure::kAbandoned:
            return "同步已停止";
        case TtRssFailure::kNoPassword:
            return "无法读取同步账户的密码：" +
                   (detail.empty() ? std::string("密钥环和密码文件中都没有") : detail) +
                   "（请在 帮助 → 同步账户… 中重新输入密码）";
    }
    return detail;
}

std::string LoginOutcomeText(const TtRssAnswer& answer, const std::string& version) {
    if (answer.ok()) {
        return "已登录，服务器版本 " + version;
    }
    return SyncFailureText(answer.failure, answer.detail);
}

std::string SyncSummaryText(const SyncSummary& summary) {
    if (!summary.ok()) {
        return "同步失败：" + SyncFailureText(summary.failure, summary.detail);
    }
    std::string text = "同步完成：新增 " + std::to_string(summary.itemsStored) + " 条新闻";
    if (summary.markedRead > 0) {
        text += "，标记 " + std::to_string(summary.markedRead) + " 条已读";
    }
    return text;
}

std::string SyncProgressText(const std::string& host, const SyncProgress& progress) {
    const std::string start = "正在与 " + host + " 同步：";
    switch (progress.step) {
        case SyncProgress::kSubscriptions:
            return start + "订阅……";
        case SyncProgress::kArticles:
            return start + "取回新闻（第 " + std::to_string(progress.page) + " 页，已存 " +
                   std::to_string(progress.stored) + " 条）……";
        case SyncProgress::kState:
            return start + "已读与星标……";
    }
    return start;
}
