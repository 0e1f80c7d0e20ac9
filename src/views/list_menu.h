#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "model/news_row.h"

class CTD_ListView;
class QMenu;
class QWidget;

// The news list's context menu and the commands behind it, on the rows the user selected:
// 打开原文 (the current row's own address in the browser pane), 在系统浏览器中打开 (the
// current row's address in the user's own browser; a message says so when none could be
// started), 复制标题和链接 (what Ctrl+C copies: each row's title and address), 标为已读,
// 标为未读 and 星标 (checked when every selected row is starred; choosing it stars them, or
// takes the stars off when it is checked). Each action carries its command id (views/command_ids.h)
// as its data; a command without a row to act on is disabled. Window thread only.
class CListMenu : public QObject {
    Q_OBJECT
public:
    // `list` owns the menu object and outlives it.
    explicit CListMenu(CTD_ListView& list);

    // A menu for the selected rows; the caller owns it.
    QMenu* Create(QWidget* parent);
    // Runs a command of the menu; an id that is none of them does nothing.
    void Run(int commandId);

    // The clipboard's text for `rows`: each row's title, and its address on the next line,
    // rows apart by a blank line. A row whose address is unknown or unsafe gives its title.
    QString TitlesAndLinks(const std::vector<CNewsRow>& rows) const;
    // Puts the selected rows' titles and addresses on the clipboard, as text and as HTML
    // links; false when no row is selected.
    bool CopyTitlesAndLinks() const;
    // Opens the current row's address in the user's own browser.
    void OpenExternally();

private:
    QString RowTitle(const CNewsRow& row) const;

    CTD_ListView& m_list;
};
