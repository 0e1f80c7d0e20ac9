#include "app/quillon_app.h"

#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QThread>
#include <atomic>
#include <thread>

#include "app/clean_commands.h"
#include "app/database_upgrade.h"
#include "app/main_frame.h"
#include "app/qt_translations.h"
#include "app/quillon_doc.h"
#include "app/store_notices.h"
#include "dialogs/about_dialog.h"
#include "dialogs/sys_dialog.h"
#include "feeds/feed_store.h"
#include "feeds/services_config.h"
#include "feeds/update_engine.h"
#include "model/update_texts.h"
#include "store/news_cleanup.h"
#include "store/proxy_settings.h"
#include "views/app_icons.h"
#include "views/command_ids.h"
#include "views/external_browser.h"
#include "views/html_view.h"
#include "views/list_view.h"
#include "views/tree_view.h"

CFeedStore theStore;

const char CQuillonApp::kOrganisation[] = "应用程序向导生成的本地应用程序";

namespace {

// What must happen before Qt's application object exists; passes `argc` through, so that it
// can run in the base class's initialiser.
int& BeforeTheApplication(int& argc) {
    CTD_HtmlView::RegisterItemLinkScheme();
    return argc;
}

constexpr char kUpdatePagePath[] = "/rss/index.asp?boardid=6";
constexpr char kRecentFilesKey[] = "Recent File List";
constexpr char kAlreadyUpdating[] = "正在更新，本次未重新开始：请等这次更新完成";
constexpr char kCannotUpdate[] = "数据库没有打开，无法更新";

}  // namespace

CQuillonApp::CQuillonApp(int& argc, char** argv) : QApplication(BeforeTheApplication(argc), argv) {
    // A timed update while one runs starts nothing: the passes never overlap.
    connect(&m_updateTimer, &QTimer::timeout, this, [this] { UpdateAll(true); });
    setOrganizationName(QString::fromUtf8(kOrganisation));
    setApplicationName(QStringLiteral("Quillon"));
    setWindowIcon(ApplicationIcon());
    InstallQtTranslations(*this);
}

CQuillonApp::~CQuillonApp() {
    m_openers.JoinAll();
}

void CQuillonApp::LoadSkin() {
    QFile skin(QString::fromStdString(theStore.DataPath("data/rIrud.ssk")));
    if (skin.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString::fromUtf8(skin.readAll()));
    }
}

bool CQuillonApp::InitInstance() {
    LoadSkin();
    theStore.SetReporter(ShowEngineReport);
    UpgradeDatabaseWithProgress(theStore, nullptr);
    QSettings settings;
    m_recentFiles = settings.value(kRecentFilesKey).toStringList().mid(0, kRecentFileCount);

    m_document = std::make_unique<CQuillonDoc>();
    m_frame = std::make_unique<CMainFrame>();
    connect(m_document.get(), &CQuillonDoc::ViewsUpdateRequested, m_frame.get(),
            &CMainFrame::RepaintListPlace);
    connect(m_frame.get(), &CMainFrame::ApplicationCommand, this, &CQuillonApp::OnCommand);
    // A new retention period changes every count: the tree relabels at once.
    connect(m_document.get(), &CQuillonDoc::SettingsChanged, this, [] {
        if (g_pTreeView) {
            g_pTreeView->RefreshCounts();
        }
    });
    m_frame->SetRecentFiles(m_recentFiles);
    // Before the first update starts, and before the browser loads a page.
    const QString proxyNote = m_proxy.Start(theStore.StartDirectory());
    m_sync = std::make_unique<CSyncCommands>(*m_frame);
    // With an account, the start's update follows the sync, so that it leaves to the server
    // what the server fetches.
    theStore.LoadSettings();
    const bool syncFirst = m_sync->HasAccount();
    if (g_pTreeView) {
        g_pTreeView->SetStartsUpdate(!syncFirst);
    }
    m_frame->InitialUpdate();
    if (!proxyNote.isEmpty()) {
        m_frame->SetStatusText(proxyNote);
    }
    if (syncFirst) {
        UpdateAll(true);
    }
    ApplyUpdateInterval();
    m_frame->show();
    return true;
}

void CQuillonApp::ApplyUpdateInterval() {
    const int minutes = theStore.MoreSettings().Get(CAppSettings::kUpdateIntervalMinutes);
    SetUpdateTimerInterval(std::chrono::minutes(minutes));
}

void CQuillonApp::SetUpdateTimerInterval(std::chrono::milliseconds interval) {
    if (interval.count() <= 0) {
        m_updateTimer.stop();
        return;
    }
    // Restarted only when it changes, so that confirming the settings does not put the
    // next update off.
    if (!m_updateTimer.isActive() || m_updateTimer.intervalAsDuration() != interval) {
        m_updateTimer.start(interval);
    }
}

void CQuillonApp::UpdateAll(bool quiet) {
    if (m_sync && m_sync->HasAccount()) {
        if (quiet && m_sync->IsSyncing()) {
            return;
        }
        m_sync->SyncNow([this, quiet](bool) { StartUpdate(quiet); });
        return;
    }
    StartUpdate(quiet);
}

void CQuillonApp::StartUpdate(bool quiet) {
    const CFeedStore::UpdateStart started = theStore.UpdateAll();
    if (started != CFeedStore::UpdateStart::kStarted && m_frame && !quiet) {
        m_frame->SetUpdateText(QString::fromUtf8(started == CFeedStore::UpdateStart::kAlreadyRunning
                                                     ? kAlreadyUpdating
                                                     : kCannotUpdate));
    }
}

void CQuillonApp::WaitWhileServicing(const std::function<bool()>& done) {
    while (!done()) {
        processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void CQuillonApp::RunOffWindowThread(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done.store(true);
    });
    WaitWhileServicing([&done] { return done.load(); });
    worker.join();
}

int CQuillonApp::ExitInstance() {
    m_updateTimer.stop();
    if (m_sync) {
        m_sync->Stop();
    }
    if (g_pListView) {
        CNewsList& list = g_pListView->List();
        list.Invalidate();
        WaitWhileServicing([&list] { return !list.IsBusy(); });
    }
    theStore.Shutdown();
    setStyleSheet(QString());
    WaitWhileServicing([this] { return m_openersRunning.load() == 0; });
    m_openers.JoinAll();
    QSettings().setValue(kRecentFilesKey, m_recentFiles);
    m_sync.reset();
    m_frame.reset();
    m_document.reset();
    return 0;
}

void CQuillonApp::AddRecentFile(const QString& path) {
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    m_recentFiles = m_recentFiles.mid(0, kRecentFileCount);
    if (m_frame) {
        m_frame->SetRecentFiles(m_recentFiles);
    }
}

void CQuillonApp::OnCommand(int commandId) {
    switch (commandId) {
        case ID_APP_ABOUT:
            CAboutDlg(m_frame.get()).exec();
            break;
        case ID_SYSTEM_SETTINGS:
            RunSettingsDialog();
            break;
        case ID_UPDATE_VERSION:
            OpenUpdatePage();
            break;
        case ID_UPDATE_ALL:
            UpdateAll();
            break;
        case ID_SYNC_NOW:
            m_sync->SyncNow();
            break;
        case ID_SYNC_ACCOUNT:
            m_sync->RunAccountDialog();
            break;
        case ID_FILE_NEW:
            // One document, one tree, one engine: the views' initial update takes effect
            // only the first time.
            m_documentPath.clear();
            m_frame->InitialUpdate();
            break;
        case ID_FILE_OPEN:
            OpenDocument();
            break;
        case ID_FILE_SAVE:
            SaveDocument();
            break;
        default:
            break;
    }
}

void CQuillonApp::RunSettingsDialog() {
    const CSysData before = theStore.Settings();
    const auto results = theStore.Engine().ServiceResults();
    std::vector<std::string> resultTexts;
    for (const auto& result : results) {
        resultTexts.push_back(ServiceResultText(result));
    }
    CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), resultTexts, m_frame.get());
    dialog.SetProxyPassword(m_proxy.Current().password);
    const std::string database = theStore.ConnectionString();
    dialog.SetDatabaseSize(DatabaseFileSize(database));
    CCleanCommands clean(*m_frame);
    connect(&dialog, &CTD_SysDlg::CleanNowRequested, &dialog,
            [&dialog, &clean, &database](int days, bool keepUnread) {
                clean.CleanNow(&dialog, days, keepUnread);
                dialog.SetDatabaseSize(DatabaseFileSize(database));
            });
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    ApplyUpdateInterval();
    // Written at once, so that a file that cannot be written is heard of while it can be
    // mended, not only as the window closes.
    if (confirmed) {
        theStore.SaveSettings();
        FetchProxy proxy = LoadProxySetting(theStore.MoreSettings());
        proxy.password = dialog.ProxyPassword();
        if (const QString note = m_proxy.Change(proxy); !note.isEmpty()) {
            m_frame->SetStatusText(note);
        }
    }
    const CSysData& after = theStore.Settings();
    // The list shown is read again with the new retention period.
    if (before.RetentionDays() != after.RetentionDays()) {
        m_frame->ReloadList();
    }
    bool changed = before.RetentionDays() != after.RetentionDays();
    for (int slot = 0; slot < CSysData::kCategoryCount; ++slot) {
        changed = changed || before.CategoryColour(slot) != after.CategoryColour(slot);
    }
    if (changed && m_document) {
        m_document->NotifySettingsChanged();
    }
}

void CQuillonApp::OpenDocument() {
    const QString path = QFileDialog::getOpenFileName(m_frame.get());
    if (path.isEmpty()) {
        return;
    }
    // The document holds no data: opening reads nothing and only repeats the views'
    // initial update, which takes effect once.
    m_documentPath = path;
    AddRecentFile(path);
    m_frame->InitialUpdate();
}

void CQuillonApp::SaveDocument() {
    if (m_documentPath.isEmpty()) {
        m_documentPath = QFileDialog::getSaveFileName(m_frame.get());
        if (m_documentPath.isEmpty()) {
            return;
        }
    }
    QFile file(m_documentPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        AddRecentFile(m_documentPath);  // the document writes nothing of its own
    }
}

void CQuillonApp::OpenUpdatePage() {
    const std::string address = Services().Base("site.publisher") + kUpdatePagePath;
    ++m_openersRunning;
    m_openers.Start([this, address] {
        if (!OpenInExternalBrowser(address)) {
            QMetaObject::invokeMethod(
                this,
                [this, address] {
                    if (m_frame) {
                        TellNoBrowser(m_frame.get(), address);
                    }
                },
                Qt::QueuedConnection);
        }
        --m_openersRunning;
    });
}
