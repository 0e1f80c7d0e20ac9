#include "views/name_dialogs.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/keyword_tree_file.h"

const char CfolderDlg::kCaption[] = "添加文件夹";
const char CkeyDlg::kCaption[] = "添加频道";
const char CrenameDlg::kCaption[] = "文件夹改名";

CNameDlg::CNameDlg(const char* caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(caption));
    // No length limit on the edit itself: Name() takes what fits.
    m_edit = new QLineEdit(this);
    m_edit->setMinimumWidth(240);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

std::string CNameDlg::Name() const {
    const std::string text = m_edit->text().toStdString();
    return std::string(CutToCodePageLimit(text, kMaxNodeNameCodePageBytes));
}

CfolderDlg::CfolderDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}

CkeyDlg::CkeyDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}

CrenameDlg::CrenameDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}
