#pragma once

#include <QColor>
#include <QPushButton>
#include <cstdint>

class CSysData;

// A colour reference keeps red in the lowest byte, then green, then blue; the top byte is 0.
QColor FromColourReference(std::uint32_t colour);
std::uint32_t ToColourReference(const QColor& colour);

// A swatch of the colour dialog: a button without text that paints itself in the colour of
// one age category, read from the settings record at every paint, with a one-pixel black
// outline.
class CTD_ColrefButton : public QPushButton {
    Q_OBJECT
public:
    // `slot` is the category's colour slot in `settings` (0 today ... 7 early), which must
    // outlive the button.
    CTD_ColrefButton(const CSysData& settings, int slot, QWidget* parent = nullptr);

    int Slot() const { return m_slot; }
    QColor Colour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CSysData& m_settings;
    const int m_slot;
};
