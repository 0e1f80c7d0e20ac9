#include "bars/link_panel.h"

#include <QGridLayout>
#include <QPushButton>

#include "feeds/services_config.h"

namespace {

struct LinkButton {
    int controlId;
    const char* text;
    const char* serviceKey;  // the host, from the services configuration
    const char* path;        // path and query on that host
    int row;
    int column;
};

// The forum search is for the word 世界杯, percent-encoded in GBK as that site expects.
constexpr LinkButton kLinks[] = {
    {CTD_LeftFormView::kForum, "世界杯贴吧", "link.tieba",
     "/f?ct=&tn=&rn=&pn=&lm=&sc=&kw=%CA%C0%BD%E7%B1%AD&rs2=0&myselectvalue=1"
     "&word=%CA%C0%BD%E7%B1%AD&submit=%B0%D9%B6%C8%CB%D1%CB%F7&tb=on",
     0, 0},
    {CTD_LeftFormView::kSchedule, "赛程表", "link.schedule", "/2006.htm", 0, 1},
    {CTD_LeftFormView::kLive, "世界杯直播", "site.publisher",
     "/RSS_APPLICATION/worldcup_video.html", 1, 0},
    {CTD_LeftFormView::kBoard, "世界杯论坛", "site.publisher", "/RSS_DOCUMENT/BBSLIST/", 1, 1},
    {CTD_LeftFormView::kChat, "侃世界杯", "site.publisher", "/rss_chat/lb22/default.asp", 2, 0},
};

}  // namespace

CTD_LeftFormView::CTD_LeftFormView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    for (const LinkButton& link : kLinks) {
        auto* button = new QPushButton(QString::fromUtf8(link.text), this);
        button->setAutoDefault(false);
        layout->addWidget(button, link.row, link.column);
        m_buttons[link.controlId] = button;
        const int id = link.controlId;
        connect(button, &QPushButton::clicked, this,
                [this, id] { emit PageRequested(PageAddress(id)); });
    }
    layout->setRowStretch(3, 1);
    setFocusProxy(m_buttons.at(kForum));  // F6 to the panel lands on its first button
}

QPushButton* CTD_LeftFormView::Button(int controlId) const {
    const auto found = m_buttons.find(controlId);
    return found == m_buttons.end() ? nullptr : found->second;
}

std::string CTD_LeftFormView::PageAddress(int controlId) {
    for (const LinkButton& link : kLinks) {
        if (link.controlId == controlId) {
            return Services().Base(link.serviceKey) + link.path;
        }
    }
    return {};
}
