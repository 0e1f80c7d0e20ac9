#include "dialogs/sync_account_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/http_fetch.h"

CSyncAccountDlg::CSyncAccountDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("同步账户"));
    auto* form = new QFormLayout;
    m_server = new QLineEdit(this);
    m_server->setPlaceholderText(QStringLiteral("https://example.com/tt-rss"));
    m_user = new QLineEdit(this);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QString::fromUtf8("服务器地址："), m_server);
    form->addRow(QString::fromUtf8("用户名："), m_user);
    form->addRow(QString::fromUtf8("密码："), m_password);
    m_watch = new QCheckBox(QString::fromUtf8("由服务器代为监视关键词"), this);
    m_watch->setChecked(true);
    m_outcome = new QLabel(this);
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    m_test = buttons->addButton(QString::fromUtf8("测试连接"), QDialogButtonBox::ActionRole);
    m_save = buttons->addButton(QString::fromUtf8("保存"), QDialogButtonBox::AcceptRole);
    m_remove = buttons->addButton(QString::fromUtf8("删除账户"), QDialogButtonBox::DestructiveRole);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    connect(m_test, &QPushButton::clicked, this, &CSyncAccountDlg::TestRequested);
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (!IsHttpAddress(Server().toStdString())) {
            ShowOutcome(QString::fromUtf8("服务器地址须以 http:// 或 https:// 开头"));
            return;
        }
        done(kSaved);
    });
    connect(m_remove, &QPushButton::clicked, this, [this] { done(kRemoved); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit* field : {m_server, m_user}) {
        connect(field, &QLineEdit::textChanged, this, &CSyncAccountDlg::UpdateButtons);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_watch);
    layout->addWidget(m_outcome);
    layout->addWidget(buttons);
    UpdateButtons();
}

void CSyncAccountDlg::SetAccount(const QString& server, const QString& user,
                                 const QString& password, bool watchKeywords) {
    m_server->setText(server);
    m_user->setText(user);
    m_password->setText(password);
    m_watch->setChecked(watchKeywords);
    // Only an account that is set can be removed.
    m_remove->setEnabled(!server.isEmpty());
}

QString CSyncAccountDlg::Server() const {
    return m_server->text().trimmed();
}

QString CSyncAccountDlg::User() const {
    return m_user->text().trimmed();
}

QString CSyncAccountDlg::Password() const {
    return m_password->text();
}

bool CSyncAccountDlg::WatchKeywords() const {
    return m_watch->isChecked();
}

void CSyncAccountDlg::ShowOutcome(const QString& text) {
    m_outcome->setText(text);
}

QString CSyncAccountDlg::Outcome() const {
    return m_outcome->text();
}

void CSyncAccountDlg::SetTesting(bool testing) {
    m_testing = testing;
    UpdateButtons();
}

void CSyncAccountDlg::UpdateButtons() {
    // A test or an account needs both an address and a user.
    const bool complete = !Server().isEmpty() && !User().isEmpty();
    m_test->setEnabled(complete && !m_testing);
    m_save->setEnabled(complete && !m_testing);
}
