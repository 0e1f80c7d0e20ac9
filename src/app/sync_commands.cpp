#include "app/sync_commands.h"

#include <QUrl>
#include <optional>
#include <thread>
#include <utility>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "dialogs/sync_account_dialog.h"
#include "feeds/ttrss_client.h"
#include "model/account_sync.h"
#include "model/sync_texts.h"
#include "store/secret_store.h"
#include "store/sync_settings.h"
#include "views/tree_commands.h"
#include "views/tree_subscription.h"
#include "views/tree_view.h"

namespace {

// Runs `work` off the window thread (CQuillonApp::RunOffWindowThread) and gives its result.
template <typename Work>
auto OffWindowThread(Work work) -> decltype(work()) {
    std::optional<decltype(work())> result;
    CQuillonApp::RunOffWindowThread([&] { result.emplace(work()); });
    return std::move(*result);
}

// The tree pane as the sync's thread sees it: every call is carried out on the window thread,
// which the sync's thread waits for.
class CWindowThreadTree final : public SubscriptionTree {
public:
    explicit CWindowThreadTree(CTD_TreeView& view) : m_view(view) {}

    std::vector<Node> Children(int folderId) const override {
        return OnWindowThread([&] { return CTreeSubscription(m_view).Children(folderId); });
    }
    std::vector<std::string> ChannelNames() const override {
        return OnWindowThread([&] { return CTreeSubscription(m_view).ChannelNames(); });
    }
    // The server fetches the channels the sync adds: they are not fetched here too.
    int Add(int type, int parentId, const std::string& name, bool searchName) override {
        return OnWindowThread(
            [&] { return CTreeSubscription(m_view, false).Add(type, parentId, name, searchName); });
    }
    bool Rename(int nodeId, const std::string& name) override {
        return OnWindowThread(
            [&] { return CTreeSubscription(m_view, false).Rename(nodeId, name); });
    }
    bool Move(int nodeId, int folderId) override {
        return OnWindowThread(
            [&] { return CTreeSubscription(m_view, false).Move(nodeId, folderId); });
    }
    // Takes a channel out of the tree; its news stay.
    bool Remove(int nodeId) {
        return OnWindowThread([&] {
            QTreeWidgetItem* item = m_view.ItemOf(m_view.Nodes().FindById(nodeId));
            return item != nullptr && m_view.Commands().DeleteNode(item);
        });
    }

private:
    template <typename Call>
    auto OnWindowThread(Call call) const -> decltype(call()) {
        decltype(call()) result{};
        QMetaObject::invokeMethod(
            &m_view, [&] { result = call(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    CTD_TreeView& m_view;
};

QString PlaceText(const SecretResult& result) {
    return result.place == SecretPlace::kSecretService
               ? QString::fromUtf8("密码已保存在桌面的密钥环中")
               : QString::fromUtf8("没有可用的桌面密钥环，密码已保存在仅本人可读的文件 %1 中")
                     .arg(QString::fromStdString(CSecretStore(theStore.DataPath("")).FilePath()));
}

}  // namespace

CSyncCommands::CSyncCommands(CMainFrame& frame) : m_frame(frame) {
    if (CTD_TreeView* view = frame.TreeView()) {
        // The user deleted them (after a question), or a sync took out those whose feeds went
        // from the server: that sync drops their queued rows itself.
        connect(view, &CTD_TreeView::ChannelsDeleted, this,
                [](const std::vector<std::string>& names, const std::string& topFolder) {
                    if (theStore.IsOpen()) {
                        QueueDeletedChannels(theStore, names, topFolder);
                    }
                });
    }
}

CSyncCommands::~CSyncCommands() {
    Stop();
}

bool CSyncCommands::HasAccount() const {
    return !theStore.MoreSettings().Get(kSyncServerKey).empty();
}

void CSyncCommands::RunAccountDialog() {
    CAppSettings& settings = theStore.MoreSettings();
    const QString server = QString::fromStdString(settings.Get(kSyncServerKey));
    QString password;
    if (!server.isEmpty()) {
        const SecretResult found = OffWindowThread(
            [] { return CSecretStore(theStore.DataPath("")).Lookup(kSyncSecretName); });
        password = QString::fromStdString(found.secret);
    }
    CSyncAccountDlg dialog(&m_frame);
    dialog.SetAccount(server, QString::fromStdString(settings.Get(kSyncUserKey)), password,
                      settings.Get(kSyncWatchKeywordsKey) != 0);
    connect(&dialog, &CSyncAccountDlg::TestRequested, &dialog, [&dialog] {
        dialog.SetTesting(true);
        dialog.ShowOutcome(QString::fromUtf8("正在连接……"));
        const std::string address = dialog.Server().toStdString();
        const std::string user = dialog.User().toStdString();
        const std::string secret = dialog.Password().toStdString();
        const std::string outcome = OffWindowThread([&] {
            CTtRssClient client(address, user, secret);
            const TtRssAnswer answer = client.Login();
            return LoginOutcomeText(answer, client.Version());
        });
        dialog.ShowOutcome(QString::fromStdString(outcome));
        dialog.SetTesting(false);
    });
    const int result = dialog.exec();
    if (result != CSyncAccountDlg::kSaved && result != CSyncAccountDlg::kRemoved) {
        return;
    }
    // The sync reads the account as it starts: it does not run across a change of it.
    Stop();
    const bool keep = result == CSyncAccountDlg::kSaved;
    settings.Set(kSyncServerKey, keep ? dialog.Server().toStdString() : std::string());
    settings.Set(kSyncUserKey, keep ? dialog.User().toStdString() : std::string());
    if (keep) {
        settings.Set(kSyncWatchKeywordsKey, dialog.WatchKeywords() ? 1 : 0);
    }
    const std::string secret = dialog.Password().toStdString();
    const SecretResult kept = OffWindowThread([keep, &secret] {
        CSecretStore secrets(theStore.DataPath(""));
        return keep ? secrets.Save(kSyncSecretName, kSyncSecretLabel, secret)
                    : secrets.Remove(kSyncSecretName);
    });
    QString text;
    if (!theStore.SaveSettings()) {
        text = QString::fromUtf8("设置文件无法写入，同步账户只在本次运行中有效。");
    }
    if (keep) {
        text += kept.ok ? QString::fromUtf8("同步账户已保存，%1。").arg(PlaceText(kept))
                        : QString::fromUtf8("同步账户已保存，但密码无法保存（%1）。")
                              .arg(QString::fromStdString(kept.failure));
    } else {
        text += QString::fromUtf8("同步账户已删除，已保存的新闻全部保留。");
        if (!kept.ok) {
            text +=
                QString::fromUtf8("密码无法删除（%1）。").arg(QString::fromStdString(kept.failure));
        }
    }
    m_frame.SetStatusText(text);
}

bool CSyncCommands::SyncNow(std::function<void(bool synced)> then) {
    if (m_syncing) {
        m_frame.SetStatusText(QString::fromUtf8("正在同步，本次未重新开始：请等这次同步完成"));
        return false;
    }
    const std::string server = theStore.MoreSettings().Get(kSyncServerKey);
    if (server.empty()) {
        m_frame.SetStatusText(QString::fromUtf8("尚未设置同步账户：请在“帮助 → 同步账户…”中设置"));
        return false;
    }
    if (!theStore.IsOpen() || g_pTreeView == nullptr) {
        m_frame.SetStatusText(QString::fromUtf8("数据库没有打开，无法同步"));
        return false;
    }
    m_syncing = true;
    m_then = std::move(then);
    m_stop.store(false);
    m_workerDone.store(false);
    m_frame.SetStatusText(QString::fromUtf8("正在与 %1 同步……")
                              .arg(QString::fromStdString(ServerFolderName(server))));
    CTD_TreeView& view = *g_pTreeView;
    m_worker.Start([this, &view, host = ServerFolderName(server)] {
        CWindowThreadTree tree(view);
        const auto progress = [this, &host](const SyncProgress& step) {
            const QString text = QString::fromStdString(SyncProgressText(host, step));
            // Dropped by Qt when this object is gone first; a line of a sync that was stopped
            // or has ended stays unshown.
            QMetaObject::invokeMethod(
                this,
                [this, text] {
                    if (m_syncing && !m_stop.load()) {
                        m_frame.SetStatusText(text);
                    }
                },
                Qt::QueuedConnection);
        };
        const std::optional<SyncSummary> summary = SyncWithAccount(
            theStore, tree, [&tree](int nodeId) { return tree.Remove(nodeId); }, &m_stop, progress);
        SyncSummary outcome;
        if (summary) {
            outcome = *summary;
        } else {
            outcome.failure = TtRssFailure::kAbandoned;
            outcome.detail = "no account";
        }
        // Dropped by Qt when this object is gone first.
        QMetaObject::invokeMethod(
            this, [this, outcome] { Finish(outcome); }, Qt::QueuedConnection);
        m_workerDone.store(true);
    });
    return true;
}

void CSyncCommands::Finish(const SyncSummary& summary) {
    if (!m_syncing || m_stop.load()) {
        return;  // stopped: nobody waits for its outcome
    }
    m_syncing = false;
    m_frame.SetStatusText(QString::fromStdString(SyncSummaryText(summary)));
    m_frame.ReloadList();
    if (g_pTreeView) {
        // While the server answers, what it fetches is not fetched here too; when it does
        // not, every channel is fetched here as before.
        const std::vector<ChannelKeyword> channels = ChannelKeywords(g_pTreeView->Nodes());
        theStore.SetKeywords(summary.ok()
                                 ? ChannelsLeftToFetch(channels, ServerFetchedChannels(theStore))
                                 : channels);
        g_pTreeView->RefreshCounts();
        g_pTreeView->RecountStarred();
    }
    emit SyncFinished(summary.ok());
    if (auto then = std::exchange(m_then, nullptr)) {
        then(summary.ok());
    }
}

void CSyncCommands::Stop() {
    m_stop.store(true);
    m_then = nullptr;
    CQuillonApp::WaitWhileServicing([this] { return m_workerDone.load(); });
    m_worker.JoinAll();
    m_syncing = false;
    m_then = nullptr;
}
