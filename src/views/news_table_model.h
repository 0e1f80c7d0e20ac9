#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "model/news_loader.h"
#include "store/sys_data.h"

// The rows of a CNewsList as a table: as many rows as the loader last published (never
// more than are stored), six columns, each row's background in the colour of its age
// category, read from the settings when it is painted, and unread rows in bold. The vertical
// header is the star column: a filled star for a starred row, an empty one for the others.
class CNewsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    CNewsTableModel(const CNewsList& list, const CSysData& settings, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The loader published `count` rows (window thread).
    void SetPublished(int count);
    int Published() const { return m_published; }
    // The rows at `rows` changed their read state (window thread).
    void RowsChanged(const std::vector<int>& rows);
    // The rows at `rows` gained or lost their star (window thread).
    void StarsChanged(const std::vector<int>& rows);
    static const char kStarred[];    // ★
    static const char kUnstarred[];  // ☆
    // The whole text of a cell, where its field may have lost its end (titles and channel
    // names longer than a row field holds); the cell's text elsewhere.
    QString FullText(const QModelIndex& index) const;

private:
    const CNewsList& m_list;
    const CSysData& m_settings;
    int m_published = 0;
};
