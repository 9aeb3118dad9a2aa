#include "platform/win32/GdiFont.h"

#include "platform/win32/Text.h"

#include <cmath>
#include <map>
#include <tuple>

namespace {

// The TrueType twin of a raster face, drawn to the same design at every size.
const std::map<std::string, std::string> scalableTwins = {
    {"MS Sans Serif", "Microsoft Sans Serif"}};

HFONT create(const std::string& face, LONG characterHeight, bool underline) {
    LOGFONTW description{};
    // A negative height asks for the character height, as a point size means it.
    description.lfHeight = -characterHeight;
    description.lfWeight = FW_NORMAL;
    description.lfUnderline = underline ? TRUE : FALSE;
    description.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = Text::wide(face).value_or(L"").substr(0, LF_FACESIZE - 1);
    name.copy(description.lfFaceName, name.size());
    return CreateFontIndirectW(&description);
}

// Whether `font` is a raster font without a size of that character height: it comes at the
// nearest size it has, which at twice the scale is one and a half times the text.
bool rasterOfAnotherSize(HFONT font, LONG characterHeight) {
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ before = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    const bool measured = GetTextMetricsW(dc, &metrics) != 0;
    SelectObject(dc, before);
    DeleteDC(dc);
    return measured && !(metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) &&
           metrics.tmHeight - metrics.tmInternalLeading != characterHeight;
}

} // namespace

HFONT GdiFont::of(const StdFont& font, int dpi) {
    static std::map<std::tuple<std::string, float, bool, int>, HFONT> fonts;
    auto [at, added] = fonts.try_emplace({font.Name, font.Size, font.Underline, dpi}, nullptr);
    if (added) {
        const LONG height = static_cast<LONG>(std::lround(font.Size * dpi / 72.0));
        at->second = create(font.Name, height, font.Underline);
        // MS Sans Serif is a raster font in sizes for 96 and 120 dots per inch (Wine 10 keeps
        // to it at any scale, where Wine 8 gave a TrueType face): at other scales its
        // TrueType twin keeps the text at the window's scale.
        const auto twin = scalableTwins.find(font.Name);
        if (twin != scalableTwins.end() && rasterOfAnotherSize(at->second, height)) {
            DeleteObject(at->second);
            at->second = create(twin->second, height, font.Underline);
        }
    }
    return at->second;
}
