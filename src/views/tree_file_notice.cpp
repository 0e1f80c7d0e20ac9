#include "views/tree_file_notice.h"

#include <QMessageBox>
#include <QPointer>

#include "model/write_failure_text.h"

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

QString TreeFileNotSavedText(const std::string& path, int errorNumber) {
    return QString::fromUtf8(
               "频道树的修改无法保存到 %1（%2）。\n"
               "修改仍在窗口中，但程序关闭后会丢失。请为数据文件夹开放写入权限或腾出磁盘空间，"
               "之后的修改会连同这次的一起保存。")
        .arg(QString::fromStdString(path), QString::fromStdString(WriteFailureReason(errorNumber)));
}

void ShowTreeFileNotSaved(QWidget* parent, const std::string& path, int errorNumber) {
    // One box at a time: a drag or a subscription may save many times in a row.
    static QPointer<QMessageBox> open;
    if (open) {
        open->setText(TreeFileNotSavedText(path, errorNumber));
        return;
    }
    open = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(kTreeFileNotSavedCaption),
                           TreeFileNotSavedText(path, errorNumber), QMessageBox::Ok, parent);
    open->setAttribute(Qt::WA_DeleteOnClose);
    open->open();
}
