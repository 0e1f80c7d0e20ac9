#include "app/focus_commands.h"

#include <QApplication>
#include <QLineEdit>
#include <QTextEdit>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <map>

#include "views/command_ids.h"

CFocusCommands::CFocusCommands(QObject& parent, std::function<QList<QWidget*>()> panes)
    : QObject(&parent), m_panes(std::move(panes)) {}

void CFocusCommands::ForwardEditCommand(int commandId) {
    QWidget* focus = QApplication::focusWidget();
    for (QWidget* widget = focus; widget; widget = widget->parentWidget()) {
        if (auto* web = qobject_cast<QWebEngineView*>(widget)) {
            static const std::map<int, QWebEnginePage::WebAction> kWebActions = {
                {ID_EDIT_UNDO, QWebEnginePage::Undo},
                {ID_EDIT_CUT, QWebEnginePage::Cut},
                {ID_EDIT_COPY, QWebEnginePage::Copy},
                {ID_EDIT_PASTE, QWebEnginePage::Paste}};
            web->triggerPageAction(kWebActions.at(commandId));
            return;
        }
    }
    static const std::map<int, const char*> kSlots = {{ID_EDIT_UNDO, "undo"},
                                                      {ID_EDIT_CUT, "cut"},
                                                      {ID_EDIT_COPY, "copy"},
                                                      {ID_EDIT_PASTE, "paste"}};
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus)) {
        QMetaObject::invokeMethod(focus, kSlots.at(commandId));
    }
}

void CFocusCommands::CyclePane(int step) {
    const QList<QWidget*> panes = m_panes();
    QWidget* focus = QApplication::focusWidget();
    int current = -1;
    for (int i = 0; i < panes.size(); ++i) {
        if (focus && (panes[i] == focus || panes[i]->isAncestorOf(focus))) {
            current = i;
        }
    }
    const int count = static_cast<int>(panes.size());
    const int next = current < 0 ? 0 : ((current + step) % count + count) % count;
    panes[next]->setFocus(Qt::TabFocusReason);
}
