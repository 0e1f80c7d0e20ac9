#pragma once

#include <QGroupBox>
#include <QString>

#include "base/fetch_proxy.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

// "网络代理" of the settings dialog: 使用系统代理, 不使用代理 or 手动, and for 手动 the kind
// (HTTP or SOCKS5), host, port, user and password. The manual fields are enabled only while
// 手动 is chosen; what they hold is kept when another mode is chosen. Window thread only.
class CProxyGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit CProxyGroup(QWidget* parent = nullptr);

    // Shows `proxy`, its password among it.
    void Show(const FetchProxy& proxy);
    // The setting as the controls have it. The port is 0 when its edit is empty.
    FetchProxy Proxy() const;
    // Why the setting cannot be stored ("手动代理需要服务器地址"), or "" when it can.
    QString Problem() const;

    QRadioButton* SystemButton() const { return m_system; }
    QRadioButton* NoneButton() const { return m_none; }
    QRadioButton* ManualButton() const { return m_manual; }
    QComboBox* KindBox() const { return m_kind; }
    QLineEdit* HostEdit() const { return m_host; }
    QLineEdit* PortEdit() const { return m_port; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }

private:
    void EnableManualFields();

    QRadioButton* m_system = nullptr;
    QRadioButton* m_none = nullptr;
    QRadioButton* m_manual = nullptr;
    QComboBox* m_kind = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};
