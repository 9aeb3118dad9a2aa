#include "platform/win32/GdiFont.h"

#include "platform/win32/Text.h"

#include <cmath>
#include <map>
#include <tuple>

HFONT GdiFont::of(const StdFont& font, int dpi) {
    static std::map<std::tuple<std::string, float, bool, int>, HFONT> fonts;
    auto [at, added] = fonts.try_emplace({font.Name, font.Size, font.Underline, dpi}, nullptr);
    if (added) {
        LOGFONTW description{};
        // A negative height asks for the character height, as a point size means it.
        description.lfHeight = -static_cast<LONG>(std::lround(font.Size * dpi / 72.0));
        description.lfWeight = FW_NORMAL;
        description.lfUnderline = font.Underline ? TRUE : FALSE;
        description.lfCharSet = DEFAULT_CHARSET;
        const std::wstring name = Text::wide(font.Name).substr(0, LF_FACESIZE - 1);
        name.copy(description.lfFaceName, name.size());
        at->second = CreateFontIndirectW(&description);
    }
    return at->second;
}
