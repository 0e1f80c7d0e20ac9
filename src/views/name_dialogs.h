#pragma once

#include <QDialog>
#include <string>

#include "model/node_map.h"

class QLineEdit;
class QTreeWidgetItem;

// What the three name dialogs share: an edit that starts empty, OK as the default button
// and Cancel. OK closes the dialog whatever became of the name; Cancel changes nothing.
// The dialogs reach the tree through g_pTreeView when OK is pressed.
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

// Adds a folder or a channel named by the edit as the last child of the target node; a
// same-type sibling of that name (ASCII case ignored) makes OK add nothing.
class CAddNodeDlg : public CNameDlg {
    Q_OBJECT
public:
    void accept() override;

protected:
    CAddNodeDlg(const char* caption, int type, QTreeWidgetItem* target, QWidget* parent);

private:
    int m_type;
    CNodeMap::Handle m_target;
};

// "添加文件夹"
class CfolderDlg : public CAddNodeDlg {
    Q_OBJECT
public:
    explicit CfolderDlg(QTreeWidgetItem* target, QWidget* parent = nullptr);
    static const char kCaption[];
};

// "添加频道"
class CkeyDlg : public CAddNodeDlg {
    Q_OBJECT
public:
    explicit CkeyDlg(QTreeWidgetItem* target, QWidget* parent = nullptr);
    static const char kCaption[];
};

// "文件夹改名": renames the tree's selected node; empty and duplicate names are accepted.
class CrenameDlg : public CNameDlg {
    Q_OBJECT
public:
    explicit CrenameDlg(QWidget* parent = nullptr);
    void accept() override;
    static const char kCaption[];
};
