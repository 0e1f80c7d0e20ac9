#include "views/html_view.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <functional>
#include <optional>

#include "model/item_link.h"
#include "model/item_page.h"
#include "views/external_browser.h"

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
// generated page itself runs none. An item link goes to `onItemLink` and loads nothing.
class GuardedPage : public QWebEnginePage {
public:
    GuardedPage(std::function<void(long long)> onItemLink, QObject* parent)
        : QWebEnginePage(parent), m_onItemLink(std::move(onItemLink)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (const std::optional<long long> item =
                ItemIdOfLink(url.toString(QUrl::FullyEncoded).toStdString())) {
            m_onItemLink(*item);
            return false;
        }
        if (url.isLocalFile() || url.scheme() == QLatin1String("file")) {
            return false;
        }
        if (type == NavigationTypeLinkClicked && isMainFrame) {
            AllowScripts(this, true);
        }
        return true;
    }

private:
    std::function<void(long long)> m_onItemLink;
};

// Answers a request for an item link that reached the network side (a link in a frame, a
// resource): there is nothing to load.
class ItemLinkRefusal : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
    }
};

QByteArray ItemLinkScheme() {
    return QByteArray(kItemLinkScheme.data(), static_cast<qsizetype>(kItemLinkScheme.size()));
}

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// An address worth showing in the address box: what the user could type to see it again.
bool IsWebAddress(const QUrl& url) {
    return IsSafeLink(url.toString(QUrl::FullyEncoded).toStdString());
}

}  // namespace

CTD_HtmlView::CTD_HtmlView(QWidget* parent) : QWebEngineView(parent) {
    // Queued: the pane must not change its page inside the navigation request.
    auto* page = new GuardedPage(
        [this](long long id) {
            QMetaObject::invokeMethod(
                this, [this, id] { emit ItemLinkClicked(id); }, Qt::QueuedConnection);
        },
        this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    setPage(page);
    QWebEngineProfile* profile = page->profile();
    if (profile->urlSchemeHandler(ItemLinkScheme()) == nullptr) {
        profile->installUrlSchemeHandler(ItemLinkScheme(), new ItemLinkRefusal(profile));
    }
    connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        emit AddressShown(IsWebAddress(url) ? url.toString() : QString());
    });
    AddHistoryKeys();
}

void CTD_HtmlView::RegisterItemLinkScheme() {
    // An unknown scheme would be handed to the desktop, and only on a real click; a scheme of
    // the pane's own is navigated like any address, so the navigation guard sees every link.
    QWebEngineUrlScheme scheme(ItemLinkScheme());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void CTD_HtmlView::AddHistoryKeys() {
    const std::pair<QKeySequence, QWebEnginePage::WebAction> keys[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Left), QWebEnginePage::Back},
        {QKeySequence(Qt::ALT | Qt::Key_Right), QWebEnginePage::Forward},
    };
    for (const auto& [key, action] : keys) {
        auto* shortcut = new QAction(this);
        shortcut->setShortcut(key);
        shortcut->setShortcutContext(Qt::WindowShortcut);
        connect(shortcut, &QAction::triggered, this,
                [this, action = action] { triggerPageAction(action); });
        addAction(shortcut);
    }
}

QMenu* CTD_HtmlView::CreateChineseMenu(const QUrl& link) {
    auto* menu = new QMenu(this);
    QAction* goBack = menu->addAction(Utf8("后退"), this, [this] { back(); });
    goBack->setEnabled(history()->canGoBack());
    QAction* goForward = menu->addAction(Utf8("前进"), this, [this] { forward(); });
    goForward->setEnabled(history()->canGoForward());
    menu->addAction(Utf8("重新加载"), this, [this] { reload(); });
    menu->addSeparator();
    const bool onLink = link.isValid() && !link.isEmpty();
    QAction* copyLink = menu->addAction(
        Utf8("复制链接"), this, [link] { QGuiApplication::clipboard()->setText(link.toString()); });
    copyLink->setEnabled(onLink);
    // The link under the pointer, else the page itself; only a web address leaves the program.
    const QUrl target = onLink ? link : url();
    QAction* external = menu->addAction(Utf8("在系统浏览器中打开"), this, [target] {
        OpenInExternalBrowser(target.toString(QUrl::FullyEncoded).toStdString());
    });
    external->setEnabled(IsWebAddress(target));
    QAction* copy =
        menu->addAction(Utf8("复制"), this, [this] { triggerPageAction(QWebEnginePage::Copy); });
    copy->setEnabled(page()->hasSelection());
    return menu;
}

void CTD_HtmlView::contextMenuEvent(QContextMenuEvent* event) {
    const QWebEngineContextMenuRequest* request = lastContextMenuRequest();
    QMenu* menu = CreateChineseMenu(request ? request->linkUrl() : QUrl());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
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
