#pragma once

#include <QStackedWidget>
#include <QString>
#include <QUrl>

class CTD_HtmlView;
class QPrinter;
class QTextBrowser;

// The browser pane as the window holds it. It shows the start page, drawn by Qt itself, until
// the first page that needs the browser engine (an item page, the newspaper, a web page); only
// then is the engine's view (CTD_HtmlView) made. The engine starts its helper processes with
// its first view, some 100 MB, so a window that has shown nothing but its start page has none.
// Once made, the view stays for the life of the pane.
//
// Window thread only.
class CBrowserPane : public QStackedWidget {
    Q_OBJECT
public:
    explicit CBrowserPane(QWidget* parent = nullptr);

    // What CTD_HtmlView does of the same name; the last two make the view first.
    void ShowStartPage();
    void Navigate2(const QString& address);
    void WriteHtml(const QString& html, const QUrl& baseUrl);

    // The zoom of every page the pane shows, the start page among them (1.0 for none).
    void SetZoom(double factor);
    double Zoom() const { return m_zoom; }

    // Prints what the pane shows now, and returns once it is printed.
    void Print(QPrinter* printer);

    // The engine's view, made (with the start page in it) if it was not yet.
    CTD_HtmlView* View();
    // The engine's view, or null while the pane has only shown its start page.
    CTD_HtmlView* MadeView() const { return m_view; }

signals:
    // As CTD_HtmlView's signals of the same names.
    void AddressShown(const QString& address);
    void ItemLinkClicked(long long id);
    // The engine's view was made now; it lives as long as the pane.
    void ViewMade(CTD_HtmlView* view);

private:
    void Show(QWidget* page);

    QTextBrowser* const m_startPage;  // children of the pane
    CTD_HtmlView* m_view = nullptr;
    double m_zoom = 1.0;
    qreal m_startFontPoints = 0;  // the start page's font at zoom 1.0
};
