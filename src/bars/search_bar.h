#pragma once

#include <QWidget>
#include <map>
#include <string>

class QLineEdit;
class QPushButton;
class QTimer;

// The search bar, the row above the news list: four portal buttons that ask for a portal's
// home page in the browser pane, an address edit with "转到" (Enter does the same),
// 总列表 / 今日 / 报纸, which ask for the news-list place to show the full list, today's news
// or the newspaper view, the toggle 只看未读 (only unread news in the lists), and the field that
// searches the stored news: it asks for a search once typing pauses for kSearchDelayMs (Enter at
// once), and Esc or emptying it asks for the list it replaced. Window thread only.
class CTD_FormView : public QWidget {
    Q_OBJECT
public:
    // Control ids of the bar's buttons.
    enum Control : int {
        kAllNews = 1002,     // "总列表"
        kToday = 1003,       // "今日"
        kNewspaper = 1004,   // "报纸"
        kBaidu = 1005,       // "百度"
        kGoogle = 1006,      // "Google"
        kSohu = 1007,        // "搜狐"
        kYahoo = 1008,       // "雅虎"
        kGo = 1009,          // "转到"
        kUnreadOnly = 1010,  // "只看未读" (a toggle)
    };

    explicit CTD_FormView(QWidget* parent = nullptr);

    // Puts "http://" into the address edit, for the user to type the rest.
    void OnInitialUpdate();
    // Shows the address of the page the browser pane shows ("http://" for a page without
    // one), unless the user has typed in the edit since it last showed or opened an address.
    void ShowAddress(const QString& address);

    QLineEdit* AddressEdit() const { return m_address; }
    QLineEdit* SearchEdit() const { return m_search; }
    QPushButton* Button(int controlId) const;
    // Puts the keyboard focus in the search field, its text selected (Ctrl+F).
    void FocusSearch();
    // Shows the 只看未读 toggle pressed or not, without asking for anything.
    void ShowUnreadOnly(bool unreadOnly);

    static const char kAddressStart[];
    static const char kSearchPlaceholder[];
    static constexpr int kSearchDelayMs = 300;

signals:
    // A portal or the typed address, as it stands, for the browser pane.
    void PageRequested(const std::string& address);
    // A list mode (model/list_mode.h) for the news-list place.
    void ListModeRequested(int mode);
    // The stored news that hold `text`, in the news-list place.
    void SearchRequested(const QString& text);
    // The search is over: the list it replaced again.
    void SearchCleared();
    // The user turned 只看未读 on or off.
    void UnreadOnlyToggled(bool unreadOnly);

protected:
    // Enter on the bar or any of its controls but the search field opens the typed address.
    void keyPressEvent(QKeyEvent* event) override;
    // Enter and Esc in the search field.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* AddButton(int controlId, const char* text);
    void Go();
    // Asks for the search of the field's text, or for the end of the search when it is empty;
    // a text searched last is searched only `again`.
    void Search(bool again);

    QLineEdit* m_address = nullptr;  // control 1000
    QLineEdit* m_search = nullptr;
    QTimer* m_searchDelay = nullptr;  // single-shot, restarted by every edit
    QString m_searched;               // the text last searched for; empty while none
    std::map<int, QPushButton*> m_buttons;
};
