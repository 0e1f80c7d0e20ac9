#include "dialogs/proxy_group.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace {

constexpr int kHighestPort = 65535;

}  // namespace

CProxyGroup::CProxyGroup(QWidget* parent) : QGroupBox(QString::fromUtf8("网络代理"), parent) {
    m_system = new QRadioButton(QString::fromUtf8("使用系统代理"), this);
    m_none = new QRadioButton(QString::fromUtf8("不使用代理"), this);
    m_manual = new QRadioButton(QString::fromUtf8("手动"), this);
    m_kind = new QComboBox(this);
    m_kind->addItem(QStringLiteral("HTTP"));
    m_kind->addItem(QStringLiteral("SOCKS5"));
    m_host = new QLineEdit(this);
    m_port = new QLineEdit(this);
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), m_port));
    m_user = new QLineEdit(this);
    m_user->setPlaceholderText(QString::fromUtf8("可不填"));
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);

    auto* modes = new QHBoxLayout;
    modes->addWidget(m_system);
    modes->addWidget(m_none);
    modes->addWidget(m_manual);
    modes->addStretch();
    auto* rows = new QGridLayout(this);
    rows->addLayout(modes, 0, 0, 1, 4);
    const struct {
        const char* label;
        QWidget* control;
        int row;
        int column;
    } fields[] = {{"类型", m_kind, 1, 0},
                  {"服务器", m_host, 2, 0},
                  {"端口", m_port, 2, 2},
                  {"用户名", m_user, 3, 0},
                  {"密码", m_password, 3, 2}};
    for (const auto& [label, control, row, column] : fields) {
        rows->addWidget(new QLabel(QString::fromUtf8(label), this), row, column);
        rows->addWidget(control, row, column + 1);
    }
    for (QRadioButton* button : {m_system, m_none, m_manual}) {
        connect(button, &QRadioButton::toggled, this, &CProxyGroup::EnableManualFields);
    }
    m_system->setChecked(true);
    EnableManualFields();
}

void CProxyGroup::EnableManualFields() {
    const bool manual = m_manual->isChecked();
    for (QWidget* field :
         std::initializer_list<QWidget*>{m_kind, m_host, m_port, m_user, m_password}) {
        field->setEnabled(manual);
    }
}

void CProxyGroup::Show(const FetchProxy& proxy) {
    (proxy.mode == ProxyMode::kManual ? m_manual
     : proxy.mode == ProxyMode::kNone ? m_none
                                      : m_system)
        ->setChecked(true);
    m_kind->setCurrentIndex(proxy.kind == ProxyKind::kSocks5 ? 1 : 0);
    m_host->setText(QString::fromStdString(proxy.host));
    m_port->setText(proxy.port > 0 ? QString::number(proxy.port) : QString());
    m_user->setText(QString::fromStdString(proxy.user));
    m_password->setText(QString::fromStdString(proxy.password));
}

FetchProxy CProxyGroup::Proxy() const {
    FetchProxy proxy;
    proxy.mode = m_manual->isChecked() ? ProxyMode::kManual
                 : m_none->isChecked() ? ProxyMode::kNone
                                       : ProxyMode::kSystem;
    proxy.kind = m_kind->currentIndex() == 1 ? ProxyKind::kSocks5 : ProxyKind::kHttp;
    proxy.host = m_host->text().trimmed().toStdString();
    proxy.port = m_port->text().toInt();
    proxy.user = m_user->text().trimmed().toStdString();
    // A password without a user is never sent: it is not kept either.
    proxy.password = proxy.user.empty() ? std::string() : m_password->text().toStdString();
    return proxy;
}

QString CProxyGroup::Problem() const {
    const FetchProxy proxy = Proxy();
    if (proxy.mode != ProxyMode::kManual) {
        return {};
    }
    if (proxy.host.empty()) {
        return QString::fromUtf8("手动代理需要服务器地址");
    }
    // The settings file would end the value at "#"; no host or user name holds one or a blank.
    const QString host = QString::fromStdString(proxy.host);
    if (host.contains(QLatin1Char('#')) || host.contains(QLatin1Char(' ')) ||
        host.contains(QLatin1Char('/')) || host.contains(QLatin1Char('@'))) {
        return QString::fromUtf8("代理服务器地址不能含有空格、“#”、“/”或“@”");
    }
    if (proxy.port < 1 || proxy.port > kHighestPort) {
        return QString::fromUtf8("代理服务器端口应为 1 到 65535");
    }
    if (QString::fromStdString(proxy.user).contains(QLatin1Char('#'))) {
        return QString::fromUtf8("代理用户名不能含有“#”");
    }
    return {};
}
