#pragma once

#include "platform/ApiTypes.h"
#include "platform/StdFont.h"

#include <windows.h>

// The GDI font for a font as a window definition names it, at a window's scale, made once and
// kept for the life of the program. Sizes are in points; a point is 1/72 inch at dpi dots to
// the inch (96 as the definitions are laid out).
class GdiFont {
public:
    static HFONT of(const StdFont& font, int dpi);
};
