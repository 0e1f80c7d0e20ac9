#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

// What the three name dialogs share: an edit that starts empty, OK as the default button
// and Cancel. The dialogs only ask: the tree's commands act on the name once OK closed the
// dialog, and Cancel changes nothing.
class CNameDlg : public QDialog {
    Q_OBJECT
public:
    // The edit's text cut to the name limit: 511 code-page bytes, at a character boundary.
    std::string Name() const;
    QLineEdit* Edit() const { return m_edit; }

protected:
    CNameDlg(const char* caption, QWidget* parent);

private:
    QLineEdit* m_edit = nullptr;
};

// "添加文件夹": the name of a new folder.
class CfolderDlg : public CNameDlg {
    Q_OBJECT
public:
    explicit CfolderDlg(QWidget* parent = nullptr);
    static const char kCaption[];
};

// "添加频道": the name of a new channel.
class CkeyDlg : public CNameDlg {
    Q_OBJECT
public:
    explicit CkeyDlg(QWidget* parent = nullptr);
    static const char kCaption[];
};

// "文件夹改名": the new name of the selected node.
class CrenameDlg : public CNameDlg {
    Q_OBJECT
public:
    explicit CrenameDlg(QWidget* parent = nullptr);
    static const char kCaption[];
};
