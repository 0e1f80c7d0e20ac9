#include "app/reading_commands.h"

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "model/database_texts.h"
#include "model/item_link.h"
#include "model/list_mode.h"
#include "store/statements.h"
#include "views/browser_pane.h"
#include "views/list_view.h"
#include "views/tree_view.h"

namespace {

constexpr char kMarkReadFailed[] = "无法标为已读：";

}  // namespace

CReadingCommands::CReadingCommands(CMainFrame& frame, CTD_TreeView& tree)
    : QObject(&frame), m_frame(frame), m_tree(tree) {
    connect(&m_tree, &CTD_TreeView::NextUnreadRequested, this, &CReadingCommands::ShowNextUnread);
    // The tree's menus marked channels read: the list's rows of them turn read too.
    connect(&m_tree, &CTD_TreeView::ChannelsMarkedRead, this,
            [](const std::vector<std::string>& names) {
                if (g_pListView) {
                    g_pListView->MarkChannelsRead(names);
                }
            });
}

void CReadingCommands::MarkAllRead() {
    if (theStore.Execute(SqlMarkAllRead()) < 0) {
        m_frame.SetStatusText(QString::fromUtf8(kMarkReadFailed) +
                              QString::fromStdString(DatabaseFailureText(theStore.LastError())));
        return;
    }
    if (g_pListView) {
        g_pListView->MarkEverythingRead();
    }
    m_tree.RefreshCounts();
}

void CReadingCommands::ShowNextUnread() {
    auto* list = qobject_cast<CTD_ListView*>(m_frame.ListPlace());
    if (list == nullptr || list->SelectNextUnread()) {
        return;
    }
    QTreeWidgetItem* next = m_tree.NextUnreadChannel(m_tree.currentItem());
    if (next == nullptr) {
        m_frame.SetStatusText(QString::fromUtf8(CMainFrame::kNoUnreadText));
        return;
    }
    m_tree.setCurrentItem(next);
    m_tree.scrollToItem(next);
    m_nextUnreadPending = true;
    list->ShowNodeWhenIdle(m_tree.Lookup(next), CTD_TreeView::HandleOf(next));
}

void CReadingCommands::ShowLinkedItem(long long id) {
    const std::optional<ItemPage> page = ReadItemPageById(theStore, id);
    if (!page) {
        return;
    }
    m_frame.BrowserPane()->WriteHtml(QString::fromStdString(page->html),
                                     QUrl(QString::fromStdString(page->baseUrl)));
    if (theStore.Execute(SqlMarkItemRead(id)) >= 0) {
        if (g_pListView) {
            g_pListView->NoteItemRead(id);
        }
        m_tree.RefreshCounts();
    }
}

void CReadingCommands::OnListLoadEnded() {
    auto* list = qobject_cast<CTD_ListView*>(m_frame.ListPlace());
    if (!m_nextUnreadPending || list == nullptr) {
        return;
    }
    m_nextUnreadPending = false;
    if (!list->SelectNextUnread()) {
        m_frame.SetStatusText(QString::fromUtf8(CMainFrame::kNoUnreadText));
    }
}

void CReadingCommands::ShowSearch(const QString& text) {
    if (g_pListView == nullptr) {
        m_frame.SwitchListPane(kListModeAll);
    }
    m_nextUnreadPending = false;
    g_pListView->ShowSearch(text);
    // The newspaper hid the list place; the search's rows need it.
    m_frame.SetListPlaceShown(true);
}

void CReadingCommands::EndSearch() {
    if (g_pListView == nullptr) {
        return;
    }
    QTreeWidgetItem* item = m_tree.currentItem();
    g_pListView->ShowNodeWhenIdle(m_tree.ListedRecord(item),
                                  item ? CTD_TreeView::HandleOf(item) : CNodeMap::kNoItem);
}
