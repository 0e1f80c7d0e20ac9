#include "app/store_notices.h"

#include <QApplication>
#include <QMessageBox>

#include "app/main_frame.h"

namespace {

void PostStatusText(const QString& text) {
    QMetaObject::invokeMethod(
        qApp,
        [text] {
            if (g_pMainFrame) {
                g_pMainFrame->SetStatusText(text);
            }
        },
        Qt::QueuedConnection);
}

}  // namespace

QString EngineReportText(const EngineReport& report) {
    const QString detail = QString::fromStdString(report.detail);
    if (report.kind == EngineReport::kServicesLine) {
        return QString::fromUtf8("data/services.conf 第%1行无法识别，已忽略：%2")
            .arg(report.line)
            .arg(detail);
    }
    return QString::fromUtf8("新闻无法存入数据库，本次更新已停止存储：%1").arg(detail);
}

QString TreeFileDamageText(const TreeFileDamage& damage) {
    const QString reason = QString::fromStdString(damage.reason);
    if (damage.asidePath.empty()) {
        return QString::fromUtf8(
                   "频道树文件无法读取（%1），也无法另存。\n"
                   "在它另存之前，对频道树的修改不会写入文件。")
            .arg(reason);
    }
    return QString::fromUtf8(
               "频道树文件无法读取（%1）。\n原文件已另存为：%2\n频道树从“我的频道”重新开始。")
        .arg(reason, QString::fromStdString(damage.asidePath));
}

void ShowEngineReport(const EngineReport& report) {
    PostStatusText(EngineReportText(report));
}

void ShowStartupFailure(const std::string& reason) {
    PostStatusText(QString::fromUtf8("数据库无法打开：%1").arg(QString::fromStdString(reason)));
}

void ShowTreeFileDamage(QWidget* parent, const TreeFileDamage& damage) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(kTreeFileDamagedCaption),
                                TreeFileDamageText(damage), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
