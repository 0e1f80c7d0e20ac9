#pragma once

#include <QUrl>
#include <QWebEngineView>
#include <string>

// The browser pane. It shows the built-in start page, pages the user navigates to, and the
// generated item pages. A generated page runs no script and can reach no local file: its
// base address is the item's own link, and the pane never follows a file: address. A link
// followed out of it opens its page with scripts, like any page the user navigates to, and
// only when it leads to an http or https address: any other link of a generated page
// (javascript: among them) does nothing. Scripts are never switched on under a generated
// page: web pages are shown in a page object of their own.
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

    static const char kStartPage[];

private:
    // Makes the pane show a page for generated pages (no script) or for web pages, replacing
    // the current one if it is of the other kind.
    void UsePage(bool generated);
};
