#include "app/main_status_bar.h"

#include <algorithm>

#include "app/news_notifier.h"
#include "model/update_texts.h"

const char CMainStatusBar::kIdleText[] = "就绪";

CMainStatusBar::CMainStatusBar(QStatusBar& bar, CNewsNotifier& notifier)
    : QObject(&bar), m_notifier(notifier) {
    m_message = new QLabel(QString::fromUtf8(kIdleText), &bar);
    bar.addWidget(m_message, 1);
    m_updateText = new QLabel(&bar);
    m_progress = new QProgressBar(&bar);
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(120);
    m_progress->setMaximumHeight(14);
    bar.addPermanentWidget(m_updateText);
    bar.addPermanentWidget(m_progress);
    m_progress->hide();
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromLatin1(indicator), &bar);
        label->setObjectName(QString::fromLatin1(indicator));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setEnabled(false);  // unlit until the lock key's state is known
        bar.addPermanentWidget(label);
        m_indicators[indicator] = label;
    }
    m_locks = new CLockIndicators(this);
    connect(m_locks, &CLockIndicators::Changed, this, &CMainStatusBar::ShowLockStates);
    ShowLockStates(m_locks->States());
}

void CMainStatusBar::ShowLockStates(const LockStates& states) {
    m_indicators["CAP"]->setEnabled(states.caps);
    m_indicators["NUM"]->setEnabled(states.num);
    m_indicators["SCRL"]->setEnabled(states.scroll);
}

bool CMainStatusBar::LockIndicatorLit(const char* indicator) const {
    const auto found = m_indicators.find(indicator);
    return found != m_indicators.end() && found->second->isEnabled();
}

void CMainStatusBar::WatchLocks(QWindow* window) {
    m_locks->Watch(window);
}

void CMainStatusBar::SetStatusText(const QString& text) {
    m_message->setText(text);
}

QString CMainStatusBar::StatusText() const {
    return m_message->text();
}

void CMainStatusBar::ShowUpdateProgress(const UpdateTally& tally) {
    m_progress->setRange(0, std::max(tally.total, 1));
    m_progress->setValue(std::min(tally.done, std::max(tally.total, 1)));
    m_updateText->setText(QString::fromStdString(UpdateProgressText(tally)));
    m_progress->show();
}

void CMainStatusBar::ShowUpdateDone(const UpdateTally& tally) {
    m_notifier.UpdateDone(tally);
    m_progress->hide();
    if (tally.stopped) {
        // A failure to store says so in the message pane; a shutdown needs no word.
        m_updateText->clear();
        return;
    }
    QString text = QString::fromStdString(UpdateSummaryText(tally));
    const std::string silent = SilentServiceText(tally);
    if (!silent.empty()) {
        text += QString::fromUtf8("。") + QString::fromStdString(silent);
    }
    m_updateText->setText(text);
}

void CMainStatusBar::SetUpdateText(const QString& text) {
    m_updateText->setText(text);
}

QString CMainStatusBar::UpdateText() const {
    return m_updateText->text();
}
