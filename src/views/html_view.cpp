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

void AllowScripts(QWebEnginePage* page, bool allowed) {
    page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, allowed);
}

// A page that never leaves for a local file, whatever it shows. A link the user follows out
// of a generated page opens the article as a double click does, with its scripts: only the
// generated page itself runs none.
class GuardedPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (url.isLocalFile() || url.scheme() == QLatin1String("file")) {
            return false;
        }
        if (type == NavigationTypeLinkClicked && isMainFrame) {
            AllowScripts(this, true);
        }
        return true;
    }
};

}  // namespace

CTD_HtmlView::CTD_HtmlView(QWidget* parent) : QWebEngineView(parent) {
    auto* page = new GuardedPage(this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    setPage(page);
}

void CTD_HtmlView::OnInitialUpdate() {
    AllowScripts(page(), false);
    setHtml(QString::fromUtf8(kStartPage), QUrl(QStringLiteral("about:blank")));
}

void CTD_HtmlView::Navigate2(const QString& address) {
    AllowScripts(page(), true);
    setUrl(QUrl::fromUserInput(address));
}

void CTD_HtmlView::WriteHtml(const QString& html, const QUrl& baseUrl) {
    AllowScripts(page(), false);
    // The base address is the item's link, never a local one: a generated page has no
    // standing to read files.
    const QUrl base = baseUrl.isValid() && !baseUrl.isLocalFile() ? baseUrl : QUrl("about:blank");
    setHtml(html, base);
}
