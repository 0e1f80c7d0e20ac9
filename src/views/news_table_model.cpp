#include "views/news_table_model.h"

#include <QColor>
#include <QFont>

#include "views/list_view.h"

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
    if (role != Qt::DisplayRole && role != Qt::BackgroundRole && role != Qt::FontRole &&
        role != Qt::ForegroundRole) {
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
    if (role == Qt::ForegroundRole) {
        // An untitled item's words stand in for its title: grey, not to be taken for one.
        if (row->untitled && index.column() == kColumnTitle) {
            return QColor(Qt::darkGray);
        }
        // A hidden item, listed because hidden items were asked for, is greyed whole.
        if (row->hidden) {
            return QColor(Qt::gray);
        }
        return {};
    }
    if (role == Qt::FontRole) {
        if (row->read) {
            return {};
        }
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    // A rule's colour stands before the age group's.
    if (!row->colour.empty()) {
        return QColor(QString::fromStdString(row->colour));
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
            return row->untitled ? data(index, Qt::DisplayRole).toString()
                                 : QString::fromStdString(row->storedTitle);
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

const char CNewsTableModel::kStarred[] = "★";
const char CNewsTableModel::kUnstarred[] = "☆";

void CNewsTableModel::StarsChanged(const std::vector<int>& rows) {
    for (int row : rows) {
        if (row < m_published) {
            emit headerDataChanged(Qt::Vertical, row, row);
        }
    }
}

QVariant CNewsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        const std::optional<CNewsRow> row =
            section < m_published ? m_list.Row(section) : std::nullopt;
        if (!row) {
            return {};
        }
        switch (role) {
            case Qt::DisplayRole:
                return QString::fromUtf8(row->starred ? kStarred : kUnstarred);
            case Qt::ForegroundRole:
                return row->starred ? QColor(224, 160, 0) : QColor(Qt::gray);
            case Qt::ToolTipRole:
                return QString::fromUtf8(row->starred ? "取消星标 (S)" : "星标 (S)");
            case Qt::TextAlignmentRole:
                return int(Qt::AlignCenter);
            default:
                return {};
        }
    }
    if (orientation == Qt::Horizontal && section >= 0 && section < kNewsColumnCount) {
        if (role == Qt::DisplayRole) {
            return QString::fromUtf8(CTD_ListView::kHeaders[section]);
        }
        // A column's first click sorts it ascending, whatever the style's habit.
        if (role == Qt::InitialSortOrderRole) {
            return int(Qt::AscendingOrder);
        }
    }
    return {};
}

void CNewsTableModel::SetPublished(int count) {
    beginResetModel();
    m_published = std::max(0, std::min(count, m_list.RowCount()));
    endResetModel();
}
