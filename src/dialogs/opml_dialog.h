#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "feeds/opml_list_fetch.h"

class CFeedStore;
class CTD_TreeView;
class QLabel;
class QLineEdit;
class QPushButton;

// "订阅OPML": subscribes to a whole OPML list. OK reads the list at the address (an http or
// https address, or a local file that 浏览… picks) on a thread of its own, stores every new
// (title, xmlUrl) pair in the opml table and adds its channel to the top-level folder of the
// title (the one of that name that exists, or a new one made for the first channel), which
// hands it to the update engine. An empty title or address is refused in the dialog. While
// the list downloads the dialog says so, the window keeps working under a busy cursor, OK
// cannot be pressed again, and Cancel abandons the fetch; nothing changes until the list has
// been read. A list that cannot be read shows the error box with the reason and changes
// nothing; a subscription that went through says how many channels it added. Window thread
// only.
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
    // The line under the fields: progress, or why OK was refused.
    QLabel* MessageLabel() const { return m_message; }
    bool IsFetching() const { return m_fetching; }

    static const char kFailureText[];
    static const char kFailureCaption[];
    static const char kDownloadingText[];
    // Why a list could not be subscribed to, in the user's words.
    static QString FailureReason(const OpmlListRead& read);

public slots:
    // OK: the list is fetched; the dialog closes once it has been read and subscribed to.
    void accept() override;
    // Cancel: abandons a fetch in flight.
    void reject() override;

private:
    void OnListRead(const OpmlListRead& read);
    // The subscription's folder: the existing top-level folder of the title, or a new one;
    // -1 when none can be made.
    int SubscriptionFolderId();
    // Removes the subscription's folder again when this subscription made it and stored
    // nothing.
    void DropMadeFolder();
    void Browse();
    void SetFetching(bool fetching);
    void Refuse(const char* message, QLineEdit* edit);
    // The error box with `reason`, then the dialog closes as after OK.
    void Fail(const QString& reason);

    CFeedStore& m_store;
    CTD_TreeView& m_tree;
    QLineEdit* m_title = nullptr;    // control 1000
    QLineEdit* m_address = nullptr;  // control 1001
    QPushButton* m_browse = nullptr;
    QPushButton* m_ok = nullptr;
    QLabel* m_message = nullptr;
    std::string m_titleText;    // the title OK was pressed with
    int m_folderId = -1;        // the subscription's folder, once a channel needed it
    bool m_folderMade = false;  // by this subscription
    bool m_fetching = false;
    COpmlListFetch m_fetch;
};
