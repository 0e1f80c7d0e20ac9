#include "views/tree_commands.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <memory>
#include <vector>

#include "feeds/feed_store.h"
#include "model/tree_edit_rules.h"
#include "store/statements.h"
#include "views/command_ids.h"
#include "views/name_dialogs.h"
#include "views/tree_view.h"

namespace {

// A name is quoted in a message up to this many characters.
constexpr int kNamedInMessage = 16;

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

bool IsInBranch(const QTreeWidgetItem* item, const QTreeWidgetItem* branch) {
    for (; item != nullptr; item = item->parent()) {
        if (item == branch) {
            return true;
        }
    }
    return false;
}

}  // namespace

CTreeCommands::CTreeCommands(CTD_TreeView& view) : m_view(view) {}

void CTreeCommands::Run(int commandId) {
    QTreeWidgetItem* selected = m_view.currentItem();
    if (selected == nullptr) {
        return;
    }
    switch (commandId) {
        case ID_FOLDER_ADD_FOLDER:
        case ID_ROOT_ADD_FOLDER:
            AskAndAdd(selected, NODE_FOLDER);
            break;
        case ID_FOLDER_ADD_KEY:
        case ID_ROOT_ADD_KEY:
            AskAndAdd(selected, NODE_KEY);
            break;
        case ID_FOLDER_RENAME:
            AskAndRename(selected);
            break;
        case ID_FOLDER_DELETE:
        case ID_KEY_DELETE:
            if (ConfirmDeletion(selected, false)) {
                DeleteNode(selected);
            }
            break;
        case ID_FOLDER_DELETE_ALL:
            if (ConfirmDeletion(selected, true)) {
                DeleteBranch(selected);
            }
            break;
        case ID_FOLDER_EXPAND_ALL:
        case ID_FOLDER_COLLAPSE_ALL:
            SetBranchExpanded(selected, commandId == ID_FOLDER_EXPAND_ALL);
            break;
        case ID_ROOT_EXPAND_ALL:
        case ID_ROOT_COLLAPSE_ALL:
            SetBranchExpanded(m_view.RootItem(), commandId == ID_ROOT_EXPAND_ALL);
            break;
        case ID_FOLDER_MOVE_UP:
        case ID_KEY_MOVE_UP:
        case ID_FOLDER_MOVE_DOWN:
        case ID_KEY_MOVE_DOWN:
            Move(selected, commandId == ID_FOLDER_MOVE_UP || commandId == ID_KEY_MOVE_UP);
            break;
        case ID_KEY_REFRESH:
            RefreshChannel(selected);
            break;
        case ID_KEY_MARK_READ:
        case ID_FOLDER_MARK_READ:
            MarkRead(selected);
            break;
        case ID_ROOT_MARK_READ:
            MarkRead(m_view.RootItem());
            break;
        default:
            break;
    }
}

void CTreeCommands::AskAndAdd(QTreeWidgetItem* parent, int type) {
    std::unique_ptr<CNameDlg> dialog;
    if (type == NODE_FOLDER) {
        dialog = std::make_unique<CfolderDlg>(&m_view);
    } else {
        dialog = std::make_unique<CkeyDlg>(&m_view);
    }
    dialog->SetCheck(
        [this, parent, type](const std::string& name) { return NameRefusal(parent, type, name); });
    if (dialog->exec() != QDialog::Accepted) {
        return;
    }
    const auto* channelDialog = dynamic_cast<const CkeyDlg*>(dialog.get());
    if (channelDialog != nullptr && channelDialog->WantsFeed()) {
        emit m_view.FeedSubscriptionRequested(m_view.Lookup(parent).id,
                                              dialog->Edit()->text().trimmed());
        return;
    }
    AddChild(parent, type, dialog->Name());
}

void CTreeCommands::AskAndRename(QTreeWidgetItem* item) {
    const CKeywordNode record = m_view.Lookup(item);
    CrenameDlg dialog(&m_view);
    dialog.SetName(record.name);
    dialog.SetCheck([this, item, type = record.type](const std::string& name) {
        return NameRefusal(item->parent(), type, name, item);
    });
    if (dialog.exec() == QDialog::Accepted) {
        Rename(item, dialog.Name());
    }
}

QString CTreeCommands::NameRefusal(QTreeWidgetItem* parent, int type, const std::string& name,
                                   QTreeWidgetItem* self) const {
    const NodeNameProblem problem =
        CheckNodeName(m_view.Nodes(), CTD_TreeView::HandleOf(parent), type, name,
                      self ? CTD_TreeView::HandleOf(self) : CNodeMap::kNoItem);
    switch (problem) {
        case NodeNameProblem::kEmpty:
            return Utf8("名称不能为空，请输入名称。");
        case NodeNameProblem::kTaken: {
            // A long name is shortened: a word too long for a line could not wrap.
            QString shown = QString::fromStdString(CKeywordNode::NewNode(name, type).name);
            if (shown.size() > kNamedInMessage) {
                shown = shown.left(kNamedInMessage) + QString::fromUtf8("…");
            }
            return Utf8(type == NODE_FOLDER ? "这里已有名为“%1”的文件夹，请换一个名称。"
                                            : "这里已有名为“%1”的频道，请换一个名称。")
                .arg(shown);
        }
        default:
            return {};
    }
}

QString CTreeCommands::DeletionQuestion(QTreeWidgetItem* item, bool wholeBranch) const {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type == NODE_FOLDER && !wholeBranch) {
        // The children stay: they move up to the folder's parent.
        int channels = 0;
        int folders = 0;
        for (CNodeMap::Handle child : m_view.Nodes().Children(CTD_TreeView::HandleOf(item))) {
            ++(m_view.Nodes().Lookup(child).type == NODE_KEY ? channels : folders);
        }
        if (channels + folders == 0) {
            return {};
        }
        return Utf8("将删除文件夹“%1”，其中的 %2 个频道和 %3 个文件夹移到上一级，确定吗？")
            .arg(QString::fromUtf8(record.name))
            .arg(channels)
            .arg(folders);
    }
    const DeletionCounts counts =
        CountDeletion(m_view.Nodes(), CTD_TreeView::HandleOf(item), m_view.Store());
    // The news stay in the database: a channel added again under the same name has them back.
    const char* their = counts.channels == 1 ? "它的" : "它们的";
    if (!counts.itemsCounted) {
        return Utf8("将删除 %1 个频道，%2新闻保留在数据库中，确定吗？")
            .arg(counts.channels)
            .arg(Utf8(their));
    }
    if (counts.starred > 0) {
        // Starred news stay listed under 星标新闻; the user hears how many go with the channels.
        return Utf8(
                   "将删除 %1 个频道，%2 %3 条新闻（其中 %4 条星标新闻）保留在数据库中，"
                   "星标新闻仍列在“星标新闻”下，确定吗？")
            .arg(counts.channels)
            .arg(Utf8(their))
            .arg(counts.items)
            .arg(counts.starred);
    }
    return Utf8("将删除 %1 个频道，%2 %3 条新闻保留在数据库中，确定吗？")
        .arg(counts.channels)
        .arg(Utf8(their))
        .arg(counts.items);
}

bool CTreeCommands::ConfirmDeletion(QTreeWidgetItem* item, bool wholeBranch) {
    const QString question = DeletionQuestion(item, wholeBranch);
    if (question.isEmpty()) {
        return true;
    }
    QMessageBox box(QMessageBox::Question, Utf8("删除"), question,
                    QMessageBox::Ok | QMessageBox::Cancel, &m_view);
    box.button(QMessageBox::Ok)->setText(Utf8("确定"));
    box.button(QMessageBox::Cancel)->setText(Utf8("取消"));
    // Enter keeps everything: only a deliberate 确定 deletes.
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

bool CTreeCommands::AddChild(QTreeWidgetItem* parent, int type, const std::string& name) {
    if (!NameRefusal(parent, type, name).isEmpty()) {
        return false;
    }
    const int parentId = m_view.Lookup(parent).id;
    if (!m_view.AddNode(type, parentId, CKeywordNode::NewNode(name, type))) {
        return false;
    }
    // The new node is the parent's last child: the user sees it, and the list shows it.
    m_view.expandItem(parent);
    m_view.SelectAndShow(parent->child(parent->childCount() - 1));
    return true;
}

bool CTreeCommands::Rename(QTreeWidgetItem* item, std::string_view name) {
    const CKeywordNode record = m_view.Lookup(item);
    name = CutToCodePageLimit(name, kMaxNodeNameCodePageBytes);
    if (record.type == NODE_NONE ||
        !NameRefusal(item->parent(), record.type, std::string(name), item).isEmpty() ||
        !m_view.TreeFile()->RenameNode(record.id, name)) {
        return false;
    }
    item->setText(0, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    m_view.Nodes().SetName(CTD_TreeView::HandleOf(item), name);
    emit m_view.TreeChanged();
    return true;
}

std::pair<std::vector<std::string>, std::string> CTreeCommands::ChannelsGoing(
    QTreeWidgetItem* item, bool wholeBranch) const {
    std::vector<std::string> names;
    std::vector<QTreeWidgetItem*> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem* next = pending.back();
        pending.pop_back();
        const CKeywordNode record = m_view.Lookup(next);
        if (record.type == NODE_KEY) {
            names.emplace_back(record.name);
        }
        for (int i = 0; wholeBranch && i < next->childCount(); ++i) {
            pending.push_back(next->child(i));
        }
    }
    QTreeWidgetItem* top = item;
    while (top->parent() != nullptr && top->parent()->parent() != nullptr) {
        top = top->parent();
    }
    const CKeywordNode topRecord = m_view.Lookup(top);
    return {std::move(names),
            topRecord.type == NODE_FOLDER ? std::string(topRecord.name) : std::string()};
}

bool CTreeCommands::DeleteNode(QTreeWidgetItem* item) {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type == NODE_NONE || item->parent() == nullptr) {
        return false;
    }
    const auto [going, topFolder] = ChannelsGoing(item, false);
    if (!m_view.TreeFile()->RemoveNode(record.id)) {
        return false;
    }
    if (!going.empty()) {
        emit m_view.ChannelsDeleted(going, topFolder);
    }
    QTreeWidgetItem* parent = item->parent();
    // The copies go to the end of the parent while the originals stay in place until the
    // item is deleted, so the children keep their order.
    for (int i = 0; i < item->childCount(); ++i) {
        m_view.CopyBranch(item->child(i), parent, CNodeMap::kLastChild);
    }
    m_view.Nodes().RemoveBranch(CTD_TreeView::HandleOf(item));
    delete item;
    emit m_view.TreeChanged();
    return true;
}

bool CTreeCommands::DeleteBranch(QTreeWidgetItem* item) {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type == NODE_NONE || item->parent() == nullptr) {
        return false;
    }
    const auto [going, topFolder] = ChannelsGoing(item, true);
    if (!m_view.TreeFile()->RemoveBranch(record.id)) {
        return false;
    }
    if (!going.empty()) {
        emit m_view.ChannelsDeleted(going, topFolder);
    }
    m_view.Nodes().RemoveBranch(CTD_TreeView::HandleOf(item));
    delete item;
    emit m_view.TreeChanged();
    return true;
}

// The file is rearranged by moving siblings to the end of the parent, one after the other,
// and saved once; the tree gets the same order by putting a copy of the item in its new place.
bool CTreeCommands::Move(QTreeWidgetItem* item, bool up) {
    QTreeWidgetItem* parent = item ? item->parent() : nullptr;
    if (parent == nullptr || m_view.Lookup(item).type == NODE_NONE) {
        return false;
    }
    const int index = parent->indexOfChild(item);
    const int count = parent->childCount();
    std::vector<QTreeWidgetItem*> moveList;
    CNodeMap::Handle after = CNodeMap::kLastChild;
    if (up && index > 0) {
        moveList.push_back(parent->child(index - 1));
        for (int i = index + 1; i < count; ++i) {
            moveList.push_back(parent->child(i));
        }
        after =
            index > 1 ? CTD_TreeView::HandleOf(parent->child(index - 2)) : CNodeMap::kFirstChild;
    } else if (up) {
        moveList.push_back(item);
        after = CNodeMap::kLastChild;
    } else if (index + 1 < count) {
        moveList.push_back(item);
        for (int i = index + 2; i < count; ++i) {
            moveList.push_back(parent->child(i));
        }
        after = CTD_TreeView::HandleOf(parent->child(index + 1));
    } else {
        for (int i = 0; i < index; ++i) {
            moveList.push_back(parent->child(i));
        }
        after = CNodeMap::kFirstChild;
    }
    CKeywordTreeFile& file = *m_view.TreeFile();
    const int parentId = m_view.Lookup(parent).id;
    for (QTreeWidgetItem* sibling : moveList) {
        file.MoveNodeToEnd(m_view.Lookup(sibling).id, parentId);
    }
    file.Save();
    Relocate(item, parent, after);
    emit m_view.TreeChanged();
    return true;
}

bool CTreeCommands::MoveToFolder(QTreeWidgetItem* item, QTreeWidgetItem* folder) {
    if (item == nullptr || folder == nullptr || IsInBranch(folder, item)) {
        return false;
    }
    const CKeywordNode moved = m_view.Lookup(item);
    const CKeywordNode target = m_view.Lookup(folder);
    if (moved.type == NODE_NONE || target.type == NODE_NONE ||
        !NameRefusal(folder, moved.type, moved.name, item).isEmpty() ||
        !m_view.TreeFile()->MoveNodeToEnd(moved.id, target.id)) {
        return false;
    }
    m_view.TreeFile()->Save();
    Relocate(item, folder, CNodeMap::kLastChild);
    m_view.expandItem(folder);
    emit m_view.TreeChanged();
    return true;
}

bool CTreeCommands::DropOnFolder(QTreeWidgetItem* item, QTreeWidgetItem* folder) {
    if (item != nullptr && folder != nullptr && !IsInBranch(folder, item)) {
        const CKeywordNode moved = m_view.Lookup(item);
        if (moved.type != NODE_NONE &&
            !NameRefusal(folder, moved.type, moved.name, item).isEmpty()) {
            const char* text = moved.type == NODE_FOLDER
                                   ? "“%1”中已有名为“%2”的文件夹，不能移到那里。"
                                   : "“%1”中已有名为“%2”的频道，不能移到那里。";
            QMessageBox::information(&m_view, Utf8("移动"),
                                     Utf8(text)
                                         .arg(QString::fromUtf8(m_view.Lookup(folder).name))
                                         .arg(QString::fromUtf8(moved.name)));
            return false;
        }
    }
    return MoveToFolder(item, folder);
}

// Channels are copied as branches too: a hand-edited file can give a channel children, and
// copying the item alone would drop them from the control while the file keeps them.
QTreeWidgetItem* CTreeCommands::Relocate(QTreeWidgetItem* item, QTreeWidgetItem* parent,
                                         CNodeMap::Handle after) {
    QTreeWidgetItem* copy = m_view.CopyBranch(item, parent, after);
    delete item;
    m_view.setCurrentItem(copy);
    return copy;
}

void CTreeCommands::SetBranchExpanded(QTreeWidgetItem* item, bool expanded) {
    if (item == nullptr) {
        return;
    }
    item->setExpanded(expanded);
    for (int i = 0; i < item->childCount(); ++i) {
        SetBranchExpanded(item->child(i), expanded);
    }
}

void CTreeCommands::RefreshChannel(QTreeWidgetItem* item) {
    const CKeywordNode record = m_view.Lookup(item);
    if (record.type == NODE_KEY) {
        m_view.Store().RefreshChannel(record.name);
    }
}

void CTreeCommands::MarkRead(QTreeWidgetItem* item) {
    const CKeywordNode record = m_view.Lookup(item);
    std::vector<std::string> names;
    if (record.type == NODE_KEY) {
        names.emplace_back(record.name);
    } else if (record.type == NODE_FOLDER) {
        // Folder names among them match no channel.
        names = m_view.Nodes().NamesBelow(CTD_TreeView::HandleOf(item));
    }
    if (names.empty() || m_view.Store().Execute(SqlMarkChannelsRead(names)) < 0) {
        return;
    }
    m_view.RefreshCounts();
    emit m_view.ChannelsMarkedRead(names);
}
