#include "app/subscription_commands.h"

#include <QLineEdit>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "dialogs/feed_dialog.h"
#include "dialogs/opml_dialog.h"
#include "dialogs/opml_export_command.h"
#include "views/command_ids.h"
#include "views/tree_view.h"

CSubscriptionCommands::CSubscriptionCommands(CMainFrame& frame, CTD_TreeView& tree)
    : QObject(&frame), m_frame(frame), m_tree(tree) {
    connect(&m_tree, &CTD_TreeView::FeedSubscriptionRequested, this,
            &CSubscriptionCommands::SubscribeFeed);
}

bool CSubscriptionCommands::Run(int commandId) {
    switch (commandId) {
        case ID_SUBSCRIBE_FEED:
            SubscribeFeed(SelectedFolderId(), QString());
            return true;
        case ID_SUBSCRIBE: {
            CTD_OpmlDlg dialog(theStore, m_tree, &m_frame);
            connect(&dialog, &CTD_OpmlDlg::Subscribed, &m_frame, &CMainFrame::SetStatusText);
            dialog.exec();
            return true;
        }
        case ID_EXPORT_OPML: {
            const QString said = RunExportOpmlCommand(theStore, m_tree, &m_frame);
            if (!said.isEmpty()) {
                m_frame.SetStatusText(said);
            }
            return true;
        }
        default:
            return false;
    }
}

int CSubscriptionCommands::SelectedFolderId() const {
    QTreeWidgetItem* item = m_tree.currentItem();
    CKeywordNode record = m_tree.Lookup(item);
    if (record.type == NODE_KEY && item != nullptr && item->parent() != nullptr) {
        record = m_tree.Lookup(item->parent());
    }
    return record.type == NODE_FOLDER ? record.id : 0;
}

void CSubscriptionCommands::SubscribeFeed(int folderId, const QString& address) {
    CTD_FeedDlg dialog(theStore, m_tree, folderId, &m_frame);
    dialog.AddressEdit()->setText(address);
    connect(&dialog, &CTD_FeedDlg::Subscribed, &m_frame, &CMainFrame::SetStatusText);
    dialog.exec();
}
