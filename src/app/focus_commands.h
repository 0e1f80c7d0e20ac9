#pragma once

#include <QList>
#include <QObject>
#include <functional>

class QWidget;

// The commands that act on whatever has the keyboard focus: 编辑's 撤消, 剪切, 复制 and 粘贴
// go to the focused text field or web page, and F6 / Shift+F6 move the focus from pane to
// pane.
//
// Window thread only.
class CFocusCommands : public QObject {
    Q_OBJECT
public:
    // `panes` gives the panes in the order F6 visits them, as they are at the moment.
    CFocusCommands(QObject& parent, std::function<QList<QWidget*>()> panes);

    // `commandId` is ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY or ID_EDIT_PASTE.
    void ForwardEditCommand(int commandId);
    // Moves the focus `step` panes on (1 or -1), round the window.
    void CyclePane(int step);

private:
    std::function<QList<QWidget*>()> m_panes;
};
