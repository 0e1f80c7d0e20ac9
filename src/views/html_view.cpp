#include "views/html_view.h"

#include <QWebEnginePage>
#include <QWebEngineSettings>

const char CTD_HtmlView::kStartPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quillon</title></head>"
    "<body style=\"font-family: sans-serif; background: #FFFFDF; color: #333; margin: 2em\">"
    "<h2 style=\"color: #990000\">欢迎使用 Quillon 新闻阅读器</h2>"
    "<p>在左边的频道树中点击一个频道或文件夹，它的新闻就会按发布时间列在上方；"
    "点击一条新闻，在这里阅读它的摘要；双击它，打开新闻的原文。</p>"
    "</body></html>";

namespace {

bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// The page the pane shows: either generated pages (the start page and item pages), which run
// no script, or web pages, which do. A page is one or the other for its whole life, so that
// no script is ever switched on under a generated document: a web address opens in a new page
// (CTD_HtmlView::UsePage). Neither kind ever leaves for a local file. A link followed out of
// a generated page leads only to an http or https address, which the pane then opens as a
// web page; any other link of it (javascript:, data:, ...) goes nowhere.
class GuardedPage : public QWebEnginePage {
public:
    GuardedPage(CTD_HtmlView* view, bool generated)
        : QWebEnginePage(view), m_view(view), m_generated(generated) {
        QWebEngineSettings* settings = this->settings();
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, !generated);
    }

    bool Generated() const { return m_generated; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (url.isLocalFile() || url.scheme() == QLatin1String("file")) {
            return false;
        }
        if (!m_generated) {
            return true;  // a web page's own links, as in any browser
        }
        const bool followed =
            type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted;
        if (!followed) {
            // The generated document itself, written (or brought back) as a data: address;
            // nothing else may replace it (a refresh written into a description, say).
            return !isMainFrame || url.scheme() == QLatin1String("data");
        }
        if (!IsWebAddress(url)) {
            return false;
        }
        if (isMainFrame) {
            // Opened in a web page of its own once this call has returned.
            QMetaObject::invokeMethod(
                m_view, [view = m_view, url] { view->Navigate2(url.toString()); },
                Qt::QueuedConnection);
            return false;
        }
        return true;
    }

private:
    CTD_HtmlView* const m_view;  // the parent, which outlives the page
    const bool m_generated;
};

}  // namespace

CTD_HtmlView::CTD_HtmlView(QWidget* parent) : QWebEngineView(parent) {
    setPage(new GuardedPage(this, true));
}

void CTD_HtmlView::UsePage(bool generated) {
    const auto* current = dynamic_cast<GuardedPage*>(page());
    if (current == nullptr || current->Generated() != generated) {
        // The view deletes the page it replaces, its child.
        setPage(new GuardedPage(this, generated));
    }
}

void CTD_HtmlView::OnInitialUpdate() {
    UsePage(true);
    setHtml(QString::fromUtf8(kStartPage), QUrl(QStringLiteral("about:blank")));
}

void CTD_HtmlView::Navigate2(const QString& address) {
    UsePage(false);
    setUrl(QUrl::fromUserInput(address));
}

void CTD_HtmlView::WriteHtml(const QString& html, const QUrl& baseUrl) {
    UsePage(true);
    // The base address is the item's link, never a local one: a generated page has no
    // standing to read files.
    const QUrl base = baseUrl.isValid() && !baseUrl.isLocalFile() ? baseUrl : QUrl("about:blank");
    setHtml(html, base);
}
