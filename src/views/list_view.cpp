#include "views/list_view.h"

#include <QColor>
#include <QHeaderView>
#include <QMouseEvent>

#include "app/main_frame.h"
#include "feeds/feed_store.h"
#include "model/item_page.h"
#include "model/list_mode.h"
#include "views/html_view.h"
#include "views/tree_view.h"

CTD_ListView* g_pListView = nullptr;
std::atomic<int> g_nListMode{kListModeAll};

const char* const CTD_ListView::kHeaders[6] = {"新闻发布", "新闻标题", "新闻频道",
                                               "发布日期", "新闻作者", "新闻来源"};
const int CTD_ListView::kWidths[6] = {80, 250, 100, 120, 120, 80};

namespace {

// A colour reference keeps red in the lowest byte, then green, then blue.
QColor FromColourReference(std::uint32_t colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace

CNewsTableModel::CNewsTableModel(const CNewsList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list) {}

int CNewsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_published;
}

int CNewsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kNewsColumnCount;
}

QVariant CNewsTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::BackgroundRole) {
        return {};
    }
    // The store may have been emptied by a new request since the count was published.
    const std::optional<CNewsRow> row = m_list.Row(index.row());
    if (!row) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf8(NewsRowColumnText(*row, index.column()).data(),
                                 static_cast<int>(NewsRowColumnText(*row, index.column()).size()));
    }
    const int slot = CategoryColourSlot(RowAgeCategory(*row));
    return FromColourReference(theStore.Settings().CategoryColour(slot));
}

QVariant CNewsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kNewsColumnCount) {
        return QString::fromUtf8(CTD_ListView::kHeaders[section]);
    }
    return {};
}

void CNewsTableModel::SetPublished(int count) {
    beginResetModel();
    m_published = std::max(0, std::min(count, m_list.RowCount()));
    endResetModel();
}

CTD_ListView::CTD_ListView(QWidget* parent)
    : QTableView(parent),
      m_list(std::make_unique<CNewsList>(theStore, static_cast<INewsListListener*>(this))) {
    m_model = new CNewsTableModel(*m_list, this);
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);  // no sorting by column
    horizontalHeader()->setHighlightSections(false);
    for (int column = 0; column < kNewsColumnCount; ++column) {
        setColumnWidth(column, kWidths[column]);
    }
    connect(this, &QTableView::clicked, this, &CTD_ListView::ShowItemPage);
    g_pListView = this;
}

CTD_ListView::~CTD_ListView() {
    if (g_pListView == this) {
        g_pListView = nullptr;
    }
    // Stops the loader and joins it; it only posts to this thread, so this cannot deadlock.
    m_list.reset();
}

void CTD_ListView::ShowNode(const CKeywordNode& record, CNodeMap::Handle item) {
    std::vector<std::string> names;
    if (record.type == NODE_FOLDER && g_pTreeView) {
        names = g_pTreeView->Nodes().NamesBelow(item);
    }
    if (m_list->RequestLoad(record, g_nListMode.load(), std::move(names))) {
        m_model->SetPublished(0);
    }
}

void CTD_ListView::PublishCount(int count) {
    QMetaObject::invokeMethod(
        this, [this, count] { m_model->SetPublished(count); }, Qt::QueuedConnection);
}

void CTD_ListView::ShowStatus(const std::string& text) {
    const QString message = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        this,
        [message] {
            if (g_pMainFrame) {
                g_pMainFrame->SetStatusText(message);
            }
        },
        Qt::QueuedConnection);
}

void CTD_ListView::ShowItemPage(const QModelIndex& index) {
    const std::optional<CNewsRow> row = m_list->Row(index.row());
    if (!row) {
        return;
    }
    if (const std::optional<ItemPage> page = ReadItemPage(theStore, *row)) {
        WriteHtmlToView(g_pHtmlView, page->html, page->baseUrl);
    }
}

void CTD_ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        OpenItemLink(indexAt(event->position().toPoint()));
    }
}

void CTD_ListView::OpenItemLink(const QModelIndex& index) {
    const std::optional<CNewsRow> row = index.isValid() ? m_list->Row(index.row()) : std::nullopt;
    if (row) {
        if (const std::optional<std::string> link = ReadItemLink(theStore, *row)) {
            if (g_pHtmlView) {
                g_pHtmlView->Navigate2(QString::fromStdString(*link));
            }
        }
    }
    if (g_pMainFrame) {
        g_pMainFrame->ResetPaneSizes(1);
    }
}
