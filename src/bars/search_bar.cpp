#include "bars/search_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "feeds/services_config.h"
#include "model/list_mode.h"

const char CTD_FormView::kAddressStart[] = "http://";
const char CTD_FormView::kSearchPlaceholder[] = "搜索已存新闻";

namespace {

constexpr int kAddressCharacters = 511;
constexpr int kSearchCharacters = 255;
constexpr int kSearchWidth = 160;

struct Portal {
    int controlId;
    const char* text;
    const char* serviceKey;  // the portal's site, from the services configuration
};

constexpr Portal kPortals[] = {
    {CTD_FormView::kBaidu, "百度", "portal.baidu"},
    {CTD_FormView::kGoogle, "Google", "portal.google"},
    {CTD_FormView::kYahoo, "雅虎", "portal.yahoo"},
    {CTD_FormView::kSohu, "搜狐", "portal.sohu"},
};

}  // namespace

CTD_FormView::CTD_FormView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (const Portal& portal : kPortals) {
        const char* key = portal.serviceKey;
        // A portal's home page: its site with an empty path.
        connect(AddButton(portal.controlId, portal.text), &QPushButton::clicked, this,
                [this, key] { emit PageRequested(Services().Base(key)); });
    }
    m_address = new QLineEdit(QString::fromLatin1(kAddressStart), this);
    m_address->setMaxLength(kAddressCharacters);
    layout->addWidget(m_address, 1);
    setFocusProxy(m_address);  // F6 to the bar lands in the address
    connect(AddButton(kGo, "转到"), &QPushButton::clicked, this, &CTD_FormView::Go);
    connect(AddButton(kAllNews, "总列表"), &QPushButton::clicked, this,
            [this] { emit ListModeRequested(kListModeAll); });
    connect(AddButton(kToday, "今日"), &QPushButton::clicked, this,
            [this] { emit ListModeRequested(kListModeToday); });
    QPushButton* unreadOnly = AddButton(kUnreadOnly, "只看未读");
    unreadOnly->setCheckable(true);
    connect(unreadOnly, &QPushButton::toggled, this, &CTD_FormView::UnreadOnlyToggled);
    connect(AddButton(kNewspaper, "报纸"), &QPushButton::clicked, this,
            [this] { emit ListModeRequested(kListModeBook); });

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(QString::fromUtf8(kSearchPlaceholder));
    m_search->setMaxLength(kSearchCharacters);
    m_search->setClearButtonEnabled(true);
    m_search->setFixedWidth(kSearchWidth);
    m_search->installEventFilter(this);
    layout->addWidget(m_search);
    m_searchDelay = new QTimer(this);
    m_searchDelay->setSingleShot(true);
    m_searchDelay->setInterval(kSearchDelayMs);
    connect(m_searchDelay, &QTimer::timeout, this, [this] { Search(false); });
    connect(m_search, &QLineEdit::textChanged, this, [this] { m_searchDelay->start(); });
}

void CTD_FormView::FocusSearch() {
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void CTD_FormView::ShowUnreadOnly(bool unreadOnly) {
    const QSignalBlocker quiet(m_buttons[kUnreadOnly]);
    m_buttons[kUnreadOnly]->setChecked(unreadOnly);
}

void CTD_FormView::Search(bool again) {
    m_searchDelay->stop();
    const QString text = m_search->text().trimmed();
    if (text == m_searched && !again) {
        return;
    }
    m_searched = text;
    if (text.isEmpty()) {
        emit SearchCleared();
    } else {
        emit SearchRequested(text);
    }
}

bool CTD_FormView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Search(true);
            return true;  // not the address's Enter
        }
        if (key->key() == Qt::Key_Escape) {
            m_search->clear();
            Search(false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QPushButton* CTD_FormView::AddButton(int controlId, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setAutoDefault(false);
    // As narrow as the label allows, so that the address edit gets the rest of the row.
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 24);
    layout()->addWidget(button);
    m_buttons[controlId] = button;
    return button;
}

QPushButton* CTD_FormView::Button(int controlId) const {
    const auto found = m_buttons.find(controlId);
    return found == m_buttons.end() ? nullptr : found->second;
}

void CTD_FormView::OnInitialUpdate() {
    m_address->setText(QString::fromLatin1(kAddressStart));
}

void CTD_FormView::ShowAddress(const QString& address) {
    if (m_address->isModified()) {
        return;  // typed since the last address was shown or opened
    }
    m_address->setText(address.isEmpty() ? QString::fromLatin1(kAddressStart) : address);
    m_address->setCursorPosition(0);
}

void CTD_FormView::keyPressEvent(QKeyEvent* event) {
    // The edit and the buttons leave Enter to the bar.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Go();
    }
    QWidget::keyPressEvent(event);
}

void CTD_FormView::Go() {
    // The address goes to the pane exactly as typed: no scheme is added here.
    m_address->setModified(false);
    emit PageRequested(m_address->text().toStdString());
}
