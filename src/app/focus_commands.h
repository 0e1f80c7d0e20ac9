#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QAction;
class QWidget;

// The commands that act on whatever has the keyboard focus: 编辑's 撤消, 剪切, 复制 and 粘贴
// go to the focused text field or web page, 复制 in the news list copies the selected rows'
// titles and links; F6 / Shift+F6 move the focus from pane to pane. The four edit commands
// are enabled only where they can act (text to undo, a selection to cut or copy, text on the
// clipboard to paste into an editable field), and follow the focus, the selection and the
// clipboard.
//
// Window thread only.
class CFocusCommands : public QObject {
    Q_OBJECT
public:
    // `panes` gives the panes in the order F6 visits them, as they are at the moment;
    // `action` the window's action of a command id.
    CFocusCommands(QObject& parent, std::function<QList<QWidget*>()> panes,
                   std::function<QAction*(int)> action);

    // `commandId` is ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY or ID_EDIT_PASTE.
    void ForwardEditCommand(int commandId);
    // Whether the command can act where the focus is now.
    bool CanEdit(int commandId) const;
    // Enables or disables the four edit actions as CanEdit says.
    void UpdateEditActions();
    // Moves the focus `step` panes on (1 or -1), round the window.
    void CyclePane(int step);

private:
    // The focus moved to `now` (menus and other popups aside): the actions follow it, and the
    // changes that matter to them are watched there.
    void FollowFocus(QWidget* now);

    std::function<QList<QWidget*>()> m_panes;
    std::function<QAction*(int)> m_action;
    // The widget the edit commands act on: the last focus outside a popup.
    QPointer<QWidget> m_focus;
    std::vector<QMetaObject::Connection> m_watches;
};
