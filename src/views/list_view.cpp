#include "views/list_view.h"

#include <QColor>
#include <QHeaderView>
#include <QMouseEvent>

#include "feeds/feed_store.h"
#include "model/item_page.h"

const char* const CTD_ListView::kHeaders[6] = {"新闻发布", "新闻标题", "新闻频道",
                                               "发布日期", "新闻作者", "新闻来源"};
const int CTD_ListView::kWidths[6] = {80, 250, 100, 120, 120, 80};

namespace {

// A colour reference keeps red in the lowest byte, then green, then blue.
QColor FromColourReference(std::uint32_t colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace

CNewsTableModel::CNewsTableModel(const CNewsList& list, const CSysData& settings, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_settings(settings) {}

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
    return FromColourReference(m_settings.CategoryColour(slot));
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

CTD_ListView::CTD_ListView(CFeedStore& store, const CNodeMap& nodes, int listMode, QWidget* parent)
    : QTableView(parent),
      m_store(store),
      m_nodes(nodes),
      m_listMode(listMode),
      m_list(std::make_unique<CNewsList>(store, static_cast<INewsListListener*>(this))) {
    m_model = new CNewsTableModel(*m_list, store.Settings(), this);
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
}

CTD_ListView::~CTD_ListView() {
    // Stops the loader and joins it; it only posts to this thread, so this cannot deadlock.
    m_list.reset();
}

void CTD_ListView::ShowNode(const CKeywordNode& record, CNodeMap::Handle item) {
    std::vector<std::string> names;
    if (record.type == NODE_FOLDER) {
        names = m_nodes.NamesBelow(item);
    }
    if (m_list->RequestLoad(record, m_listMode, std::move(names))) {
        m_model->SetPublished(0);
    }
}

void CTD_ListView::Reload(const CKeywordNode& record, CNodeMap::Handle item) {
    // The loader only ever posts to this thread, so waiting for it here cannot deadlock; it
    // stops at its next row.
    m_list->Invalidate();
    m_list->WaitUntilIdle();
    ShowNode(record, item);
}

void CTD_ListView::PublishCount(int count) {
    QMetaObject::invokeMethod(
        this, [this, count] { m_model->SetPublished(count); }, Qt::QueuedConnection);
}

void CTD_ListView::ShowStatus(const std::string& text) {
    const QString message = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        this, [this, message] { emit StatusText(message); }, Qt::QueuedConnection);
}

void CTD_ListView::ShowItemPage(const QModelIndex& index) {
    const std::optional<CNewsRow> row = m_list->Row(index.row());
    if (!row) {
        return;
    }
    if (const std::optional<ItemPage> page = ReadItemPage(m_store, *row)) {
        emit PageReady(QString::fromStdString(page->html),
                       QUrl(QString::fromStdString(page->baseUrl)));
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
        if (const std::optional<std::string> link = ReadItemLink(m_store, *row)) {
            emit LinkOpened(QString::fromStdString(*link));
        }
    }
    emit PageRoomWanted();
}
