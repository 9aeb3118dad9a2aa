#pragma once

#include "platform/ApiTypes.h"

#include <windows.h>

#include <cstdint>

// A form's picture of its client area, drawn back to front and then copied to the window in one
// piece: a 32-bit top-down DIB section, one pixel per device pixel of the window, 0x00RRGGBB.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // False when the system could not make the device context or the bitmap: nothing may be
    // drawn on it then.
    bool ready() const { return bits_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    HDC dc() const { return dc_; }
    // Direct writes: call GdiFlush() first if GDI drew on the canvas since.
    std::uint32_t* row(int y) { return bits_ + static_cast<std::ptrdiff_t>(y) * width_; }
    // colour is 0x00BBGGRR, as the forms hold their colours.
    void fill(const RECT& area, std::uint32_t colour);

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};
