#include "app/pending_dialogs.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void AddCloseButton(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(dialog);
    auto* ok = buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(dialog);
    layout->addStretch(1);
    layout->addWidget(buttons);
}

}  // namespace

CTD_SysDlg::CTD_SysDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("系统设置"));
    AddCloseButton(this);
}

CTD_OpmlDlg::CTD_OpmlDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("我要订阅"));
    AddCloseButton(this);
}
