#include "dialogs/colour_swatch.h"

#include <QPainter>

#include "store/sys_data.h"

QColor FromColourReference(std::uint32_t colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

std::uint32_t ToColourReference(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
           static_cast<std::uint32_t>(rgb.blue()) << 16;
}

CTD_ColrefButton::CTD_ColrefButton(const CSysData& settings, int slot, QWidget* parent)
    : QPushButton(parent), m_settings(settings), m_slot(slot) {
    setMinimumSize(80, 16);
}

QColor CTD_ColrefButton::Colour() const {
    return FromColourReference(m_settings.CategoryColour(m_slot));
}

void CTD_ColrefButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Colour());
    // The outline's right and bottom edges fall on the last pixel row and column.
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
