#include "views/list_view.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolTip>
#include <algorithm>
#include <chrono>
#include <set>

#include "base/ascii.h"
#include "feeds/feed_store.h"
#include "model/item_page.h"
#include "store/star_statements.h"
#include "store/statements.h"
#include "views/list_menu.h"
#include "views/news_table_model.h"

const char* const CTD_ListView::kHeaders[6] = {"新闻发布", "新闻标题", "新闻频道",
                                               "发布日期", "新闻作者", "新闻来源"};
const int CTD_ListView::kWidths[6] = {80, 250, 100, 120, 120, 80};

namespace {

// How often a request waiting for the running load to stop looks again.
constexpr int kRetryMs = 20;

}  // namespace

CTD_ListView::CTD_ListView(CFeedStore& store, const CNodeMap& nodes, int listMode, QWidget* parent)
    : QTableView(parent),
      m_store(store),
      m_nodes(nodes),
      m_listMode(listMode),
      m_list(std::make_unique<CNewsList>(store, static_cast<INewsListListener*>(this))) {
    m_model = new CNewsTableModel(*m_list, store.Settings(), this);
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(fontMetrics().height() + 8);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->viewport()->installEventFilter(this);
    horizontalHeader()->setHighlightSections(false);
    // The view does not sort through the model: the rows are sorted in the list itself, so
    // that a row number means the same row everywhere (SortRows).
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    ShowSavedSort();
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &CTD_ListView::SortBy);
    for (int column = 0; column < kNewsColumnCount; ++column) {
        setColumnWidth(column, kWidths[column]);
    }
    connect(this, &QTableView::clicked, this, &CTD_ListView::ShowItemPage);
    m_menu = new CListMenu(*this);
    m_refreshDelay = new QTimer(this);
    m_refreshDelay->setSingleShot(true);
    m_refreshDelay->setInterval(kRefreshDelayMs);
    connect(m_refreshDelay, &QTimer::timeout, this, &CTD_ListView::Refresh);
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
    if ((m_refreshing || m_showsSearch) && m_list->IsBusy()) {
        // A refresh the user did not ask for never drops a request, nor does a search that
        // is still running: it is stopped instead.
        ShowNodeWhenIdle(record, item);
        return;
    }
    std::vector<std::string> names;
    if (record.type == NODE_FOLDER) {
        names = m_nodes.NamesBelow(item);
    }
    m_list->SetUnreadOnly(m_store.MoreSettings().Get(kUnreadOnlySetting) != 0);
    // A request the list drops leaves what it shows; one it takes replaces it.
    const bool busy = m_list->IsBusy();
    if (m_list->RequestLoad(record, m_listMode, std::move(names))) {
        m_model->SetPublished(0);
    }
    if (!busy) {
        m_showsSearch = false;
        m_refreshing = false;
        m_shownNode = record;
    }
}

void CTD_ListView::RefreshSoon() {
    if (!m_refreshDelay->isActive()) {
        m_refreshDelay->start();
    }
}

void CTD_ListView::Refresh() {
    if (m_showsSearch || m_shownNode.type == NODE_NONE || m_list->IsBusy()) {
        return;
    }
    m_list->SetUnreadOnly(m_store.MoreSettings().Get(kUnreadOnlySetting) != 0);
    std::vector<std::string> names;
    if (m_shownNode.type == NODE_FOLDER) {
        // By its ID: the item it was shown by may have been moved (and so replaced) since.
        names = m_nodes.NamesBelow(m_nodes.FindById(m_shownNode.id));
    }
    m_refreshing = m_list->RequestRefresh(m_shownNode, m_listMode, std::move(names));
}

void CTD_ListView::RefreshRead(std::uint64_t token, std::vector<CNewsRow> rows) {
    QMetaObject::invokeMethod(
        this,
        [this, token, rows = std::move(rows)]() mutable { ApplyRefresh(token, std::move(rows)); },
        Qt::QueuedConnection);
}

CTD_ListView::Place CTD_ListView::KeptPlace() const {
    Place place;
    for (const CNewsRow& row : SelectedRows()) {
        place.selected.insert(row.itemId);
    }
    place.current = currentIndex().isValid() ? m_list->Row(currentIndex().row()) : std::nullopt;
    place.column = std::max(currentIndex().column(), 0);
    return place;
}

QModelIndex CTD_ListView::RestorePlace(const Place& place, int count) {
    QItemSelection selection;
    QModelIndex newCurrent;
    for (int row = 0; row < count; ++row) {
        const std::optional<CNewsRow> news = m_list->Row(row);
        if (!news || news->itemId < 0) {
            continue;
        }
        if (place.selected.count(news->itemId) > 0) {
            selection.select(m_model->index(row, 0), m_model->index(row, kNewsColumnCount - 1));
        }
        if (place.current && news->itemId == place.current->itemId) {
            newCurrent = m_model->index(row, place.column);
        }
    }
    selectionModel()->setCurrentIndex(newCurrent, QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    return newCurrent;
}

void CTD_ListView::ShowSavedSort() {
    m_sort = CNewsSort::Load(m_store.MoreSettings());
    const QSignalBlocker quiet(horizontalHeader());
    horizontalHeader()->setSortIndicator(
        m_sort.Active() ? m_sort.column : -1,
        m_sort.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    SortRows();
}

void CTD_ListView::SortBy(int column, Qt::SortOrder order) {
    m_sort.column = column;
    m_sort.descending = order == Qt::DescendingOrder;
    m_sort.Save(m_store.MoreSettings());
    SortRows();
}

void CTD_ListView::SortRows() {
    if (!m_sort.Active() || m_list->IsBusy()) {
        return;  // a running load is sorted at its end
    }
    const Place place = KeptPlace();
    const int sideways = horizontalScrollBar()->value();
    bool moved = false;
    m_list->ReorderRows(
        [this, &moved](std::vector<CNewsRow>& rows) { moved = SortNewsRows(rows, m_sort); });
    if (!moved) {
        return;  // the rows in view stay (a refresh's rows came sorted)
    }
    m_model->SetPublished(m_model->Published());
    const QModelIndex current = RestorePlace(place, m_model->Published());
    if (current.isValid()) {
        scrollTo(current);
    } else {
        scrollToTop();
    }
    horizontalScrollBar()->setValue(sideways);
}

void CTD_ListView::ApplyRefresh(std::uint64_t token, std::vector<CNewsRow> rows) {
    m_refreshing = false;
    // What the user has before the rows change: the selected items, the current one, the
    // first row in view.
    const Place place = KeptPlace();
    const bool atTop = verticalScrollBar()->value() == 0;
    const std::optional<CNewsRow> top = m_list->Row(rowAt(0));
    const int sideways = horizontalScrollBar()->value();
    const int count = static_cast<int>(rows.size());
    SortNewsRows(rows, m_sort);
    if (!m_list->ReplaceRows(token, std::move(rows))) {
        return;
    }
    m_model->SetPublished(count);
    RestorePlace(place, count);
    QModelIndex newTop;
    for (int row = 0; top && row < count; ++row) {
        const std::optional<CNewsRow> news = m_list->Row(row);
        if (news && news->itemId >= 0 && news->itemId == top->itemId) {
            newTop = m_model->index(row, place.column);
            break;
        }
    }
    if (!atTop && newTop.isValid()) {
        scrollTo(newTop, QAbstractItemView::PositionAtTop);
    } else {
        scrollToTop();
    }
    horizontalScrollBar()->setValue(sideways);
}

void CTD_ListView::ShowNodeWhenIdle(const CKeywordNode& record, CNodeMap::Handle item) {
    RunWhenIdle([this, record, item] { ShowNode(record, item); });
}

void CTD_ListView::ShowSearch(const QString& typed) {
    const std::string text = typed.toStdString();
    RunWhenIdle([this, text] {
        if (m_list->RequestSearch(text, m_nodes.AllNames())) {
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
        this,
        [this] {
            // Sorted before anyone hears of the end, so that a next unread item that waited for
            // the load is the first in the order shown. The loader is about to be idle.
            m_list->WaitUntilIdleFor(std::chrono::milliseconds(50));
            SortRows();
            emit LoadEnded();
        },
        Qt::QueuedConnection);
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
            // Enter then opens the item the key moved to.
            setFocus(Qt::OtherFocusReason);
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

void CTD_ListView::NoteItemRead(std::int64_t id) {
    m_model->RowsChanged(
        m_list->MarkRowsRead([id](const CNewsRow& row) { return row.itemId == id; }));
}

void CTD_ListView::MarkRowsRead(const std::vector<CNewsRow>& rows) {
    std::set<std::int64_t> marked;
    for (const CNewsRow& row : rows) {
        if (!row.read && row.itemId >= 0 && m_store.Execute(SqlMarkItemRead(row.itemId)) >= 0) {
            marked.insert(row.itemId);
        }
    }
    if (marked.empty()) {
        return;
    }
    m_model->RowsChanged(m_list->MarkRowsRead(
        [&marked](const CNewsRow& other) { return marked.count(other.itemId) > 0; }));
    emit ItemRead();
}

void CTD_ListView::MarkRowsUnread(const std::vector<CNewsRow>& rows) {
    std::set<std::int64_t> marked;
    for (const CNewsRow& row : rows) {
        if (row.read && row.itemId >= 0 && m_store.Execute(SqlMarkItemUnread(row.itemId)) >= 0) {
            marked.insert(row.itemId);
        }
    }
    if (marked.empty()) {
        return;
    }
    m_model->RowsChanged(m_list->ChangeRows([&marked](CNewsRow& other) {
        const bool change = other.read && marked.count(other.itemId) > 0;
        other.read = other.read && !change;
        return change;
    }));
    emit ItemRead();
}

bool CTD_ListView::ToggleStars(const std::vector<CNewsRow>& rows) {
    const bool star =
        std::any_of(rows.begin(), rows.end(), [](const CNewsRow& row) { return !row.starred; });
    std::set<std::int64_t> changed;
    for (const CNewsRow& row : rows) {
        if (row.itemId >= 0 && row.starred != star &&
            m_store.Execute(star ? SqlStarItem(row.itemId) : SqlUnstarItem(row.itemId)) >= 0) {
            changed.insert(row.itemId);
        }
    }
    if (changed.empty()) {
        return false;
    }
    m_model->StarsChanged(m_list->ChangeRows([&changed, star](CNewsRow& other) {
        const bool change = other.starred != star && changed.count(other.itemId) > 0;
        other.starred = change ? star : other.starred;
        return change;
    }));
    if (changed.count(m_shownItem) > 0) {
        RewriteShownPage(m_shownItem);
    }
    emit StarsChanged();
    return true;
}

void CTD_ListView::RewriteShownPage(std::int64_t id) {
    CNewsRow row;
    row.itemId = id;
    const int count = m_model->Published();
    for (int index = 0; index < count; ++index) {
        if (const std::optional<CNewsRow> listed = m_list->Row(index);
            listed && listed->itemId == id) {
            row = *listed;
            break;
        }
    }
    if (const std::optional<ItemPage> page = ReadItemPage(m_store, row)) {
        emit PageReady(QString::fromStdString(page->html),
                       QUrl(QString::fromStdString(page->baseUrl)));
    }
}

bool CTD_ListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != verticalHeader()->viewport() ||
        (event->type() != QEvent::MouseButtonPress &&
         event->type() != QEvent::MouseButtonDblClick && event->type() != QEvent::MouseMove &&
         event->type() != QEvent::MouseButtonRelease)) {
        return QTableView::eventFilter(watched, event);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        const int row = verticalHeader()->logicalIndexAt(mouse->position().toPoint());
        if (const std::optional<CNewsRow> news =
                row >= 0 && row < m_model->Published() ? m_list->Row(row) : std::nullopt) {
            ToggleStars({*news});
        }
    }
    // The header's own handling would select rows.
    return true;
}

std::vector<CNewsRow> CTD_ListView::SelectedRows() const {
    std::set<int> indexes;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        indexes.insert(index.row());
    }
    if (indexes.empty() && currentIndex().isValid()) {
        indexes.insert(currentIndex().row());
    }
    std::vector<CNewsRow> rows;
    for (int index : indexes) {
        if (std::optional<CNewsRow> row = m_list->Row(index)) {
            rows.push_back(std::move(*row));
        }
    }
    return rows;
}

void CTD_ListView::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        OpenItemLink(currentIndex());
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        event->accept();
        m_menu->CopyTitlesAndLinks();
        return;
    }
    if (plain && event->key() == Qt::Key_S) {
        event->accept();
        ToggleStars(SelectedRows());
        return;
    }
    if (plain && event->key() == Qt::Key_U) {
        event->accept();
        MarkRowsUnread(SelectedRows());
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
    if ((action == MoveHome || action == MoveEnd) && m_model->rowCount() > 0) {
        const int column = std::max(currentIndex().column(), 0);
        return m_model->index(action == MoveHome ? 0 : m_model->rowCount() - 1, column);
    }
    return QTableView::moveCursor(action, modifiers);
}

void CTD_ListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int sideways = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(sideways);
}

void CTD_ListView::focusInEvent(QFocusEvent* event) {
    // The view makes the first row current when it gains the focus without a click, without
    // selecting or showing it; the row the keyboard is on is shown at once instead, so that
    // the first Down shows the second row after the first.
    QTableView::focusInEvent(event);
    if (event->reason() == Qt::MouseFocusReason || event->reason() == Qt::PopupFocusReason) {
        return;
    }
    QModelIndex current = currentIndex();
    if (!current.isValid()) {
        current = m_model->index(0, kColumnTitle);
    }
    const std::optional<CNewsRow> row =
        current.isValid() ? m_list->Row(current.row()) : std::nullopt;
    if (!row || (row->itemId >= 0 && row->itemId == m_shownItem)) {
        return;
    }
    selectionModel()->setCurrentIndex(
        current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(current);
    ShowItemPage(current);
}

void CTD_ListView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    QPoint at = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse) {
        // From the keyboard: under the current row, else at the list's corner.
        const QRect row = visualRect(currentIndex());
        at = viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0));
    } else if (indexAt(viewport()->mapFromGlobal(at)).isValid() == false) {
        return;
    }
    QMenu* menu = m_menu->Create(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
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
        m_shownItem = row->itemId;
        emit PageReady(QString::fromStdString(page->html),
                       QUrl(QString::fromStdString(page->baseUrl)));
        MarkRowsRead({*row});
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
