#pragma once

#include <QObject>
#include <QString>

#include "feeds/engine_report.h"

class QSystemTrayIcon;
class QWidget;

// Tells the user of the news an update brought while the window was out of sight: after an
// update (全部更新 or the timer) that stored new news while the window is minimised or not
// the active one, one tray message "新增 37 条新闻". Where the desktop has no tray, the
// window asks for attention instead. The tray icon shows only while its message may be read:
// it goes when the window is active again, or the message or the icon is clicked, which
// brings the window back.
//
// Window thread only.
class CNewsNotifier : public QObject {
    Q_OBJECT
public:
    explicit CNewsNotifier(QWidget* window);

    // An update ended with `tally`.
    void UpdateDone(const UpdateTally& tally);

    // "新增 N 条新闻".
    static QString MessageText(int newItems);

signals:
    // The message was given (tray message or the window's call for attention).
    void Notified(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowWindow();

    QWidget* m_window;
    QSystemTrayIcon* m_tray = nullptr;  // made at the first message; a child of this object
};
