#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string>
#include <vector>

// The invariant of the channel tree: the tree control, the node map and the tree file at
// `treeFilePath`, loaded afresh with CKeywordTreeFile::Load, hold the same tree. Compared
// node by node: ID, name, type, order and nesting; every item has exactly one node map
// entry, whose record, parent and children agree with the control; IDs are unique; every
// label is the node's name, bare or with its count.
::testing::AssertionResult TreeMatchesFile(const std::string& treeFilePath);

// The live tree by record names, a folder's children in braces, the root left out:
// "体育{足球,球类{Rock 'n' Roll}},weather".
std::string LiveOutline();
// The same for the tree file at `treeFilePath`.
std::string FileOutline(const std::string& treeFilePath);

// Answers the next popup menu: records its item texts and command ids, then chooses the
// item carrying `commandId`, or closes the menu when there is none.
class MenuAnswer : public QObject {
public:
    explicit MenuAnswer(int commandId);
    bool Answered() const { return m_answered; }
    QString title;
    QStringList texts;
    std::vector<int> ids;

private:
    void Poll();
    int m_commandId;
    bool m_answered = false;
    QTimer m_poll;
};

// Answers the next name dialog: records what it shows, types `name` and presses OK, or
// Cancel when `accept` is false. A dialog that stays open after OK (a refused name) has its
// message recorded and is cancelled.
class DialogAnswer : public QObject {
public:
    DialogAnswer(QString name, bool accept);
    bool Answered() const { return m_answered; }
    QString caption;
    QString initialText;
    bool okIsDefault = false;
    bool closed = false;   // the dialog was no longer visible once the button was pressed
    QString selectedText;  // what of the initial text was selected
    QString refusal;       // the message of a dialog that refused the name

private:
    void Poll();
    QString m_name;
    bool m_accept;
    bool m_answered = false;
    QTimer m_poll;
};
