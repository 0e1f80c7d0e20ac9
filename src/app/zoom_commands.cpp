#include "app/zoom_commands.h"

#include <QAction>
#include <iterator>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "views/browser_pane.h"

CZoomCommands::CZoomCommands(CMainFrame& frame, CBrowserPane& page)
    : QObject(&frame), m_frame(frame), m_page(page) {
    const struct {
        QList<QKeySequence> keys;
        void (CZoomCommands::*command)();
    } commands[] = {
        {{QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)},
         &CZoomCommands::ZoomIn},
        {{QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &CZoomCommands::ZoomOut},
        {{QKeySequence(Qt::CTRL | Qt::Key_0)}, &CZoomCommands::ResetZoom},
    };
    for (const auto& [keys, command] : commands) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, command);
        m_frame.addAction(action);
    }
}

void CZoomCommands::ShowSetting() {
    m_page.SetZoom(Percent() / 100.0);
}

int CZoomCommands::Percent() const {
    return theStore.MoreSettings().Get(kZoomSetting);
}

void CZoomCommands::ZoomIn() {
    const int now = Percent();
    // The first step above the zoom (which a hand-edited file may have put between steps).
    for (int step : kSteps) {
        if (step > now) {
            SetPercent(step);
            return;
        }
    }
}

void CZoomCommands::ZoomOut() {
    const int now = Percent();
    for (auto step = std::rbegin(kSteps); step != std::rend(kSteps); ++step) {
        if (*step < now) {
            SetPercent(*step);
            return;
        }
    }
}

void CZoomCommands::ResetZoom() {
    SetPercent(kZoomSetting.defaultValue);
}

void CZoomCommands::SetPercent(int percent) {
    theStore.MoreSettings().Set(kZoomSetting, percent);
    // Saved now, not only at exit: a crash does not lose the choice.
    theStore.SaveSettings();
    m_page.SetZoom(Percent() / 100.0);
    m_frame.SetStatusText(QString::fromUtf8("页面缩放：%1%").arg(Percent()));
}
