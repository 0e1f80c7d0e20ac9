#pragma once

#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QStatusBar>
#include <map>
#include <string>

#include "app/lock_indicators.h"
#include "feeds/engine_report.h"

class CNewsNotifier;
class QWindow;

// The main window's status bar: the message pane (the news list's and the commands' word),
// the update's pane with its progress indicator, and the CAP, NUM and SCRL indicators.
//
// Window thread only.
class CMainStatusBar : public QObject {
    Q_OBJECT
public:
    // Fills `bar`; `notifier` hears of every update that ended.
    CMainStatusBar(QStatusBar& bar, CNewsNotifier& notifier);

    void SetStatusText(const QString& text);
    QString StatusText() const;

    // While an update runs, a progress indicator and "正在更新：n/N".
    void ShowUpdateProgress(const UpdateTally& tally);
    // An update ended: the indicator goes and, unless it was stopped, the pane shows its
    // summary (and which search service gave nothing, if one did).
    void ShowUpdateDone(const UpdateTally& tally);
    // Any other word on updates, in the same pane.
    void SetUpdateText(const QString& text);
    QString UpdateText() const;
    QProgressBar* UpdateProgressBar() const { return m_progress; }

    // The indicators' state as the bar shows it: CAP, NUM, SCRL lit.
    bool LockIndicatorLit(const char* indicator) const;
    // Follows the lock keys of `window` (the main window's, once it exists).
    void WatchLocks(QWindow* window);

    static const char kIdleText[];

private:
    void ShowLockStates(const LockStates& states);

    CNewsNotifier& m_notifier;
    QLabel* m_message = nullptr;
    QLabel* m_updateText = nullptr;
    QProgressBar* m_progress = nullptr;
    std::map<std::string, QLabel*> m_indicators;  // CAP, NUM, SCRL
    CLockIndicators* m_locks = nullptr;
};
