#pragma once

#include <QWidget>
#include <map>
#include <string>

class QPushButton;

// The link panel above the channel tree: five buttons, each asking for a fixed page in the
// browser pane. Window thread only.
class CTD_LeftFormView : public QWidget {
    Q_OBJECT
public:
    // Control ids of the panel's buttons.
    enum Control : int {
        kForum = 1002,     // "世界杯贴吧"
        kSchedule = 1003,  // "赛程表"
        kLive = 1004,      // "世界杯直播"
        kBoard = 1005,     // "世界杯论坛"
        kChat = 1006,      // "侃世界杯"
    };

    explicit CTD_LeftFormView(QWidget* parent = nullptr);

    QPushButton* Button(int controlId) const;
    // The page button `controlId` opens, with the hosts of the services configuration.
    static std::string PageAddress(int controlId);

signals:
    // A button asked for the page at `address`.
    void PageRequested(const std::string& address);

private:
    std::map<int, QPushButton*> m_buttons;
};
