#include "platform/qt/QtColour.h"

#include <QWidget>

void setPaletteColour(QWidget& widget, QPalette::ColorRole role, std::uint32_t colour) {
    QPalette palette = widget.palette();
    palette.setColor(role, QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    widget.setPalette(palette);
}
