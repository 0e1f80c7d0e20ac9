#include "views/list_view.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QToolTip>

#include "base/ascii.h"
#include "feeds/feed_store.h"
#include "model/item_page.h"
#include "store/statements.h"

const char* const CTD_ListView::kHeaders[6] = {"新闻发布", "新闻标题", "新闻频道",
                                               "发布日期", "新闻作者", "新闻来源"};
const int CTD_ListView::kWidths[6] = {80, 250, 100, 120, 120, 80};

namespace {

// How often a request waiting for the running load to stop looks again.
constexpr int kRetryMs = 20;

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
    if (role != Qt::DisplayRole && role != Qt::BackgroundRole && role != Qt::FontRole) {
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
    if (role == Qt::FontRole) {
        if (row->read) {
            return {};
        }
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    const int slot = CategoryColourSlot(RowAgeCategory(*row));
    return FromColourReference(m_settings.CategoryColour(slot));
}

QString CNewsTableModel::FullText(const QModelIndex& index) const {
    const std::optional<CNewsRow> row = m_list.Row(index.row());
    if (!row) {
        return {};
    }
    switch (index.column()) {
        case kColumnTitle:
            return QString::fromStdString(row->storedTitle);
        case kColumnChannel:
            return QString::fromStdString(row->channelName);
        default:
            return data(index, Qt::DisplayRole).toString();
    }
}

void CNewsTableModel::RowsChanged(const std::vector<int>& rows) {
    for (int row : rows) {
        if (row < m_published) {
            emit dataChanged(index(row, 0), index(row, kNewsColumnCount - 1), {Qt::FontRole});
        }
    }
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
    m_retry = new QTimer(this);
    m_retry->setInterval(kRetryMs);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_list->IsBusy()) {
            m_list->Invalidate();
            return;
        }
        m_retry->stop();
        std::function<void()> request = std::move(m_waiting);
        m_waiting = nullptr;
        if (request) {
            request();
        }
    });
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
    // A request the list drops leaves what it shows; one it takes replaces it.
    const bool busy = m_list->IsBusy();
    if (m_list->RequestLoad(record, m_listMode, std::move(names))) {
        m_model->SetPublished(0);
    }
    if (!busy) {
        m_showsSearch = false;
    }
}

void CTD_ListView::ShowNodeWhenIdle(const CKeywordNode& record, CNodeMap::Handle item) {
    RunWhenIdle([this, record, item] { ShowNode(record, item); });
}

void CTD_ListView::ShowSearch(const QString& typed) {
    const std::string text = typed.toStdString();
    RunWhenIdle([this, text] {
        if (m_list->RequestSearch(text)) {
            m_model->SetPublished(0);
            m_showsSearch = true;
        }
    });
}

void CTD_ListView::RunWhenIdle(std::function<void()> request) {
    m_list->Invalidate();
    if (!m_list->IsBusy()) {
        m_retry->stop();
        m_waiting = nullptr;
        request();
        return;
    }
    // Only the last request waits: the ones before it are outdated by it.
    m_waiting = std::move(request);
    m_retry->start();
}

void CTD_ListView::LoadFinished() {
    QMetaObject::invokeMethod(
        this, [this] { emit LoadEnded(); }, Qt::QueuedConnection);
}

bool CTD_ListView::SelectNextUnread() {
    const int count = m_model->Published();
    // The current row counts while it is unread: it may have become current without being
    // shown (the view makes the first row current when it gains the focus).
    const int first = currentIndex().isValid() ? currentIndex().row() : 0;
    for (int row = first; row < count; ++row) {
        const std::optional<CNewsRow> news = m_list->Row(row);
        if (news && !news->read) {
            const QModelIndex found = m_model->index(row, kColumnTitle);
            setCurrentIndex(found);
            scrollTo(found);
            ShowItemPage(found);
            return true;
        }
    }
    return false;
}

void CTD_ListView::MarkChannelsRead(const std::vector<std::string>& names) {
    m_model->RowsChanged(m_list->MarkRowsRead([&names](const CNewsRow& row) {
        for (const std::string& name : names) {
            if (EqualsIgnoreAsciiCase(name, row.channelName)) {
                return true;
            }
        }
        return false;
    }));
}

void CTD_ListView::MarkEverythingRead() {
    m_model->RowsChanged(m_list->MarkRowsRead([](const CNewsRow&) { return true; }));
}

void CTD_ListView::MarkRead(const CNewsRow& row) {
    if (row.read || row.itemId < 0) {
        return;
    }
    if (m_store.Execute(SqlMarkItemRead(row.itemId)) < 0) {
        return;
    }
    const std::int64_t id = row.itemId;
    m_model->RowsChanged(
        m_list->MarkRowsRead([id](const CNewsRow& other) { return other.itemId == id; }));
    emit ItemRead();
}

void CTD_ListView::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        OpenItemLink(currentIndex());
        return;
    }
    if (plain && (event->key() == Qt::Key_Space || event->key() == Qt::Key_N)) {
        event->accept();
        emit NextUnreadRequested();
        return;
    }
    const QModelIndex before = currentIndex();
    QTableView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    // Arrows, Page Up and Down, Home and End: the row the selection moved to is read.
    if (after.isValid() && after.row() != before.row()) {
        ShowItemPage(after);
    }
}

QModelIndex CTD_ListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd) {
        modifiers |= Qt::ControlModifier;
    }
    return QTableView::moveCursor(action, modifiers);
}

QString CTD_ListView::CutCellText(const QModelIndex& index) const {
    if (!index.isValid()) {
        return {};
    }
    const QString shown = m_model->data(index, Qt::DisplayRole).toString();
    const QString full = m_model->FullText(index);
    QFont font = this->font();
    font.setBold(m_model->data(index, Qt::FontRole).isValid());
    // The room a cell gives its text: its width less the margins the style keeps each side.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int room = visualRect(index).width() - 2 * margin;
    const bool cut = full != shown || QFontMetrics(font).horizontalAdvance(shown) > room;
    return cut ? full : QString();
}

bool CTD_ListView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QTableView::viewportEvent(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = CutCellText(index);
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    }
    return true;
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
        MarkRead(*row);
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
