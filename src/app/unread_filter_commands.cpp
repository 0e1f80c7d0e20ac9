#include "app/unread_filter_commands.h"

#include <QAction>
#include <QSignalBlocker>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "bars/search_bar.h"
#include "views/list_view.h"

CUnreadFilterCommands::CUnreadFilterCommands(CMainFrame& frame, CTD_FormView& searchBar,
                                             QAction& action)
    : QObject(&frame), m_frame(frame), m_searchBar(searchBar), m_action(action) {
    m_action.setCheckable(true);
    connect(&m_action, &QAction::toggled, this, &CUnreadFilterCommands::SetUnreadOnly);
    connect(&m_searchBar, &CTD_FormView::UnreadOnlyToggled, this,
            &CUnreadFilterCommands::SetUnreadOnly);
}

bool CUnreadFilterCommands::UnreadOnly() const {
    return theStore.MoreSettings().Get(CTD_ListView::kUnreadOnlySetting) != 0;
}

void CUnreadFilterCommands::ShowSetting() {
    const QSignalBlocker quiet(&m_action);
    m_action.setChecked(UnreadOnly());
    m_searchBar.ShowUnreadOnly(UnreadOnly());
}

void CUnreadFilterCommands::SetUnreadOnly(bool unreadOnly) {
    if (unreadOnly == UnreadOnly()) {
        ShowSetting();
        return;
    }
    theStore.MoreSettings().Set(CTD_ListView::kUnreadOnlySetting, unreadOnly ? 1 : 0);
    // Saved now, not only at exit: a crash does not lose the choice.
    theStore.SaveSettings();
    ShowSetting();
    if (g_pListView != nullptr && !g_pListView->ShowsSearch()) {
        m_frame.ReloadList();
    }
}
