#include "views/list_menu.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

#include "feeds/feed_store.h"
#include "model/item_page.h"
#include "views/command_ids.h"
#include "views/external_browser.h"
#include "views/list_view.h"

namespace {

struct MenuCommand {
    int commandId;
    const char* text;
};

constexpr MenuCommand kCommands[] = {
    {ID_LIST_OPEN_LINK, "打开原文"},          {ID_LIST_OPEN_EXTERNAL, "在系统浏览器中打开"},
    {ID_LIST_COPY, "复制标题和链接\tCtrl+C"}, {ID_LIST_MARK_READ, "标为已读"},
    {ID_LIST_MARK_UNREAD, "标为未读\tU"},     {ID_LIST_STAR, "星标\tS"},
};

}  // namespace

CListMenu::CListMenu(CTD_ListView& list) : QObject(&list), m_list(list) {}

QMenu* CListMenu::Create(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const std::vector<CNewsRow> rows = m_list.SelectedRows();
    bool anyUnread = false;
    bool anyRead = false;
    bool allStarred = !rows.empty();
    for (const CNewsRow& row : rows) {
        anyUnread = anyUnread || !row.read;
        anyRead = anyRead || row.read;
        allStarred = allStarred && row.starred;
    }
    for (const MenuCommand& command : kCommands) {
        QAction* action = menu->addAction(QString::fromUtf8(command.text));
        action->setData(command.commandId);
        connect(action, &QAction::triggered, this, [this, id = command.commandId] { Run(id); });
        switch (command.commandId) {
            case ID_LIST_OPEN_LINK:
            case ID_LIST_OPEN_EXTERNAL:
                action->setEnabled(m_list.currentIndex().isValid());
                break;
            case ID_LIST_MARK_READ:
                action->setEnabled(anyUnread);
                break;
            case ID_LIST_MARK_UNREAD:
                action->setEnabled(anyRead);
                break;
            case ID_LIST_STAR:
                action->setCheckable(true);
                action->setChecked(allStarred);
                action->setEnabled(!rows.empty());
                break;
            default:
                action->setEnabled(!rows.empty());
                break;
        }
    }
    return menu;
}

void CListMenu::Run(int commandId) {
    switch (commandId) {
        case ID_LIST_OPEN_LINK:
            m_list.OpenItemLink(m_list.currentIndex());
            break;
        case ID_LIST_OPEN_EXTERNAL:
            OpenExternally();
            break;
        case ID_LIST_COPY:
            CopyTitlesAndLinks();
            break;
        case ID_LIST_MARK_READ:
            m_list.MarkRowsRead(m_list.SelectedRows());
            break;
        case ID_LIST_MARK_UNREAD:
            m_list.MarkRowsUnread(m_list.SelectedRows());
            break;
        case ID_LIST_STAR:
            m_list.ToggleStars(m_list.SelectedRows());
            break;
        default:
            break;
    }
}

QString CListMenu::RowTitle(const CNewsRow& row) const {
    return QString::fromStdString(row.storedTitle.empty() ? std::string(row.title)
                                                          : row.storedTitle);
}

QString CListMenu::TitlesAndLinks(const std::vector<CNewsRow>& rows) const {
    QStringList entries;
    for (const CNewsRow& row : rows) {
        QString entry = RowTitle(row);
        if (const std::optional<std::string> link = ReadItemLink(m_list.Store(), row)) {
            entry += QLatin1Char('\n') + QString::fromStdString(*link);
        }
        entries << entry;
    }
    return entries.join(QStringLiteral("\n\n"));
}

bool CListMenu::CopyTitlesAndLinks() const {
    const std::vector<CNewsRow> rows = m_list.SelectedRows();
    if (rows.empty()) {
        return false;
    }
    QString html;
    for (const CNewsRow& row : rows) {
        const QString title = RowTitle(row).toHtmlEscaped();
        const std::optional<std::string> link = ReadItemLink(m_list.Store(), row);
        html += link ? QStringLiteral("<p><a href=\"%1\">%2</a></p>")
                           .arg(QString::fromStdString(*link).toHtmlEscaped(), title)
                     : QStringLiteral("<p>%1</p>").arg(title);
    }
    auto* data = new QMimeData;
    data->setText(TitlesAndLinks(rows));
    data->setHtml(html);
    QApplication::clipboard()->setMimeData(data);
    return true;
}

void CListMenu::OpenExternally() {
    const std::optional<CNewsRow> row = m_list.List().Row(m_list.currentIndex().row());
    if (!row) {
        return;
    }
    if (const std::optional<std::string> link = ReadItemLink(m_list.Store(), *row)) {
        OpenInExternalBrowserOrTell(&m_list, *link);
    }
}
