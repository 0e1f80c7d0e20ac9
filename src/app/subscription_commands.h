#pragma once

#include <QObject>
#include <QString>

class CMainFrame;
class CTD_TreeView;

// The subscription commands of the window: 订阅新闻源… (from the 文件 menu, a folder's menu, or
// an address typed as a channel's name), 我要订阅 and 导出OPML, each saying in the status bar
// what it did. Owned by the main frame (a child object). Window thread only.
class CSubscriptionCommands : public QObject {
    Q_OBJECT
public:
    CSubscriptionCommands(CMainFrame& frame, CTD_TreeView& tree);

    // Runs ID_SUBSCRIBE_FEED, ID_SUBSCRIBE or ID_EXPORT_OPML; false for any other command.
    bool Run(int commandId);
    // Opens 订阅新闻源 for the folder `folderId` with `address` filled in.
    void SubscribeFeed(int folderId, const QString& address);

private:
    // The folder a command of the 文件 menu subscribes into: the selected folder, the folder of
    // the selected channel, else the root.
    int SelectedFolderId() const;

    CMainFrame& m_frame;
    CTD_TreeView& m_tree;
};
