#include "app/proxy_commands.h"

#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <functional>

#include "app/quillon_app.h"
#include "store/app_settings.h"
#include "store/proxy_settings.h"
#include "store/secret_store.h"

namespace {

// Runs `call` on a thread of its own, servicing the window's events until it returns.
SecretResult OffTheWindowThread(const std::function<SecretResult()>& call) {
    SecretResult result;
    CQuillonApp::RunOffWindowThread([&] { result = call(); });
    return result;
}

QString ExposedNote(const SecretResult& result, const std::string& path) {
    return result.fileWasExposed
               ? QString::fromUtf8(
                     "%1 曾可被其他用户读取，现已改为仅本人可读，但其中的密码可能已泄露。")
                     .arg(QString::fromStdString(path))
               : QString();
}

}  // namespace

void CProxyCommands::Apply(const FetchProxy& proxy) {
    SetProcessProxy(proxy);
    switch (proxy.mode) {
        case ProxyMode::kSystem:
            QNetworkProxyFactory::setUseSystemConfiguration(true);
            break;
        case ProxyMode::kNone:
            QNetworkProxyFactory::setUseSystemConfiguration(false);
            QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
            break;
        case ProxyMode::kManual:
            QNetworkProxyFactory::setUseSystemConfiguration(false);
            QNetworkProxy::setApplicationProxy(QNetworkProxy(
                proxy.kind == ProxyKind::kSocks5 ? QNetworkProxy::Socks5Proxy
                                                 : QNetworkProxy::HttpProxy,
                QString::fromStdString(proxy.host), static_cast<quint16>(proxy.port),
                QString::fromStdString(proxy.user), QString::fromStdString(proxy.password)));
            break;
    }
}

QString CProxyCommands::Start(const std::string& dataFolder) {
    m_folder = dataFolder;
    CAppSettings settings;
    settings.Load(dataFolder + "/data/settings.conf");
    m_current = LoadProxySetting(settings);
    QString note;
    // Read whenever a user is set, so that the dialog shows it in every mode.
    if (!m_current.user.empty()) {
        CSecretStore secrets(m_folder);
        const SecretResult found =
            OffTheWindowThread([&secrets] { return secrets.Lookup(kProxySecretName); });
        m_current.password = found.secret;
        if (!found.ok) {
            note = QString::fromUtf8("代理服务器的密码无法读取%1")
                       .arg(found.failure.empty() ? QString()
                                                  : QString::fromUtf8("（%1）").arg(
                                                        QString::fromStdString(found.failure)));
        }
        note += ExposedNote(found, secrets.FilePath());
    }
    Apply(m_current);
    return note;
}

QString CProxyCommands::Change(const FetchProxy& proxy) {
    QString note;
    // The password is kept for as long as a user is set, whatever the mode, so that going back
    // to 手动 finds it; CProxyGroup gives none without a user.
    if (proxy.password != m_current.password) {
        CSecretStore secrets(m_folder);
        const bool keep = !proxy.password.empty();
        const SecretResult kept = OffTheWindowThread([&] {
            return keep ? secrets.Save(kProxySecretName, kProxySecretLabel, proxy.password)
                        : secrets.Remove(kProxySecretName);
        });
        if (keep && !kept.ok) {
            note = QString::fromUtf8("代理服务器的密码无法保存（%1），本次运行仍会使用它")
                       .arg(QString::fromStdString(kept.failure));
        }
        note += ExposedNote(kept, secrets.FilePath());
    }
    m_current = proxy;
    Apply(m_current);
    return note;
}
