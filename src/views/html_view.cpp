#include "views/html_view.h"

#include <QAction>
#include <QAuthenticator>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QNetworkProxy>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <algorithm>
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

// The page the pane shows: either generated pages (the start page, item pages, the
// newspaper), which run no script, or web pages, which do. A page is one or the other for its
// whole life, so that no script is ever switched on under a generated document: the pane
// keeps one page of each kind and shows the one it needs (CTD_HtmlView::UsePage). Neither
// kind ever leaves for a local file. A link to an item page is not loaded: the pane announces
// the item. Any other link followed out of a generated page leads only to an http or https
// address, which the pane then opens in its web page; any other link of it (javascript:,
// data:, ...) goes nowhere.
class GuardedPage : public QWebEnginePage {
public:
    GuardedPage(CTD_HtmlView* view, bool generated)
        : QWebEnginePage(view), m_view(view), m_generated(generated) {
        QWebEngineSettings* settings = this->settings();
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, !generated);
        connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
                [this](const QUrl&, QAuthenticator* authenticator, const QString& host) {
                    AnswerProxy(authenticator, host);
                });
    }

private:
    // Chromium takes the application proxy's kind, host and port only: the user and password
    // of the proxy set in 系统设置 are given when it asks. They are given once: a proxy that
    // asks again rejected them, and is not asked again with the same ones (the page then
    // says the proxy refused), only once they have changed.
    void AnswerProxy(QAuthenticator* authenticator, const QString& host) {
        const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
        const QString answer = proxy.user() + QLatin1Char('\n') + proxy.password();
        if (proxy.user().isEmpty() || host.compare(proxy.hostName(), Qt::CaseInsensitive) != 0 ||
            answer == m_proxyAnswer) {
            return;
        }
        m_proxyAnswer = answer;
        authenticator->setUser(proxy.user());
        authenticator->setPassword(proxy.password());
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (const std::optional<long long> item =
                ItemIdOfLink(url.toString(QUrl::FullyEncoded).toStdString())) {
            // Queued: the pane must not change its page inside the navigation request.
            QMetaObject::invokeMethod(
                m_view, [view = m_view, id = *item] { emit view->ItemLinkClicked(id); },
                Qt::QueuedConnection);
            return false;
        }
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
        if (url.hasFragment() && url.adjusted(QUrl::RemoveFragment) == QUrl("about:blank")) {
            return true;  // a heading of the page itself (the newspaper's contents)
        }
        if (!IsHttpAddress(url)) {
            return false;
        }
        if (isMainFrame) {
            // Opened in the web page once this call has returned.
            QMetaObject::invokeMethod(
                m_view, [view = m_view, url] { view->Navigate2(url.toString()); },
                Qt::QueuedConnection);
            return false;
        }
        return true;
    }

private:
    static bool IsHttpAddress(const QUrl& url) {
        const QString scheme = url.scheme().toLower();
        return scheme == QLatin1String("http") || scheme == QLatin1String("https");
    }

    CTD_HtmlView* const m_view;  // the parent, which outlives the page
    const bool m_generated;
    QString m_proxyAnswer;  // the user and password last given to the proxy
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

CTD_HtmlView::CTD_HtmlView(QWidget* parent)
    : QWebEngineView(parent),
      m_generatedPage(new GuardedPage(this, true)),
      m_webPage(new GuardedPage(this, false)) {
    QWebEngineProfile* profile = m_generatedPage->profile();
    if (profile->urlSchemeHandler(ItemLinkScheme()) == nullptr) {
        profile->installUrlSchemeHandler(ItemLinkScheme(), new ItemLinkRefusal(profile));
    }
    for (QWebEnginePage* page : {m_generatedPage, m_webPage}) {
        connect(page, &QWebEnginePage::urlChanged, this, [this, page](const QUrl& url) {
            if (page == this->page()) {
                emit AddressShown(IsWebAddress(url) ? url.toString() : QString());
            }
        });
        // The engine keeps a zoom for each site: a page of another one starts at its own.
        connect(page, &QWebEnginePage::loadFinished, this, [this, page] {
            if (!qFuzzyCompare(page->zoomFactor(), m_zoom)) {
                page->setZoomFactor(m_zoom);
            }
        });
    }
    setPage(m_generatedPage);
    AddHistoryKeys();
}

void CTD_HtmlView::SetZoom(double factor) {
    m_zoom = std::clamp(factor, 0.25, 5.0);
    m_generatedPage->setZoomFactor(m_zoom);
    m_webPage->setZoomFactor(m_zoom);
}

void CTD_HtmlView::RegisterItemLinkScheme() {
    // An unknown scheme would be handed to the desktop, and only on a real click; a scheme of
    // the pane's own is navigated like any address, so the navigation guard sees every link.
    QWebEngineUrlScheme scheme(ItemLinkScheme());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void CTD_HtmlView::UsePage(bool generated) {
    QWebEnginePage* wanted = generated ? m_generatedPage : m_webPage;
    if (page() != wanted) {
        // The view does not own pages it was given: both stay, each with its own history. A
        // web page out of sight is discarded, as a browser discards a tab in the background:
        // its scripts, sounds and timers stop, and its renderer process (some 40 MB) ends
        // while the user reads item pages. Its history stays; shown again, it loads anew.
        if (!generated) {
            m_webPage->setLifecycleState(QWebEnginePage::LifecycleState::Active);
        }
        setPage(wanted);
        if (generated && !m_webPage->isVisible()) {
            m_webPage->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
            m_webPage->setLifecycleState(QWebEnginePage::LifecycleState::Discarded);
        }
    }
}

bool CTD_HtmlView::CanGoBack() const {
    return page()->history()->canGoBack() ||
           (page() == m_webPage && m_generatedPage->history()->count() > 0);
}

bool CTD_HtmlView::CanGoForward() const {
    return page()->history()->canGoForward() || (page() == m_generatedPage && m_webPageAhead);
}

void CTD_HtmlView::GoBack() {
    if (page()->history()->canGoBack()) {
        back();
    } else if (page() == m_webPage && m_generatedPage->history()->count() > 0) {
        // Out of the first web page, back to the generated page it was reached from. No page
        // loads, so nothing else tells the address box.
        UsePage(true);
        m_webPageAhead = true;
        emit AddressShown(QString());
    }
}

void CTD_HtmlView::GoForward() {
    if (page()->history()->canGoForward()) {
        forward();
    } else if (page() == m_generatedPage && m_webPageAhead) {
        UsePage(false);
        m_webPageAhead = false;
        emit AddressShown(IsWebAddress(url()) ? url().toString() : QString());
    }
}

void CTD_HtmlView::AddHistoryKeys() {
    const std::pair<QKeySequence, void (CTD_HtmlView::*)()> keys[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Left), &CTD_HtmlView::GoBack},
        {QKeySequence(Qt::ALT | Qt::Key_Right), &CTD_HtmlView::GoForward},
    };
    for (const auto& [key, go] : keys) {
        auto* shortcut = new QAction(this);
        shortcut->setShortcut(key);
        shortcut->setShortcutContext(Qt::WindowShortcut);
        connect(shortcut, &QAction::triggered, this, go);
        addAction(shortcut);
    }
}

QMenu* CTD_HtmlView::CreateChineseMenu(const QUrl& link) {
    auto* menu = new QMenu(this);
    QAction* goBack = menu->addAction(Utf8("后退"), this, &CTD_HtmlView::GoBack);
    goBack->setEnabled(CanGoBack());
    QAction* goForward = menu->addAction(Utf8("前进"), this, &CTD_HtmlView::GoForward);
    goForward->setEnabled(CanGoForward());
    menu->addAction(Utf8("重新加载"), this, [this] { reload(); });
    menu->addSeparator();
    const bool onLink = link.isValid() && !link.isEmpty();
    QAction* copyLink = menu->addAction(
        Utf8("复制链接"), this, [link] { QGuiApplication::clipboard()->setText(link.toString()); });
    copyLink->setEnabled(onLink);
    // The link under the pointer, else the page itself; only a web address leaves the program.
    const QUrl target = onLink ? link : url();
    QAction* external = menu->addAction(Utf8("在系统浏览器中打开"), this, [this, target] {
        OpenInExternalBrowserOrTell(this, target.toString(QUrl::FullyEncoded).toStdString());
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
    UsePage(true);
    setHtml(QString::fromUtf8(kStartPage), QUrl(QStringLiteral("about:blank")));
}

void CTD_HtmlView::Navigate2(const QString& address) {
    m_webPageAhead = false;
    UsePage(false);
    setUrl(QUrl::fromUserInput(address));
}

void CTD_HtmlView::WriteHtml(const QString& html, const QUrl& baseUrl) {
    m_webPageAhead = false;
    UsePage(true);
    // The base address is the item's link, never a local one: a generated page has no
    // standing to read files.
    const QUrl base = baseUrl.isValid() && !baseUrl.isLocalFile() ? baseUrl : QUrl("about:blank");
    setHtml(html, base);
}
