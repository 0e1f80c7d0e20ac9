#pragma once

#include <QUrl>
#include <QWebEngineView>
#include <string>

class QMenu;

// The browser pane. It shows the built-in start page, pages the user navigates to, and the
// generated pages (item pages, the newspaper). A generated page runs no script and can reach
// no local file: its base address is the item's own link, and the pane never follows a file:
// address. A link followed out of it opens its page with scripts, like any page the user
// navigates to, and only when it leads to an http or https address: any other link of a
// generated page (javascript: among them) does nothing. Scripts are never switched on under a
// generated page: web pages are shown in a page object of their own. A link to an item page
// ("quillon-item:", see model/item_link.h) is not loaded: the pane announces the item instead.
//
// Its context menu is the program's own: 后退, 前进, 重新加载, 复制链接, 在系统浏览器中打开 and
// 复制. Alt+Left and Alt+Right go back and forward anywhere in the window.
class CTD_HtmlView : public QWebEngineView {
    Q_OBJECT
public:
    explicit CTD_HtmlView(QWidget* parent = nullptr);

    // Shows the start page.
    void OnInitialUpdate();
    // Loads a web page; its scripts run as in any browser.
    void Navigate2(const QString& address);
    // Replaces what the pane shows by a generated page.
    void WriteHtml(const QString& html, const QUrl& baseUrl);

    // The zoom of every page the pane shows, generated or web (1.0 for none, 0.25 to 5.0). It
    // holds for every page loaded after it, whatever site the page comes from.
    void SetZoom(double factor);
    double Zoom() const { return m_zoom; }

    // Makes the item links' scheme known to the browser engine. Called once, before the
    // application object is made (CQuillonApp does it).
    static void RegisterItemLinkScheme();

    // The context menu for a point over `link` (empty: over no link); the caller owns it.
    QMenu* CreateChineseMenu(const QUrl& link);

    static const char kStartPage[];

signals:
    // The address of what the pane shows now, whenever it changes: a web page's address, or
    // an empty text for a generated page (which has none the user could open again).
    void AddressShown(const QString& address);
    // A link to the item page of the stored item `id` was followed.
    void ItemLinkClicked(long long id);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Back and forward through the shown page's history, and from the first web page back to
    // the generated page it was reached from (and forward again).
    void GoBack();
    void GoForward();
    bool CanGoBack() const;
    bool CanGoForward() const;
    void AddHistoryKeys();
    // Shows the page for generated pages (no script) or the one for web pages.
    void UsePage(bool generated);

    QWebEnginePage* const m_generatedPage;  // children of the view, alive as long as it is
    QWebEnginePage* const m_webPage;
    // Whether GoForward leaves the generated page for the web page GoBack left.
    bool m_webPageAhead = false;
    double m_zoom = 1.0;
};
