#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <QUrl>
#include <memory>

#include "model/news_loader.h"
#include "model/node_map.h"
#include "store/sys_data.h"

class CFeedStore;

// The rows of a CNewsList as a table: as many rows as the loader last published (never
// more than are stored), six columns, and each row's background in the colour of its age
// category, read from the settings when it is painted.
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

private:
    const CNewsList& m_list;
    const CSysData& m_settings;
    int m_published = 0;
};

// The news-list pane: a click on a tree node loads that channel's or folder's news in the
// background; a click on a row announces the item's page for the browser pane, a double
// click the item's own address. The pane shows news in one list mode (model/list_mode.h),
// fixed for its life: the window puts a fresh pane in place for another mode.
class CTD_ListView : public QTableView, private INewsListListener {
    Q_OBJECT
public:
    // `store` is read for the rows, the pages and the colours; `nodes` gives the channels
    // below a folder. Both outlive the pane.
    CTD_ListView(CFeedStore& store, const CNodeMap& nodes, int listMode, QWidget* parent = nullptr);
    ~CTD_ListView() override;

    // Loads the news of the clicked node (a request while a load runs stops that load and
    // is itself dropped). `item` is the tree item, for the names below a folder.
    void ShowNode(const CKeywordNode& record, CNodeMap::Handle item);
    // Loads the node's news afresh: a load still running is stopped and waited for first, so
    // the request is never dropped.
    void Reload(const CKeywordNode& record, CNodeMap::Handle item);
    int ListMode() const { return m_listMode; }

    CNewsList& List() { return *m_list; }
    CNewsTableModel& Model() { return *m_model; }

    // Column headers and widths in pixels.
    static const char* const kHeaders[6];
    static const int kWidths[6];

signals:
    // A text for the status bar (the loader's progress and failures).
    void StatusText(const QString& text);
    // A generated page to show in the browser pane, with its base address.
    void PageReady(const QString& html, const QUrl& baseUrl);
    // An address to open in the browser pane.
    void LinkOpened(const QString& address);
    // The page wants room: a double click opened the item's own address in it.
    void PageRoomWanted();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void PublishCount(int count) override;
    void ShowStatus(const std::string& text) override;
    void ShowItemPage(const QModelIndex& index);
    void OpenItemLink(const QModelIndex& index);

    CFeedStore& m_store;
    const CNodeMap& m_nodes;
    const int m_listMode;
    std::unique_ptr<CNewsList> m_list;
    CNewsTableModel* m_model = nullptr;
};
