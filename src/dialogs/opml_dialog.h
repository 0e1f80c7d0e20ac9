#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "feeds/opml_list_fetch.h"

class CFeedStore;
class CTD_TreeView;
class QLineEdit;
class QPushButton;

// "订阅OPML": subscribes to a whole OPML list. OK adds a top-level folder of the title (or
// takes the one of that name that exists), reads the list at the address on a thread of its
// own, stores every new (title, xmlUrl) pair in the opml table and adds its channel under the
// folder, which hands it to the update engine. While the list is fetched the window keeps
// working under a busy cursor, OK cannot be pressed again, and Cancel abandons the fetch
// (the folder stays). Window thread only.
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
    bool IsFetching() const { return m_fetching; }

    static const char kFailureText[];
    static const char kFailureCaption[];

public slots:
    // OK: the folder, then the list is fetched; the dialog closes when it has been read.
    void accept() override;
    // Cancel: abandons a fetch in flight.
    void reject() override;

private:
    void OnListRead(const OpmlListRead& read);
    void AddOutlines(const std::vector<COpmlOutline>& outlines);
    void SetFetching(bool fetching);
    // The error box, then the dialog closes as after OK.
    void Fail();
    // The subscription's folder: the existing top-level folder of that name, or a new one.
    int SubscriptionFolderId(const std::string& title);

    CFeedStore& m_store;
    CTD_TreeView& m_tree;
    QLineEdit* m_title = nullptr;    // control 1000
    QLineEdit* m_address = nullptr;  // control 1001
    QPushButton* m_ok = nullptr;
    int m_folderId = -1;  // the subscription's folder, once OK has found or added it
    bool m_fetching = false;
    COpmlListFetch m_fetch;
};
