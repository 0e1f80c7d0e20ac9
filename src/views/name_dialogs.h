#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;

// What the three name dialogs share: an edit (empty, or holding the current name selected),
// OK as the default button and Cancel. The dialogs only ask: the tree's commands act on the
// name once OK closed the dialog, and Cancel changes nothing. A command may give a check that
// OK runs first: a name it refuses is explained under the edit and the dialog stays open for
// the user to correct it.
class CNameDlg : public QDialog {
    Q_OBJECT
public:
    // Returns why `name` cannot be used, or an empty text when it can.
    using Check = std::function<QString(const std::string& name)>;

    // The edit's text cut to the name limit: 511 code-page bytes, at a character boundary.
    std::string Name() const;
    QLineEdit* Edit() const { return m_edit; }
    // The line under the edit that says why a name was refused.
    QLabel* Message() const { return m_message; }

    // Starts the edit with `name`, all of it selected.
    void SetName(const std::string& name);
    void SetCheck(Check check) { m_check = std::move(check); }

public slots:
    void accept() override;

protected:
    CNameDlg(const char* caption, QWidget* parent);
    // Puts a line of explanation above the edit.
    void SetNote(const QString& note);

private:
    QLineEdit* m_edit = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_note = nullptr;
    Check m_check;
};

// "添加文件夹": the name of a new folder.
class CfolderDlg : public CNameDlg {
    Q_OBJECT
public:
    explicit CfolderDlg(QWidget* parent = nullptr);
    static const char kCaption[];
};

// "添加频道": the name of a new channel, which is a search word; the dialog says so. A name
// that is a web address is asked about: subscribing it as a feed closes the dialog with
// WantsFeed() set instead of adding a channel.
class CkeyDlg : public CNameDlg {
    Q_OBJECT
public:
    explicit CkeyDlg(QWidget* parent = nullptr);
    static const char kCaption[];
    static const char kAddressQuestion[];
    static const char kSubscribeButton[];
    // The user chose to subscribe the address typed as a feed.
    bool WantsFeed() const { return m_wantsFeed; }

public slots:
    void accept() override;

private:
    bool m_wantsFeed = false;
};

// "文件夹改名": the new name of the selected node.
class CrenameDlg : public CNameDlg {
    Q_OBJECT
public:
    explicit CrenameDlg(QWidget* parent = nullptr);
    static const char kCaption[];
};
