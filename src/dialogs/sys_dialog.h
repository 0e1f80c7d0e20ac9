#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "store/app_settings.h"
#include "store/sys_data.h"

class CProxyGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "系统设置" (its caption too): retention days, maximum pages, items per page and the search
// service of the settings record, the minutes between timed updates, each number with its
// unit beside it, and the "设置" button that opens the colour dialog. Under the service it
// shows each search service's most recent result. It opens with the settings' values; OK
// stores the five settings, Cancel leaves them as they were. A number outside its range is
// not stored: OK brings it into range in its edit, says so under the fields ("新闻保留时间
// 最大为 36500 天") and leaves the dialog open for the next OK; the note goes once the user
// has edited every value into range. Below them, "网络代理" (CProxyGroup): OK stores it
// in `moreSettings` but for its password, which the caller keeps (ProxyPassword); a manual
// proxy without host or with a port out of range is not stored and says why, as above. Colours show
// in the list as they are chosen; Cancel here puts back the colours the dialog opened with, so only
// OK keeps them. Window thread only.
class CTD_SysDlg : public QDialog {
    Q_OBJECT
public:
    // Edits `settings` and `moreSettings`, which outlive the dialog; `serviceResults` are the
    // services' most recent results in engine order (none shown where it has none).
    CTD_SysDlg(CSysData& settings, CAppSettings& moreSettings,
               const std::vector<std::string>& serviceResults, QWidget* parent = nullptr);

    QLineEdit* RetentionEdit() const { return m_retention; }  // control 1000
    QLineEdit* MaxPagesEdit() const { return m_maxPages; }    // control 1001
    QLineEdit* ItemsEdit() const { return m_items; }          // control 1003
    QComboBox* EngineBox() const { return m_engine; }         // control 1005
    QPushButton* ColourButton() const { return m_colours; }   // control 1002
    QLineEdit* IntervalEdit() const { return m_interval; }    // "自动更新间隔（分钟）"
    QLabel* ServiceResults() const { return m_results; }
    CProxyGroup* ProxyGroup() const { return m_proxy; }
    // The proxy's password, which the settings file never holds: shown as the dialog opens
    // (set before exec), and what the user left in it.
    void SetProxyPassword(const std::string& password);
    std::string ProxyPassword() const;

    // The engine names in index order; the combo box's text is matched against them with
    // ASCII case ignored.
    static const char* const kEngineNames[CSysData::kEngineCount];
    // An edit's value: its first 15 characters read as a leading decimal number (no digits
    // give 0), then brought into [minimum, maximum] so that no setting can stall the engine
    // or empty the list.
    static int SettingFromText(const QString& text, int minimum, int maximum);

    // Why the last OK left the dialog open: the values it brought into range.
    QLabel* Message() const { return m_message; }

public slots:
    void accept() override;
    void reject() override;

private:
    QLineEdit* AddNumberEdit(int value);
    // An edit whose value is outside its range: the value it is brought to, and the text
    // that says so ("新闻保留时间 最大为 36500 天").
    struct RangeFix {
        QLineEdit* edit;
        int value;
        QString text;
    };
    std::vector<RangeFix> OutOfRange() const;
    // Brings each edit's value into its range, writing it back to the edit; the texts that
    // say what was changed.
    QStringList BringIntoRange();

    CSysData& m_settings;
    CAppSettings& m_moreSettings;
    QLineEdit* m_retention = nullptr;
    QLineEdit* m_maxPages = nullptr;
    QLineEdit* m_items = nullptr;
    QComboBox* m_engine = nullptr;
    QPushButton* m_colours = nullptr;
    QLabel* m_message = nullptr;
    // The colours as the dialog found them, for Cancel.
    std::array<std::uint32_t, CSysData::kCategoryCount> m_openingColours{};
    QLineEdit* m_interval = nullptr;
    QLabel* m_results = nullptr;
    CProxyGroup* m_proxy = nullptr;
};
