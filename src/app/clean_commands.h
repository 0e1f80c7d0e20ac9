#pragma once

#include <QString>

class CMainFrame;
class QWidget;

// Cleaning up old news from the window: 立即清理… of 系统设置, which says how many items would
// go and about how much space that frees and asks first, and the automatic clean-up after an
// update when 自动清理 is on (once a day at most: compacting rewrites the whole file). After a
// clean-up the list shown is read again and the tree's counts follow.
//
// Window thread only. The count and the clean-up run on a thread of their own while the window
// keeps answering and the status bar says so; the clean-up holds the database's write lock one
// batch at a time, so an update waits a moment at most. One clean-up runs at a time, whichever
// command started it.
class CCleanCommands {
public:
    explicit CCleanCommands(CMainFrame& frame) : m_frame(frame) {}

    // Asks (as a child of `parent`) and removes the news older than `days` days, the unread
    // ones kept when `keepUnread`. True when news was removed.
    bool CleanNow(QWidget* parent, int days, bool keepUnread);
    // Removes old news as the settings say when 自动清理 is on and it has not run today.
    void AutoCleanAfterUpdate();

    // The question 立即清理… asks, and the line that reports a clean-up.
    static QString QuestionText(int days, bool keepUnread, long long items, long long bytes);
    static QString DoneText(long long items, long long sizeBefore, long long sizeAfter);

private:
    // Removes the news, then reports and refreshes; false when it failed (said in the status
    // bar).
    bool Clean(int days, bool keepUnread);

    CMainFrame& m_frame;
    // A clean-up is under way: the window serves its events meanwhile, so another command may
    // ask for one. Read and written on the window thread only.
    static bool s_running;
};
