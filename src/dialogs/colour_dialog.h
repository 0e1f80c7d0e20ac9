#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "store/sys_data.h"

class CTD_ColrefButton;

// "设置颜色": one swatch per age category. A click on a swatch opens the colour chooser at
// the swatch's colour; a colour chosen with OK is stored in the settings record at once, so
// the list shows it. Cancel puts back the colours the dialog opened with; OK keeps them (the
// settings dialog's own Cancel can still undo them). Window thread only.
class CTD_ColrefDlg : public QDialog {
    Q_OBJECT
public:
    // Edits the colours of `settings`, which outlives the dialog.
    explicit CTD_ColrefDlg(CSysData& settings, QWidget* parent = nullptr);

    // The swatch of row `row` (0 "今日新闻" ... 7 "早期新闻"), which is also its colour slot.
    CTD_ColrefButton* Swatch(int row) const { return m_swatches[static_cast<std::size_t>(row)]; }

    static const char* const kLabels[CSysData::kCategoryCount];

public slots:
    void reject() override;

private:
    void ChooseColour(int slot);

    CSysData& m_settings;
    // The colours as the dialog found them, for Cancel.
    std::array<std::uint32_t, CSysData::kCategoryCount> m_openingColours{};
    std::array<CTD_ColrefButton*, CSysData::kCategoryCount> m_swatches{};
};
