#pragma once

#include <QPalette>

#include <cstdint>

class QWidget;

// Sets role of widget's palette to colour, a colour value 0x00BBGGRR: red in the lowest byte,
// blue in the third.
void setPaletteColour(QWidget& widget, QPalette::ColorRole role, std::uint32_t colour);
