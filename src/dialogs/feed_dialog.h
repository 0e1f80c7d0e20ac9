#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "feeds/background_job.h"
#include "feeds/feed_probe.h"

class CFeedStore;
class CTD_TreeView;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "订阅新闻源": subscribes one feed by its address as a channel of a folder. OK reads the
// address on a thread of its own: a feed (RSS, Atom, RDF or JSON Feed) becomes a channel named
// as the name field says, or as the feed's title when the field is empty; the channel does not
// search for its name and is fetched at once, and the dialog closes. A web page that announces
// feeds lists them, and the next OK subscribes the one picked. Anything that cannot be
// subscribed (an HTTP error, no connection, not a feed, a page without feeds, a feed the
// folder has already) is explained in the dialog, which stays open with what was typed and
// the address selected. Window thread only.
class CTD_FeedDlg : public QDialog {
    Q_OBJECT
public:
    // Adds the channel to `folderId` of `tree`, storing its feed in `store`; both outlive the
    // dialog.
    CTD_FeedDlg(CFeedStore& store, CTD_TreeView& tree, int folderId, QWidget* parent = nullptr);
    // Abandons a read in flight and waits for its thread.
    ~CTD_FeedDlg() override;

    QLineEdit* AddressEdit() const { return m_address; }
    QLineEdit* NameEdit() const { return m_name; }
    QListWidget* FeedList() const { return m_feeds; }
    QLabel* MessageLabel() const { return m_message; }
    QPushButton* OkButton() const { return m_ok; }
    bool IsReading() const { return m_job.Running() || m_reading; }
    // The name of the channel the dialog added ("" until it added one).
    const std::string& AddedChannel() const { return m_added; }

    // Why the address could not be subscribed, in the user's words ("" for a feed or a page
    // that announces feeds).
    static QString ProbeFailureText(const FeedProbe& probe);

public slots:
    void accept() override;
    void reject() override;

signals:
    // A channel was added: for the status bar.
    void Subscribed(const QString& text);

private:
    void OnProbed(const FeedProbe& probe, const std::string& address);
    void ShowCandidates(const FeedProbe& probe);
    void Subscribe(const FeedProbe& probe, const std::string& address);
    void Refuse(const QString& message);
    void SetReading(bool reading);
    std::string FolderName() const;

    CFeedStore& m_store;
    CTD_TreeView& m_tree;
    int m_folderId;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_name = nullptr;
    QListWidget* m_feeds = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_ok = nullptr;
    // The page whose feeds the list shows ("" while it shows none).
    std::string m_listedPage;
    std::string m_added;
    bool m_reading = false;
    CBackgroundJob<FeedProbe> m_job;
};
