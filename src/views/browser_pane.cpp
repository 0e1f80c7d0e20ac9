#include "views/browser_pane.h"

#include <QEventLoop>
#include <QPrinter>
#include <QTextBrowser>
#include <algorithm>

#include "views/html_view.h"

namespace {

constexpr qreal kFallbackFontPoints = 10;  // for a font the style gave in pixels

}  // namespace

CBrowserPane::CBrowserPane(QWidget* parent)
    : QStackedWidget(parent), m_startPage(new QTextBrowser(this)) {
    m_startPage->setFrameShape(QFrame::NoFrame);
    m_startPage->setContextMenuPolicy(Qt::NoContextMenu);
    m_startPage->setOpenLinks(false);
    const qreal points = m_startPage->font().pointSizeF();
    m_startFontPoints = points > 0 ? points : kFallbackFontPoints;
    addWidget(m_startPage);
    Show(m_startPage);
}

void CBrowserPane::Show(QWidget* page) {
    setCurrentWidget(page);
    // F6 and a click on the pane reach the page it shows.
    setFocusProxy(page);
}

void CBrowserPane::ShowStartPage() {
    if (m_view) {
        m_view->OnInitialUpdate();
        return;
    }
    m_startPage->setHtml(QString::fromUtf8(CTD_HtmlView::kStartPage));
    Show(m_startPage);
}

CTD_HtmlView* CBrowserPane::View() {
    if (!m_view) {
        m_view = new CTD_HtmlView(this);
        connect(m_view, &CTD_HtmlView::AddressShown, this, &CBrowserPane::AddressShown);
        connect(m_view, &CTD_HtmlView::ItemLinkClicked, this, &CBrowserPane::ItemLinkClicked);
        m_view->SetZoom(m_zoom);
        // The generated pages start with the start page, as they did when the engine showed
        // it: back from a first web page leads to it.
        m_view->OnInitialUpdate();
        addWidget(m_view);
        const bool hadFocus = m_startPage->hasFocus();
        Show(m_view);
        if (hadFocus) {
            m_view->setFocus();
        }
        emit ViewMade(m_view);
    }
    return m_view;
}

void CBrowserPane::Navigate2(const QString& address) {
    View()->Navigate2(address);
}

void CBrowserPane::WriteHtml(const QString& html, const QUrl& baseUrl) {
    View()->WriteHtml(html, baseUrl);
}

void CBrowserPane::SetZoom(double factor) {
    m_zoom = std::clamp(factor, 0.25, 5.0);
    if (m_view) {
        m_view->SetZoom(m_zoom);
    }
    QFont font = m_startPage->font();
    font.setPointSizeF(m_startFontPoints * m_zoom);
    m_startPage->document()->setDefaultFont(font);
}

void CBrowserPane::Print(QPrinter* printer) {
    if (currentWidget() == m_startPage) {
        m_startPage->print(printer);
        return;
    }
    // The engine prints in its own time; the caller (a preview among them) wants it done.
    QEventLoop loop;
    connect(m_view, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
    m_view->print(printer);
    loop.exec();
}
