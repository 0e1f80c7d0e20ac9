#pragma once

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "app/proxy_commands.h"
#include "app/sync_commands.h"
#include "feeds/feed_store.h"
#include "feeds/worker_group.h"

class CMainFrame;
class CQuillonDoc;

// The application: starts the document and the main window, handles the commands that
// belong to no view, runs the timed updates, and runs the exit sequence that stops the
// loaders and the engine and saves the settings.
class CQuillonApp : public QApplication {
    Q_OBJECT
public:
    CQuillonApp(int& argc, char** argv);
    ~CQuillonApp() override;

    // Reads the skin, the recent files, creates the document and the main window, runs the
    // views' initial update (which starts the engine) and shows the window.
    bool InitInstance();
    // Stops the news-list loader and waits for it, shuts the engine down (writing the
    // settings), ends the skin, saves the recent files, and closes the main window.
    int ExitInstance();

    void OnCommand(int commandId);
    CMainFrame* MainFrame() const { return m_frame.get(); }
    QStringList RecentFiles() const { return m_recentFiles; }
    void AddRecentFile(const QString& path);

    // Starts an update of every channel (全部更新); while one runs it starts nothing and the
    // status bar says so. With a sync account, a sync runs first and the update starts once
    // it ended (not at all while another sync runs). `quiet` (the timer) says nothing when
    // nothing starts.
    void UpdateAll(bool quiet = false);
    CSyncCommands* Sync() const { return m_sync.get(); }
    // The timer of the timed updates: every `interval` it starts an update unless one runs;
    // 0 stops it. InitInstance and the settings dialog set it from 自动更新间隔（分钟）.
    void SetUpdateTimerInterval(std::chrono::milliseconds interval);
    const QTimer& UpdateTimer() const { return m_updateTimer; }

    // Runs the window thread's event loop until `done` holds, so that a worker the window
    // waits for can still have its requests carried out.
    static void WaitWhileServicing(const std::function<bool()>& done);
    // Runs `work` on a thread of its own and returns when it has finished, the window thread
    // serving its events meanwhile: the window paints and answers during a long job.
    static void RunOffWindowThread(const std::function<void()>& work);

    static const char kOrganisation[];
    static constexpr int kRecentFileCount = 4;

private:
    void LoadSkin();
    // Runs the settings dialog; a change of the retention days or a colour is announced
    // through the document's SettingsChanged.
    void RunSettingsDialog();
    void OpenDocument();
    void SaveDocument();
    void OpenUpdatePage();
    void ApplyUpdateInterval();
    void StartUpdate(bool quiet);

    std::unique_ptr<CQuillonDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    QStringList m_recentFiles;
    QString m_documentPath;
    QTimer m_updateTimer;
    // Threads that open the update page in the user's browser.
    CProxyCommands m_proxy;
    std::unique_ptr<CSyncCommands> m_sync;
    WorkerGroup m_openers;
    std::atomic<int> m_openersRunning{0};
};

// The program's one store: the database, the settings and the update engine of the data
// folder. The application starts and shuts it down; the window hands it to the panes and
// dialogs that need it.
extern CFeedStore theStore;
