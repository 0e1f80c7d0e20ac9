#pragma once

#include <QObject>

class CMainFrame;
class CTD_FormView;
class QAction;

// 只看未读: the 编辑 menu's check entry and the search bar's toggle, kept alike. Turning it
// on or off saves the choice (CTD_ListView::kUnreadOnlySetting, so it holds after a restart)
// and loads the selected node's news again; a search keeps listing every match.
//
// Window thread only.
class CUnreadFilterCommands : public QObject {
    Q_OBJECT
public:
    // `action` is the menu's check entry; the three outlive this object (the frame owns it).
    CUnreadFilterCommands(CMainFrame& frame, CTD_FormView& searchBar, QAction& action);

    // Shows the saved choice (once the settings have been read).
    void ShowSetting();
    void SetUnreadOnly(bool unreadOnly);
    bool UnreadOnly() const;

private:
    CMainFrame& m_frame;
    CTD_FormView& m_searchBar;
    QAction& m_action;
};
