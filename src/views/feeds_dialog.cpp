#include "views/feeds_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/http_fetch.h"

CFeedsDlg::CFeedsDlg(const std::string& channel, const std::vector<std::string>& addresses,
                     QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("编辑新闻源"));
    auto* note = new QLabel(
        QString::fromUtf8(
            "频道“%1”的新闻源，每行一个地址。删去一行即退订该新闻源，新加的新闻源立即获取。")
            .arg(QString::fromStdString(channel)),
        this);
    note->setWordWrap(true);
    m_edit = new QPlainTextEdit(this);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    QString text;
    for (const std::string& address : addresses) {
        text += QString::fromStdString(address) + QLatin1Char('\n');
    }
    m_edit->setPlainText(text);
    m_edit->setMinimumWidth(420);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole)->setDefault(false);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFeedsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_edit);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
}

std::vector<std::string> CFeedsDlg::Addresses() const {
    std::vector<std::string> addresses;
    for (const QString& line : m_edit->toPlainText().split(QLatin1Char('\n'))) {
        const std::string address = line.trimmed().toStdString();
        if (!address.empty() &&
            std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(address);
        }
    }
    return addresses;
}

void CFeedsDlg::accept() {
    for (const std::string& address : Addresses()) {
        if (!IsHttpAddress(address)) {
            m_message->setText(QString::fromUtf8("“%1”不是 http 或 https 地址。")
                                   .arg(QString::fromStdString(address)));
            m_edit->setFocus();
            return;
        }
    }
    QDialog::accept();
}
