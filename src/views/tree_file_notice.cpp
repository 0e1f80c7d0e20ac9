#include "views/tree_file_notice.h"

#include <QMessageBox>

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

void ShowTreeFileDamage(QWidget* parent, const TreeFileDamage& damage) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(kTreeFileDamagedCaption),
                                TreeFileDamageText(damage), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
