#include "views/name_dialogs.h"

#include <QDialogButtonBox>
#include <QLabel>
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
    connect(buttons, &QDialogButtonBox::accepted, this, &CNameDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
}

void CNameDlg::SetName(const std::string& name) {
    m_edit->setText(QString::fromStdString(name));
    m_edit->selectAll();
}

void CNameDlg::accept() {
    const QString refusal = m_check ? m_check(Name()) : QString();
    if (!refusal.isEmpty()) {
        m_message->setText(refusal);
        // The dialog's minimum size takes the message's lines at the narrowest the dialog gets,
        // so that no size the user gives it clips them.
        const int width = m_edit->minimumWidth();
        m_message->setMinimumSize(width, m_message->heightForWidth(width));
        m_message->show();
        m_edit->setFocus();
        m_edit->selectAll();
        return;
    }
    QDialog::accept();
}

std::string CNameDlg::Name() const {
    const std::string text = m_edit->text().toStdString();
    return std::string(CutToCodePageLimit(text, kMaxNodeNameCodePageBytes));
}

CfolderDlg::CfolderDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}

CkeyDlg::CkeyDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}

CrenameDlg::CrenameDlg(QWidget* parent) : CNameDlg(kCaption, parent) {}
