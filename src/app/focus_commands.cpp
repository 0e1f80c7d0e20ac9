#include "app/focus_commands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTextEdit>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <map>

#include "views/command_ids.h"
#include "views/list_menu.h"
#include "views/list_view.h"

namespace {

constexpr int kEditCommands[] = {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE};

QWebEngineView* WebViewOf(QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        if (auto* web = qobject_cast<QWebEngineView*>(widget)) {
            return web;
        }
    }
    return nullptr;
}

QWebEnginePage::WebAction WebActionOf(int commandId) {
    static const std::map<int, QWebEnginePage::WebAction> kWebActions = {
        {ID_EDIT_UNDO, QWebEnginePage::Undo},
        {ID_EDIT_CUT, QWebEnginePage::Cut},
        {ID_EDIT_COPY, QWebEnginePage::Copy},
        {ID_EDIT_PASTE, QWebEnginePage::Paste}};
    return kWebActions.at(commandId);
}

bool ClipboardHasText() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data != nullptr && data->hasText() && !data->text().isEmpty();
}

bool CanEditLine(const QLineEdit& edit, int commandId) {
    const bool shown = edit.echoMode() == QLineEdit::Normal;
    switch (commandId) {
        case ID_EDIT_UNDO:
            return !edit.isReadOnly() && edit.isUndoAvailable();
        case ID_EDIT_CUT:
            return !edit.isReadOnly() && shown && edit.hasSelectedText();
        case ID_EDIT_COPY:
            return shown && edit.hasSelectedText();
        case ID_EDIT_PASTE:
            return !edit.isReadOnly() && ClipboardHasText();
        default:
            return false;
    }
}

bool CanEditText(const QTextEdit& edit, int commandId) {
    const bool selected = edit.textCursor().hasSelection();
    switch (commandId) {
        case ID_EDIT_UNDO:
            return !edit.isReadOnly() && edit.document()->isUndoAvailable();
        case ID_EDIT_CUT:
            return !edit.isReadOnly() && selected;
        case ID_EDIT_COPY:
            return selected;
        case ID_EDIT_PASTE:
            return !edit.isReadOnly() && edit.canPaste();
        default:
            return false;
    }
}

}  // namespace

CFocusCommands::CFocusCommands(QObject& parent, std::function<QList<QWidget*>()> panes,
                               std::function<QAction*(int)> action)
    : QObject(&parent), m_panes(std::move(panes)), m_action(std::move(action)) {
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { FollowFocus(now); });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &CFocusCommands::UpdateEditActions);
    FollowFocus(QApplication::focusWidget());
}

void CFocusCommands::FollowFocus(QWidget* now) {
    // A menu opened over the window (the 编辑 menu among them) does not move what the
    // commands act on.
    // The window losing the focus to another program changes nothing either.
    if (now == nullptr || qobject_cast<QMenu*>(now) ||
        (now->window()->windowFlags() & Qt::Popup) == Qt::Popup) {
        return;
    }
    for (const QMetaObject::Connection& watch : m_watches) {
        disconnect(watch);
    }
    m_watches.clear();
    m_focus = now;
    const auto update = [this] { UpdateEditActions(); };
    if (auto* line = qobject_cast<QLineEdit*>(now)) {
        m_watches.push_back(connect(line, &QLineEdit::selectionChanged, this, update));
        m_watches.push_back(connect(line, &QLineEdit::textChanged, this, update));
    } else if (auto* text = qobject_cast<QTextEdit*>(now)) {
        m_watches.push_back(connect(text, &QTextEdit::selectionChanged, this, update));
        m_watches.push_back(connect(text, &QTextEdit::textChanged, this, update));
    } else if (auto* list = qobject_cast<CTD_ListView*>(now)) {
        m_watches.push_back(
            connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, update));
        m_watches.push_back(
            connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this, update));
    } else if (QWebEngineView* web = WebViewOf(now)) {
        m_watches.push_back(connect(web, &QWebEngineView::selectionChanged, this, update));
        for (int commandId : kEditCommands) {
            m_watches.push_back(
                connect(web->pageAction(WebActionOf(commandId)), &QAction::changed, this, update));
        }
    }
    UpdateEditActions();
}

bool CFocusCommands::CanEdit(int commandId) const {
    QWidget* focus = m_focus.data();
    if (focus == nullptr) {
        return false;
    }
    if (QWebEngineView* web = WebViewOf(focus)) {
        // A page tells its selection; whether its focus is in a field it edits, only through
        // the state of its own actions.
        if (commandId == ID_EDIT_COPY) {
            return web->hasSelection();
        }
        return web->pageAction(WebActionOf(commandId))->isEnabled();
    }
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        return CanEditLine(*line, commandId);
    }
    if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        return CanEditText(*text, commandId);
    }
    if (auto* list = qobject_cast<CTD_ListView*>(focus)) {
        return commandId == ID_EDIT_COPY && !list->SelectedRows().empty();
    }
    return false;
}

void CFocusCommands::UpdateEditActions() {
    for (int commandId : kEditCommands) {
        if (QAction* action = m_action(commandId)) {
            action->setEnabled(CanEdit(commandId));
        }
    }
}

void CFocusCommands::ForwardEditCommand(int commandId) {
    if (!CanEdit(commandId)) {
        return;
    }
    QWidget* focus = m_focus.data();
    if (QWebEngineView* web = WebViewOf(focus)) {
        web->triggerPageAction(WebActionOf(commandId));
    } else if (auto* list = qobject_cast<CTD_ListView*>(focus)) {
        list->Menu().CopyTitlesAndLinks();
    } else {
        static const std::map<int, const char*> kSlots = {{ID_EDIT_UNDO, "undo"},
                                                          {ID_EDIT_CUT, "cut"},
                                                          {ID_EDIT_COPY, "copy"},
                                                          {ID_EDIT_PASTE, "paste"}};
        QMetaObject::invokeMethod(focus, kSlots.at(commandId));
    }
    UpdateEditActions();
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
