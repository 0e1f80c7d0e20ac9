#include "views/channel_commands.h"

#include <QMenu>
#include <QMessageBox>
#include <algorithm>

#include "base/ascii.h"
#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "store/ado_recordset.h"
#include "store/sql_transaction.h"
#include "store/statements.h"
#include "views/command_ids.h"
#include "views/feeds_dialog.h"
#include "views/name_dialogs.h"
#include "views/tree_commands.h"
#include "views/tree_view.h"

namespace {

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// How many nodes of the tree are channels named `name` (ASCII case ignored).
int ChannelsNamed(CNodeMap& nodes, std::string_view name) {
    int count = 0;
    for (CNodeMap::Handle handle : nodes.Descendants(nodes.FindById(0))) {
        const CKeywordNode record = nodes.Lookup(handle);
        count += record.type == NODE_KEY && EqualsIgnoreAsciiCase(record.name, name) ? 1 : 0;
    }
    return count;
}

int RowCount(const CAdoConnection& store, const std::string& sql) {
    CAdoRecordset rows(store);
    if (!rows.Open(sql)) {
        return -1;
    }
    const int count = rows.GetRecordCount();
    rows.Close();
    return count;
}

}  // namespace

CChannelCommands::CChannelCommands(CTD_TreeView& view) : m_view(view) {}

bool CChannelCommands::Run(int commandId) {
    QTreeWidgetItem* selected = m_view.currentItem();
    if (selected == nullptr) {
        return false;
    }
    switch (commandId) {
        case ID_KEY_RENAME:
            AskAndRename(selected);
            return true;
        case ID_KEY_EDIT_FEEDS:
            AskAndEditFeeds(selected);
            return true;
        case ID_KEY_SEARCH_NAME:
            SetSearchName(selected, !m_view.Lookup(selected).searchName);
            return true;
        case ID_KEY_EXCLUDE_WORDS:
            if (m_view.Lookup(selected).type == NODE_KEY) {
                emit m_view.ExcludedWordsRequested(m_view.Lookup(selected).name);
            }
            return true;
        case ID_FOLDER_SUBSCRIBE_FEED:
        case ID_ROOT_SUBSCRIBE_FEED:
            emit m_view.FeedSubscriptionRequested(m_view.Lookup(selected).id, QString());
            return true;
        default:
            return false;
    }
}

void CChannelCommands::PrepareMenu(QMenu& menu, QTreeWidgetItem* item) const {
    const CKeywordNode record = m_view.Lookup(item);
    for (QAction* action : menu.actions()) {
        if (action->data().toInt() == ID_KEY_SEARCH_NAME) {
            action->setChecked(record.searchName);
        }
    }
}

void CChannelCommands::AskAndRename(QTreeWidgetItem* item) {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type != NODE_KEY) {
        return;
    }
    CrenameDlg dialog(&m_view);
    dialog.setWindowTitle(Utf8("频道改名"));
    dialog.SetName(record.name);
    // The dialog stays open on a refused name: the check is the rename itself.
    dialog.SetCheck([this, item](const std::string& name) { return RenameChannel(item, name); });
    dialog.exec();
}

QString CChannelCommands::RenameChannel(QTreeWidgetItem* item, std::string_view name) {
    const CKeywordNode record = m_view.Lookup(item);
    name = CutToCodePageLimit(name, kMaxNodeNameCodePageBytes);
    if (record.type != NODE_KEY) {
        return Utf8("只能给频道改名。");
    }
    QString refusal =
        m_view.Commands().NameRefusal(item->parent(), NODE_KEY, std::string(name), item);
    if (!refusal.isEmpty()) {
        return refusal;
    }
    if (name == record.name) {
        return {};
    }
    CFeedStore& store = m_view.Store();
    const bool sameChannel = EqualsIgnoreAsciiCase(name, record.name);
    if (!sameChannel &&
        (ChannelsNamed(m_view.Nodes(), name) > 0 || RowCount(store, SqlSelectChannel(name)) > 0 ||
         RowCount(store, SqlSelectOpmlByKey(name)) > 0)) {
        return Utf8("已有名为“%1”的频道或它的新闻，请换一个名称。")
            .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    // A name another node still shows keeps its news; this channel takes its feeds along.
    const bool shared = !sameChannel && ChannelsNamed(m_view.Nodes(), record.name) > 1;
    const std::vector<std::string> statements =
        shared ? std::vector<std::string>{SqlCopyOpml(record.name, name)}
               : SqlRenameChannel(record.name, name);
    std::string error;
    if (!ExecuteInTransaction(store, statements, &error)) {
        return Utf8("无法在数据库中给频道改名：%1").arg(QString::fromStdString(error));
    }
    if (!m_view.Commands().Rename(item, name)) {
        // The tree file refused: the rows go back to the old name.
        if (!shared) {
            ExecuteInTransaction(store, SqlRenameChannel(name, record.name));
        }
        return Utf8("无法保存频道树。");
    }
    store.NotifyNewsStored();
    return {};
}

std::vector<std::string> CChannelCommands::Feeds(QTreeWidgetItem* item) const {
    std::vector<std::string> addresses;
    CAdoRecordset rows(m_view.Store());
    if (!rows.Open(SqlSelectOpmlByKey(m_view.Lookup(item).name))) {
        return addresses;
    }
    char address[CodePageFieldSize(2047)] = {};
    rows.BindColumnByName("opml_xml_url", address, sizeof address, kBindText);
    for (; !rows.IsEOF(); rows.MoveNext()) {
        address[0] = '\0';
        rows.Fetch();
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.emplace_back(address);
        }
    }
    rows.Close();
    return addresses;
}

bool CChannelCommands::SetFeeds(QTreeWidgetItem* item, const std::vector<std::string>& addresses) {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type != NODE_KEY) {
        return false;
    }
    const std::vector<std::string> before = Feeds(item);
    std::vector<std::string> statements;
    for (const std::string& old : before) {
        if (std::find(addresses.begin(), addresses.end(), old) == addresses.end()) {
            statements.push_back(SqlDeleteOpml(record.name, old));
        }
    }
    bool added = false;
    for (const std::string& address : addresses) {
        if (std::find(before.begin(), before.end(), address) == before.end()) {
            statements.push_back(SqlInsertOpml(record.name, address, ""));
            added = true;
        }
    }
    if (statements.empty()) {
        return true;
    }
    if (!ExecuteInTransaction(m_view.Store(), statements)) {
        return false;
    }
    if (added) {
        m_view.Store().RefreshChannel(record.name);
    }
    return true;
}

void CChannelCommands::AskAndEditFeeds(QTreeWidgetItem* item) {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type != NODE_KEY) {
        return;
    }
    CFeedsDlg dialog(record.name, Feeds(item), &m_view);
    if (dialog.exec() == QDialog::Accepted && !SetFeeds(item, dialog.Addresses())) {
        QMessageBox::warning(
            &m_view, Utf8("编辑新闻源"),
            Utf8("无法保存到数据库：%1")
                .arg(QString::fromStdString(DatabaseFailureText(m_view.Store().LastError()))));
    }
}

void CChannelCommands::SetSearchName(QTreeWidgetItem* item, bool searchName) {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type != NODE_KEY || !m_view.TreeFile()->SetSearchName(record.id, searchName)) {
        return;
    }
    m_view.Nodes().SetSearchName(CTD_TreeView::HandleOf(item), searchName);
    emit m_view.TreeChanged();
    if (searchName) {
        m_view.Store().RefreshChannel(record.name);
    }
}
