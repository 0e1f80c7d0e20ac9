#include "views/tree_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <map>

#include "feeds/feed_store.h"
#include "model/database_texts.h"
#include "model/news_loader.h"
#include "store/ado_recordset.h"
#include "store/star_statements.h"
#include "views/app_icons.h"
#include "views/channel_commands.h"
#include "views/tree_commands.h"
#include "views/tree_drag.h"
#include "views/tree_file_notice.h"
#include "views/tree_menus.h"

const char CTD_TreeView::kStartupFailed[] = "启动失败";

namespace {

// Where an item keeps how many of its recent news are unread.
constexpr int kUnreadRole = Qt::UserRole + 2;

}  // namespace

CTD_TreeView::CTD_TreeView(CFeedStore& store, QWidget* parent)
    : QTreeWidget(parent), m_store(store) {
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Dragging is the tree's own (CTreeDragger), not the item views' drag and drop.
    setDragDropMode(QAbstractItemView::NoDragDrop);
    m_commands = std::make_unique<CTreeCommands>(*this);
    m_channelCommands = std::make_unique<CChannelCommands>(*this);
    m_dragger = std::make_unique<CTreeDragger>(*this);
    m_keyboardLoad = new QTimer(this);
    m_keyboardLoad->setSingleShot(true);
    m_keyboardLoad->setInterval(kKeyboardLoadDelayMs);
    connect(m_keyboardLoad, &QTimer::timeout, this, &CTD_TreeView::LoadCurrent);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
}

int CTD_TreeView::UnreadOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, kUnreadRole).toInt() : 0;
}

QTreeWidgetItem* CTD_TreeView::NextUnreadChannel(QTreeWidgetItem* item) const {
    std::vector<QTreeWidgetItem*> order;
    for (QTreeWidgetItemIterator it(const_cast<CTD_TreeView*>(this)); *it; ++it) {
        order.push_back(*it);
    }
    const auto start = std::find(order.begin(), order.end(), item);
    const std::size_t first = start == order.end() ? 0 : (start - order.begin()) + 1;
    for (std::size_t step = 0; step < order.size(); ++step) {
        QTreeWidgetItem* candidate = order[(first + step) % order.size()];
        if (Lookup(candidate).type == NODE_KEY && UnreadOf(candidate) > 0) {
            return candidate;
        }
    }
    return nullptr;
}

void CTD_TreeView::OnCurrentItemChanged(QTreeWidgetItem* current) {
    if (m_handlingKey && current != nullptr) {
        m_keyboardLoad->start();
    }
}

void CTD_TreeView::SelectAndShow(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    setCurrentItem(item);
    scrollToItem(item);
    LoadCurrent();
}

void CTD_TreeView::LoadCurrent() {
    m_keyboardLoad->stop();
    QTreeWidgetItem* item = currentItem();
    if (item != nullptr) {
        emit NodeClicked(ListedRecord(item), HandleOf(item));
    }
}

CTD_TreeView::~CTD_TreeView() {
    // Nothing wakes the refresher once it is gone. It only posts labels to this thread, so
    // joining it cannot deadlock.
    if (m_refresher) {
        m_store.SetNewsStoredListener(nullptr);
    }
    m_nodes.SetChangeListener(nullptr);
    m_refresher.reset();
}

CNodeMap::Handle CTD_TreeView::HandleOf(QTreeWidgetItem* item) {
    return reinterpret_cast<CNodeMap::Handle>(item);
}

QTreeWidgetItem* CTD_TreeView::ItemOf(CNodeMap::Handle handle) const {
    return m_nodes.Contains(handle) ? reinterpret_cast<QTreeWidgetItem*>(handle) : nullptr;
}

CKeywordNode CTD_TreeView::Lookup(QTreeWidgetItem* item) const {
    return m_nodes.Lookup(HandleOf(item));
}

CKeywordNode CTD_TreeView::ListedRecord(QTreeWidgetItem* item) const {
    if (item != nullptr && item == m_starredItem) {
        return CKeywordNode::NewNode(kStarredNodeName, NODE_STARRED);
    }
    return Lookup(item);
}

void CTD_TreeView::RecountStarred() {
    if (m_starredItem == nullptr) {
        return;
    }
    CAdoRecordset records(m_store);
    std::int32_t count = 0;
    // A count that cannot be read leaves the label as it was.
    if (records.Open(SqlCountStarredItems()) &&
        records.BindColumn(0, &count, sizeof count, kBindNumber) && records.Fetch()) {
        m_starredItem->setText(
            0, QString::fromStdString(CCountRefresher::Label(kStarredNodeName, count)));
    }
    records.Close();
}

QTreeWidgetItem* CTD_TreeView::AddItem(QTreeWidgetItem* parent, const CKeywordNode& record) {
    auto* item = new QTreeWidgetItem(parent, QStringList(QString::fromUtf8(record.name)));
    item->setIcon(0, record.type == NODE_KEY ? ChannelIcon() : FolderIcon());
    m_nodes.Insert(HandleOf(item), HandleOf(parent), record);
    return item;
}

bool CTD_TreeView::AddNode(int type, int parentId, const CKeywordNode& record, int* newId,
                           bool fetchNow) {
    if (!m_treeFile) {
        return false;
    }
    QTreeWidgetItem* parent = ItemOf(m_nodes.FindById(parentId));
    if (parent == nullptr) {
        return false;
    }
    const int id = m_treeFile->AddNode(type, parentId, record.name, record.searchName);
    if (id == CKeywordTreeFile::kRefused) {
        return false;
    }
    CKeywordNode added = record;
    added.id = id;
    added.type = type;
    AddItem(parent, added);
    if (type == NODE_KEY && fetchNow) {
        m_store.AddKeyword(added.name, added.searchName);
    }
    if (newId != nullptr) {
        *newId = id;
    }
    emit TreeChanged();
    if (type == NODE_KEY && fetchNow) {
        emit ChannelAdded(added.name);
    }
    return true;
}

QTreeWidgetItem* CTD_TreeView::CopyItem(QTreeWidgetItem* item, QTreeWidgetItem* parent,
                                        CNodeMap::Handle after) {
    auto* copy = new QTreeWidgetItem(*item);  // label, icon, flags; no parent, no children
    int index = parent->childCount();
    if (after == CNodeMap::kFirstChild) {
        index = 0;
    } else if (after != CNodeMap::kLastChild) {
        const int sibling = parent->indexOfChild(ItemOf(after));
        index = sibling < 0 ? index : sibling + 1;
    }
    parent->insertChild(index, copy);
    m_nodes.MoveEntry(HandleOf(item), HandleOf(copy), HandleOf(parent), after);
    return copy;
}

QTreeWidgetItem* CTD_TreeView::CopyBranch(QTreeWidgetItem* item, QTreeWidgetItem* parent,
                                          CNodeMap::Handle after) {
    QTreeWidgetItem* copy = CopyItem(item, parent, after);
    for (int i = 0; i < item->childCount(); ++i) {
        CopyBranch(item->child(i), copy, CNodeMap::kLastChild);
    }
    return copy;
}

void CTD_TreeView::OnInitialUpdate() {
    if (m_initialised) {
        return;
    }
    m_initialised = true;

    m_treeFile = std::make_unique<CKeywordTreeFile>(m_store.DataPath("document/keywordlist.xml"));
    // Saves run on this thread, from the tree's commands, drags and subscriptions.
    m_treeFile->SetSaveFailureListener(
        [this](int errorNumber) { ShowTreeFileNotSaved(this, m_treeFile->Path(), errorNumber); });
    std::map<int, QTreeWidgetItem*> itemOfId;
    // Above the root, outside the node map and the tree file.
    m_starredItem = new QTreeWidgetItem(this, QStringList(QString::fromUtf8(kStarredNodeName)));
    m_starredItem->setIcon(0, StarIcon());
    // The root's entry comes first, so that its children are linked to it as they load; its
    // name is known once the file is read.
    auto* root = new QTreeWidgetItem(this);
    root->setIcon(0, RootIcon());
    CKeywordNode rootRecord = CKeywordNode::NewNode("", NODE_FOLDER);
    rootRecord.id = 0;
    m_nodes.Insert(HandleOf(root), CNodeMap::kNoItem, rootRecord);
    const std::string rootLabel = m_treeFile->Load([&](const CKeywordNode& node, int parentId) {
        const auto parent = itemOfId.find(parentId);
        QTreeWidgetItem* item = AddItem(parent == itemOfId.end() ? root : parent->second, node);
        if (node.id != 0) {
            itemOfId[node.id] = item;
        }
        if (node.type == NODE_KEY) {
            m_store.AddKeyword(node.name, node.searchName);
        }
    });
    if (m_treeFile->Damage()) {
        m_treeFile->SetDamagedFileAside();
        ShowTreeFileDamage(this, *m_treeFile->Damage());
    }
    root->setText(0, QString::fromStdString(rootLabel));
    m_nodes.SetName(HandleOf(root), rootLabel);
    m_root = root;
    expandItem(root);
    // The root's row shows: the tree never opens scrolled past it.
    scrollToTop();

    if (!m_store.Startup(m_startsUpdate)) {
        auto* box = new QMessageBox(QMessageBox::NoIcon, QString(),
                                    QString::fromUtf8(kStartupFailed), QMessageBox::Ok, this);
        box->setInformativeText(QString::fromStdString(DatabaseFailureText(m_store.LastError())));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    StartCountRefresher();
    RecountStarred();
}

void CTD_TreeView::StartCountRefresher() {
    m_refresher = std::make_unique<CCountRefresher>(
        m_store, m_store.Settings(), m_nodes,
        [this](std::vector<CCountRefresher::LabelChange> changes) {
            QMetaObject::invokeMethod(
                this, [this, changes = std::move(changes)] { ApplyLabels(changes); },
                Qt::QueuedConnection);
        });
    CCountRefresher* refresher = m_refresher.get();
    // New news, and any change of the tree, show at the next pass, without waiting.
    m_store.SetNewsStoredListener([refresher](std::string_view channel) {
        if (channel.empty()) {
            refresher->Wake();
        } else {
            refresher->SourcesChanged(channel);
        }
    });
    m_nodes.SetChangeListener([refresher] { refresher->Wake(); });
    m_refresher->Start();
}

void CTD_TreeView::RefreshCounts() {
    if (m_refresher) {
        m_refresher->Wake();
    }
}

void CTD_TreeView::ApplyLabels(const std::vector<CCountRefresher::LabelChange>& changes) {
    const std::uint64_t generation = m_nodes.Generation();
    bool countsChanged = false;
    for (const CCountRefresher::LabelChange& change : changes) {
        if (change.generation != generation) {
            continue;
        }
        QTreeWidgetItem* treeItem = ItemOf(change.item);
        if (treeItem == nullptr) {
            continue;
        }
        const QString label = QString::fromStdString(change.label);
        if (treeItem->text(0) != label) {
            treeItem->setText(0, label);
            countsChanged = true;
        }
        // Each setter makes the view lay out and paint the row again: only what changed is set.
        QFont font = treeItem->font(0);
        if (font.bold() != (change.unread > 0)) {
            font.setBold(change.unread > 0);
            treeItem->setFont(0, font);
        }
        if (treeItem->data(0, kUnreadRole).toInt() != change.unread) {
            treeItem->setData(0, kUnreadRole, change.unread);
        }
        const QString tooltip = QString::fromStdString(change.tooltip);
        if (treeItem->toolTip(0) != tooltip) {
            treeItem->setToolTip(0, tooltip);
        }
        if (Lookup(treeItem).type == NODE_KEY &&
            treeItem->data(0, kWarningRole).toBool() != change.warning) {
            treeItem->setData(0, kWarningRole, change.warning);
            treeItem->setIcon(0, change.warning ? WarnedChannelIcon() : ChannelIcon());
        }
        if (treeItem == m_root) {
            emit UnreadTotalChanged(change.unread);
        }
    }
    if (countsChanged) {
        emit NewsCountsChanged();
    }
    // Items may have gone with their stars; the count is one look-up of a small table.
    RecountStarred();
}

void CTD_TreeView::OnCommand(int commandId) {
    if (!m_channelCommands->Run(commandId)) {
        m_commands->Run(commandId);
    }
}

void CTD_TreeView::OpenContextMenu(QTreeWidgetItem* item, const QPoint& globalPos) {
    if (item == nullptr || item == m_starredItem) {
        return;
    }
    int popup = Lookup(item).type == NODE_KEY ? kChannelPopup : kFolderPopup;
    if (item == m_root) {
        popup = kRootPopup;
    }
    QMenu menu(this);
    FillTreePopup(menu, popup);
    m_channelCommands->PrepareMenu(menu, item);
    // The command runs after the menu has closed, as a command sent to the view would.
    if (QAction* chosen = menu.exec(globalPos)) {
        OnCommand(chosen->data().toInt());
    }
}

void CTD_TreeView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse) {
        RequestKeyboardMenu();
        return;
    }
    QTreeWidgetItem* item = itemAt(event->pos());
    if (item == nullptr) {
        return;
    }
    setCurrentItem(item);
    OpenContextMenu(item, event->globalPos());
}

void CTD_TreeView::keyPressEvent(QKeyEvent* event) {
    const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (event->key() == Qt::Key_Menu || shiftF10) {
        event->accept();
        RequestKeyboardMenu();
        return;
    }
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        LoadCurrent();
        return;
    }
    if (plain && event->key() == Qt::Key_N) {
        event->accept();
        emit NextUnreadRequested();
        return;
    }
    m_handlingKey = true;
    QTreeWidget::keyPressEvent(event);
    m_handlingKey = false;
}

void CTD_TreeView::RequestKeyboardMenu() {
    if (m_keyboardMenuPending) {
        return;
    }
    m_keyboardMenuPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_keyboardMenuPending = false;
            QTreeWidgetItem* item = currentItem();
            if (item == nullptr) {
                return;
            }
            scrollToItem(item);
            const QRect row = visualItemRect(item);
            OpenContextMenu(item, viewport()->mapToGlobal(row.bottomLeft()));
        },
        Qt::QueuedConnection);
}

void CTD_TreeView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_dragger->Press(event->position().toPoint());
    }
}

void CTD_TreeView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragger->Move(event->position().toPoint(), event->buttons())) {
        QTreeWidget::mouseMoveEvent(event);
    }
}

void CTD_TreeView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    CTreeDragger::Drop drop;
    if (m_dragger->Release(&drop)) {
        // A drop is not a click, but the list follows the moved node, which is selected.
        if (m_commands->DropOnFolder(drop.dragged, drop.target)) {
            SelectAndShow(currentItem());
        }
        return;
    }
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    m_keyboardLoad->stop();
    emit NodeClicked(ListedRecord(item), item ? HandleOf(item) : CNodeMap::kNoItem);
}

void CTD_TreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    QTreeWidgetItem* highlighted = m_dragger->Highlighted();
    if (highlighted == nullptr || itemFromIndex(index) != highlighted) {
        QTreeWidget::drawRow(painter, option, index);
        return;
    }
    QStyleOptionViewItem marked = option;
    marked.state |= QStyle::State_Selected;
    QTreeWidget::drawRow(painter, marked, index);
}
