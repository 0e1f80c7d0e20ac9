#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "feeds/opml_list_fetch.h"
#include "model/fetch_watch.h"

class CFeedStore;
class CTD_TreeView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
struct ListSubscription;

// "订阅OPML": subscribes to a whole OPML list. OK reads the list at the address (an http or
// https address, or a local file that 浏览… picks) on a thread of its own ("正在读取列表…"),
// then subscribes its outlines into the top-level folder of the title (the one of that name
// that exists, or a new one made for the first outline), its categories as sub-folders, and
// hands the new channels to the update engine. An empty title or address is refused in the
// dialog. While the list downloads the window keeps working under a busy cursor, OK cannot
// be pressed again, and Cancel abandons the fetch; nothing changes until the list has been
// read. A list that cannot be read, or of which nothing could be stored, is explained in the
// dialog, which stays open with the address selected, and changes nothing. One that went
// through opens and selects its folder, shows the summary (channels added and already there,
// folders made, outlines skipped) and follows the first fetch of its new feeds ("正在获取：
// n/N"), then lists those that failed with their reasons; 关闭 then ends the dialog as
// accepted. Window thread only.
class CTD_OpmlDlg : public QDialog {
    Q_OBJECT
public:
    // Stores the subscription in `store` and adds its folder and channels to `tree`; both
    // outlive the dialog.
    CTD_OpmlDlg(CFeedStore& store, CTD_TreeView& tree, QWidget* parent = nullptr);
    // Abandons a fetch in flight and waits for its thread (a tenth of a second at most).
    ~CTD_OpmlDlg() override;

    QLineEdit* TitleEdit() const { return m_title; }
    QLineEdit* AddressEdit() const { return m_address; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* BrowseButton() const { return m_browse; }
    // The line under the fields: reading the list, why OK was refused or failed, or the
    // summary of the subscription.
    QLabel* MessageLabel() const { return m_message; }
    // The new feeds' first fetch: "正在获取：n/N", then what became of them.
    QLabel* ProgressLabel() const { return m_progress; }
    // Cancel, which reads 关闭 once the list is subscribed.
    QPushButton* CloseButton() const { return m_close; }
    bool IsFetching() const { return m_fetching; }
    // Whether the list was subscribed (the dialog then only reports).
    bool IsSubscribed() const { return m_subscribed; }
    // Whether the new feeds' first fetch has been followed to its end.
    bool FetchesFollowed() const { return m_subscribed && !m_watch; }

    static const char kFailureText[];
    static const char kDownloadingText[];
    // Why a list could not be subscribed to, in the user's words.
    static QString FailureReason(const OpmlListRead& read);

signals:
    // What the status bar says: the summary once subscribed, and again with the feeds that
    // failed once their fetch is over.
    void Subscribed(const QString& summary);

public slots:
    // OK: the list is fetched; the dialog closes once it has been read and subscribed to.
    void accept() override;
    // Cancel: abandons a fetch in flight; 关闭 after a subscription accepts.
    void reject() override;

private:
    void OnListRead(const OpmlListRead& read);
    // The list is subscribed: the dialog shows it and starts following the new feeds.
    void ShowSubscribed(const ListSubscription& outcome);
    void PollFetches();
    // Expands and selects the subscription's folder in the tree.
    void OpenFolder();
    // The subscription's folder: the existing top-level folder of the title, or a new one;
    // -1 when none can be made.
    int SubscriptionFolderId();
    // Removes the subscription's folder again when this subscription made it and stored
    // nothing.
    void DropMadeFolder();
    void Browse();
    void SetFetching(bool fetching);
    void Refuse(const char* message, QLineEdit* edit);
    // Says in the dialog why the list could not be subscribed, with the address selected to
    // be corrected; the dialog stays open.
    void Fail(const QString& reason);

    CFeedStore& m_store;
    CTD_TreeView& m_tree;
    QLineEdit* m_title = nullptr;    // control 1000
    QLineEdit* m_address = nullptr;  // control 1001
    QPushButton* m_browse = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_progress = nullptr;
    QTimer* m_poll = nullptr;  // reads the new feeds' fetches while they run
    std::string m_since;       // when OK was pressed, as UtcTimeText writes it
    QString m_summary;
    bool m_subscribed = false;
    std::unique_ptr<CFeedFetchWatch> m_watch;  // while the new feeds are followed
    std::string m_titleText;                   // the title OK was pressed with
    int m_folderId = -1;        // the subscription's folder, once a channel needed it
    bool m_folderMade = false;  // by this subscription
    bool m_fetching = false;
    COpmlListFetch m_fetch;
};
