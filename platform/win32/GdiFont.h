#pragma once

#include "platform/ApiTypes.h"
#include "platform/StdFont.h"

#include <windows.h>

// The GDI font for a font as a window definition names it, made once and kept for the life of
// the program. Sizes are in points at 96 pixels to the inch, as the definitions are laid out.
class GdiFont {
public:
    static HFONT of(const StdFont& font);
};
