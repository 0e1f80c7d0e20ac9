#include "views/html_view.h"

#include <QWebEnginePage>
#include <QWebEngineSettings>

CTD_HtmlView* g_pHtmlView = nullptr;

const char CTD_HtmlView::kStartPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quillon</title></head>"
    "<body style=\"font-family: sans-serif; background: #FFFFDF; color: #333; margin: 2em\">"
    "<h2 style=\"color: #990000\">欢迎使用 Quillon 新闻阅读器</h2>"
    "<p>在左边的频道树中点击一个频道或文件夹，它的新闻就会按发布时间列在上方；"
    "点击一条新闻，在这里阅读它的摘要；双击它，打开新闻的原文。</p>"
    "</body></html>";

namespace {

void AllowScripts(QWebEnginePage* page, bool allowed) {
    page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, allowed);
}

bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// A page that never leaves for a local file, whatever it shows. A link the user follows out
// of a generated page opens the article as a double click does, with its scripts: only the
// generated page itself runs none. Such a link (or form) leads only to an http or https
// address; any other (javascript:, data:, file: ...) goes nowhere and switches nothing on.
class GuardedPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

    // Whether the page shows a generated page: set by WriteHtml, cleared by Navigate2.
    void SetGenerated(bool generated) { m_generated = generated; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (url.isLocalFile() || url.scheme() == QLatin1String("file")) {
            return false;
        }
        if (isMainFrame && url.scheme() == QLatin1String("data")) {
            // A generated page, also one the history brings back: it runs nothing.
            m_generated = true;
            AllowScripts(this, false);
            return true;
        }
        const bool followed =
            type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted;
        if (m_generated && followed && !IsWebAddress(url)) {
            return false;
        }
        if (followed && isMainFrame && IsWebAddress(url)) {
            m_generated = false;
            AllowScripts(this, true);
        }
        return true;
    }

private:
    bool m_generated = false;  // touched only on the window thread
};

void MarkGenerated(QWebEnginePage* page, bool generated) {
    if (auto* guarded = dynamic_cast<GuardedPage*>(page)) {
        guarded->SetGenerated(generated);
    }
}

}  // namespace

CTD_HtmlView::CTD_HtmlView(QWidget* parent) : QWebEngineView(parent) {
    auto* page = new GuardedPage(this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    setPage(page);
    g_pHtmlView = this;
}

CTD_HtmlView::~CTD_HtmlView() {
    if (g_pHtmlView == this) {
        g_pHtmlView = nullptr;
    }
}

void CTD_HtmlView::OnInitialUpdate() {
    MarkGenerated(page(), true);
    AllowScripts(page(), false);
    setHtml(QString::fromUtf8(kStartPage), QUrl(QStringLiteral("about:blank")));
}

void CTD_HtmlView::Navigate2(const QString& address) {
    MarkGenerated(page(), false);
    AllowScripts(page(), true);
    setUrl(QUrl::fromUserInput(address));
}

void CTD_HtmlView::WriteHtml(const QString& html, const QUrl& baseUrl) {
    MarkGenerated(page(), true);
    AllowScripts(page(), false);
    // The base address is the item's link, never a local one: a generated page has no
    // standing to read files.
    const QUrl base = baseUrl.isValid() && !baseUrl.isLocalFile() ? baseUrl : QUrl("about:blank");
    setHtml(html, base);
}

bool WriteHtmlToView(CTD_HtmlView* view, const std::string& html, const std::string& baseUrl) {
    if (view == nullptr) {
        return false;
    }
    view->WriteHtml(QString::fromStdString(html), QUrl(QString::fromStdString(baseUrl)));
    return true;
}
