#include "tree/tree_view.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QMouseEvent>
#include <map>

#include "app/app_icons.h"
#include "feeds/feed_store.h"
#include "tree/tree_file_notice.h"

CTD_TreeView* g_pTreeView = nullptr;
QTreeWidgetItem* g_hRootItem = nullptr;

const char CTD_TreeView::kStartupFailed[] = "启动失败";

CTD_TreeView::CTD_TreeView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    g_pTreeView = this;
}

CTD_TreeView::~CTD_TreeView() {
    // The refresher only posts labels to this thread, so joining it cannot deadlock.
    m_refresher.reset();
    if (g_pTreeView == this) {
        g_pTreeView = nullptr;
        g_hRootItem = nullptr;
    }
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

QTreeWidgetItem* CTD_TreeView::AddItem(QTreeWidgetItem* parent, const CKeywordNode& record) {
    auto* item = new QTreeWidgetItem(parent, QStringList(QString::fromUtf8(record.name)));
    item->setIcon(0, record.type == NODE_KEY ? ChannelIcon() : FolderIcon());
    m_nodes.Insert(HandleOf(item), HandleOf(parent), record);
    return item;
}

bool CTD_TreeView::AddNode(int type, int parentId, const CKeywordNode& record, int* newId) {
    if (!m_treeFile) {
        return false;
    }
    QTreeWidgetItem* parent = ItemOf(m_nodes.FindById(parentId));
    if (parent == nullptr) {
        return false;
    }
    const int id = m_treeFile->AddNode(type, parentId, record.name);
    if (id == CKeywordTreeFile::kRefused) {
        return false;
    }
    CKeywordNode added = record;
    added.id = id;
    added.type = type;
    AddItem(parent, added);
    if (type == NODE_KEY) {
        theStore.AddKeyword(added.name);
    }
    if (newId != nullptr) {
        *newId = id;
    }
    return true;
}

void CTD_TreeView::OnInitialUpdate() {
    if (m_initialised) {
        return;
    }
    m_initialised = true;

    m_treeFile = std::make_unique<CKeywordTreeFile>(theStore.DataPath("document/keywordlist.xml"));
    std::map<int, QTreeWidgetItem*> itemOfId;
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
            theStore.AddKeyword(node.name);
        }
    });
    if (m_treeFile->Damage()) {
        m_treeFile->SetDamagedFileAside();
        ShowTreeFileDamage(this, *m_treeFile->Damage());
    }
    root->setText(0, QString::fromStdString(rootLabel));
    m_nodes.SetName(HandleOf(root), rootLabel);
    g_hRootItem = root;
    expandItem(root);
    if (root->childCount() > 0) {
        scrollToItem(root->child(0), QAbstractItemView::PositionAtTop);
    }

    if (!theStore.Startup()) {
        auto* box = new QMessageBox(QMessageBox::NoIcon, QString(),
                                    QString::fromUtf8(kStartupFailed), QMessageBox::Ok, this);
        box->setInformativeText(QString::fromStdString(theStore.LastError()));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    m_refresher = std::make_unique<CCountRefresher>(
        theStore, theStore.Settings(), m_nodes,
        [this](CNodeMap::Handle item, const std::string& label) {
            const QString text = QString::fromStdString(label);
            QMetaObject::invokeMethod(
                this, [this, item, text] { ApplyLabel(item, text); }, Qt::QueuedConnection);
        });
    m_refresher->Start();
}

void CTD_TreeView::ApplyLabel(CNodeMap::Handle item, const QString& label) {
    if (QTreeWidgetItem* treeItem = ItemOf(item)) {
        treeItem->setText(0, label);
    }
}

void CTD_TreeView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    emit NodeClicked(Lookup(item), item ? HandleOf(item) : CNodeMap::kNoItem);
}
