#pragma once

#include <QObject>
#include <QString>

class CMainFrame;
class CTD_TreeView;

// The window's commands of reading: every stored item marked read, the next unread item
// shown (going on to the next channel that has one), and the search field's list of stored
// news and its end. It follows the tree's requests for the next unread item and its channels
// marked read.
//
// Window thread only.
class CReadingCommands : public QObject {
    Q_OBJECT
public:
    CReadingCommands(CMainFrame& frame, CTD_TreeView& tree);

    void MarkAllRead();
    void ShowNextUnread();
    // The news-list place lists the stored news that hold `text`; EndSearch brings back the
    // list of the tree's selected node.
    void ShowSearch(const QString& text);
    void EndSearch();
    // Shows the page of the stored item `id` (a link of the newspaper) and marks it read.
    void ShowLinkedItem(long long id);
    // A list load ended: the next unread item that waited for it is selected.
    void OnListLoadEnded();
    // Another list was asked for: a next unread item that waited for a load no longer does.
    void ForgetPendingUnread() { m_nextUnreadPending = false; }

private:
    CMainFrame& m_frame;
    CTD_TreeView& m_tree;
    // Set while a channel loads for ShowNextUnread: its first unread item is shown once it
    // has loaded.
    bool m_nextUnreadPending = false;
};
