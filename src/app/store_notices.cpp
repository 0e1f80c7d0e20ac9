#include "app/store_notices.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include "app/clean_commands.h"
#include "app/main_frame.h"
#include "model/database_texts.h"
#include "model/update_texts.h"
#include "model/write_failure_text.h"

namespace {

void ShowSettingsNotSaved(const QString& text) {
    QWidget* parent = g_pMainFrame;
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8("设置无法保存"), text, QMessageBox::Ok,
                    parent);
    box.button(QMessageBox::Ok)->setText(QString::fromUtf8("确定"));
    box.exec();
}

}  // namespace

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
    if (report.kind == EngineReport::kSettingsNotSaved) {
        return QString::fromUtf8(
                   "设置无法保存到 %1（%2）。本次更改的设置在程序关闭后会丢失。"
                   "请为数据文件夹开放写入权限或腾出磁盘空间。")
            .arg(detail, QString::fromStdString(WriteFailureReason(report.errorNumber)));
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
                    CCleanCommands(*g_pMainFrame).AutoCleanAfterUpdate();
                } else {
                    g_pMainFrame->ShowUpdateProgress(report.tally);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    const QString text = EngineReportText(report);
    if (report.kind == EngineReport::kSettingsNotSaved) {
        // Settings are saved on the window thread (after 系统设置, at exit): said at once, so
        // that it is seen even while the window closes.
        if (QThread::currentThread() == qApp->thread()) {
            ShowSettingsNotSaved(text);
        } else {
            QMetaObject::invokeMethod(
                qApp, [text] { ShowSettingsNotSaved(text); }, Qt::QueuedConnection);
        }
        return;
    }
    QMetaObject::invokeMethod(
        qApp,
        [text] {
            if (g_pMainFrame) {
                g_pMainFrame->SetStatusText(text);
            }
        },
        Qt::QueuedConnection);
}
