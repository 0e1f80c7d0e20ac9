#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

#include "feeds/worker_group.h"

class CMainFrame;
struct SyncSummary;

// The sync account in the window: 帮助 → 同步账户… (the account's dialog) and 文件 → 立即同步,
// which the updates (start, 全部更新, the timer) run first too when an account is set.
//
// A sync runs on a thread of its own (m_worker) while the window keeps serving; the changes it
// makes to the tree are carried out on the window thread, in the tree pane itself, so that the
// pane, its node map and the tree file stay one. The secret store and the connection test run
// off the window thread as well, the window servicing events meanwhile.
//
// Thread rule: window thread only, but for m_stop, which the sync's thread reads.
class CSyncCommands : public QObject {
    Q_OBJECT
public:
    explicit CSyncCommands(CMainFrame& frame);
    ~CSyncCommands() override;

    bool HasAccount() const;
    bool IsSyncing() const { return m_syncing; }
    // Runs the account's dialog; what it saved or removed is said in the status bar.
    void RunAccountDialog();
    // Starts one sync unless one runs, no account is set or the database is not open (the
    // status bar says which); false then. Once it ended, the status bar gives its outcome, the
    // counts and the list are read again, and `then` runs with whether it succeeded.
    bool SyncNow(std::function<void(bool synced)> then = {});
    // Abandons a sync that runs and waits for its thread, servicing the window meanwhile;
    // its `then` does not run.
    void Stop();

signals:
    // A sync ended (and its outcome is in the status bar).
    void SyncFinished(bool synced);

private:
    void Finish(const SyncSummary& summary);

    CMainFrame& m_frame;
    bool m_syncing = false;
    std::function<void(bool)> m_then;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_workerDone{true};
    WorkerGroup m_worker;
};
