#include "app/store_notices.h"

#include <QApplication>

#include "app/main_frame.h"
#include "model/database_texts.h"
#include "model/update_texts.h"

QString EngineReportText(const EngineReport& report) {
    const QString detail = QString::fromStdString(report.detail);
    if (report.kind == EngineReport::kUpdateProgress) {
        return QString::fromStdString(UpdateProgressText(report.tally));
    }
    if (report.kind == EngineReport::kUpdateDone) {
        return QString::fromStdString(UpdateSummaryText(report.tally));
    }
    if (report.kind == EngineReport::kServicesLine) {
        return QString::fromUtf8("data/services.conf 第%1行无法识别，已忽略：%2")
            .arg(report.line)
            .arg(detail);
    }
    if (report.kind == EngineReport::kRowsMerged) {
        return QString::fromUtf8("数据库已升级：合并了仅大小写不同的频道 %1 个、重复的新闻 %2 条。")
            .arg(report.channelsMerged)
            .arg(report.itemsMerged);
    }
    return QString::fromUtf8("新闻无法存入数据库，本次更新已停止存储。%1")
        .arg(QString::fromStdString(DatabaseFailureText(report.detail)));
}

void ShowEngineReport(const EngineReport& report) {
    if (report.kind == EngineReport::kUpdateProgress || report.kind == EngineReport::kUpdateDone) {
        QMetaObject::invokeMethod(
            qApp,
            [report] {
                if (g_pMainFrame == nullptr) {
                    return;
                }
                if (report.kind == EngineReport::kUpdateDone) {
                    g_pMainFrame->ShowUpdateDone(report.tally);
                } else {
                    g_pMainFrame->ShowUpdateProgress(report.tally);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    const QString text = EngineReportText(report);
    QMetaObject::invokeMethod(
        qApp,
        [text] {
            if (g_pMainFrame) {
                g_pMainFrame->SetStatusText(text);
            }
        },
        Qt::QueuedConnection);
}
