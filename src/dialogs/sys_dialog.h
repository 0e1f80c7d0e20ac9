#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "store/app_settings.h"
#include "store/sys_data.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "系统设置": retention days, maximum pages, items per page and the search engine of the
// settings record, the minutes between timed updates, and the "设置" button that opens the
// colour dialog. Beside the engine it shows each search service's most recent result. It
// opens with the settings' values; OK stores the five settings, Cancel leaves them as they
// were (colours are stored by the colour dialog as they are chosen). Window thread only.
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

    // The engine names in index order; the combo box's text is matched against them with
    // ASCII case ignored.
    static const char* const kEngineNames[CSysData::kEngineCount];
    // An edit's value: its first 15 characters read as a leading decimal number (no digits
    // give 0), then brought into [minimum, maximum] so that no setting can stall the engine
    // or empty the list.
    static int SettingFromText(const QString& text, int minimum, int maximum);

public slots:
    void accept() override;

private:
    QLineEdit* AddNumberEdit(int value);

    CSysData& m_settings;
    CAppSettings& m_moreSettings;
    QLineEdit* m_retention = nullptr;
    QLineEdit* m_maxPages = nullptr;
    QLineEdit* m_items = nullptr;
    QComboBox* m_engine = nullptr;
    QPushButton* m_colours = nullptr;
    QLineEdit* m_interval = nullptr;
    QLabel* m_results = nullptr;
};
