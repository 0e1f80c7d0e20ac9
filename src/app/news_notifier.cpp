#include "app/news_notifier.h"

#include <QApplication>
#include <QEvent>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

constexpr int kMessageMs = 10'000;

}  // namespace

CNewsNotifier::CNewsNotifier(QWidget* window) : QObject(window), m_window(window) {
    m_window->installEventFilter(this);
}

QString CNewsNotifier::MessageText(int newItems) {
    return QString::fromUtf8("新增 %1 条新闻").arg(newItems);
}

void CNewsNotifier::UpdateDone(const UpdateTally& tally) {
    // A stopped update is a shutdown or a failure to store, which the status bar reports.
    if (tally.stopped || tally.newItems <= 0) {
        return;
    }
    if (!m_window->isMinimized() && m_window->isActiveWindow()) {
        return;
    }
    const QString text = MessageText(tally.newItems);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (m_tray == nullptr) {
            m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
            m_tray->setToolTip(QApplication::applicationDisplayName());
            connect(m_tray, &QSystemTrayIcon::messageClicked, this, &CNewsNotifier::ShowWindow);
            connect(m_tray, &QSystemTrayIcon::activated, this, &CNewsNotifier::ShowWindow);
        }
        m_tray->show();
        m_tray->showMessage(QApplication::applicationDisplayName(), text,
                            QSystemTrayIcon::Information, kMessageMs);
    } else {
        QApplication::alert(m_window);
    }
    emit Notified(text);
}

void CNewsNotifier::ShowWindow() {
    if (m_window->isMinimized()) {
        m_window->showNormal();
    }
    m_window->raise();
    m_window->activateWindow();
    if (m_tray != nullptr) {
        m_tray->hide();
    }
}

bool CNewsNotifier::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowActivate && m_tray != nullptr) {
        m_tray->hide();
    }
    return QObject::eventFilter(watched, event);
}
