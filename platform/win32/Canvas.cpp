#include "platform/win32/Canvas.h"

#include <algorithm>

Canvas::Canvas(int width, int height)
    : width_(std::max(width, 1))
    , height_(std::max(height, 1)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_)
        return;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_ || !bits)
        return;
    bits_ = static_cast<std::uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
    if (previous_)
        SelectObject(dc_, previous_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
}

void Canvas::fill(const RECT& area, std::uint32_t colour) {
    const std::uint32_t pixel =
        ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    const int left = std::max<int>(area.left, 0), right = std::min<int>(area.right, width_);
    const int top = std::max<int>(area.top, 0), bottom = std::min<int>(area.bottom, height_);
    if (left >= right)
        return;
    GdiFlush();
    for (int y = top; y < bottom; ++y)
        std::fill(row(y) + left, row(y) + right, pixel);
}
