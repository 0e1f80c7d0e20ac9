#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <atomic>
#include <memory>

#include "model/news_loader.h"
#include "model/node_map.h"

// The rows of a CNewsList as a table: as many rows as the loader last published (never
// more than are stored), six columns, and each row's background in the colour of its age
// category, read from the settings when it is painted.
class CNewsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CNewsTableModel(const CNewsList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The loader published `count` rows (window thread).
    void SetPublished(int count);
    int Published() const { return m_published; }

private:
    const CNewsList& m_list;
    int m_published = 0;
};

// The news-list pane: a click on a tree node loads that channel's or folder's news in the
// background; a click on a row shows the item's page in the browser pane, a double click
// opens the item's own address there.
class CTD_ListView : public QTableView, private INewsListListener {
    Q_OBJECT
public:
    explicit CTD_ListView(QWidget* parent = nullptr);
    ~CTD_ListView() override;

    // Loads the news of the clicked node (a request while a load runs stops that load and
    // is itself dropped). `item` is the tree item, for the names below a folder.
    void ShowNode(const CKeywordNode& record, CNodeMap::Handle item);

    CNewsList& List() { return *m_list; }
    CNewsTableModel& Model() { return *m_model; }

    // Column headers and widths in pixels.
    static const char* const kHeaders[6];
    static const int kWidths[6];

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void PublishCount(int count) override;
    void ShowStatus(const std::string& text) override;
    void ShowItemPage(const QModelIndex& index);
    void OpenItemLink(const QModelIndex& index);

    std::unique_ptr<CNewsList> m_list;
    CNewsTableModel* m_model = nullptr;
};

// The list now in the news-list place, or null when the place shows another view.
extern CTD_ListView* g_pListView;

// What the news-list place shows (model/list_mode.h), kListModeAll at start: set by the main
// window's SwitchListPane, handed by the list to every load it requests. Window thread only.
extern std::atomic<int> g_nListMode;
