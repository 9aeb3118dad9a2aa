#include "platform/Form.h"

#include "platform/win32/Dpi.h"
#include "platform/win32/Natives.h"

#include <vector>

// The form's painting: its outline at the window's scale, and its client area drawn back to
// front into the canvas.

namespace {

// The region with each rectangle's edges moved to where the logical edges land at dpi: every
// logical pixel inside it becomes the whole block of device pixels that shows it.
HRGN enlarged(HRGN region, int dpi) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<char> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    // Should the region be unreadable, the window goes uncut rather than invisible.
    if (size == 0 || GetRegionData(region, size, data) != size)
        return nullptr;
    auto* rects = reinterpret_cast<RECT*>(data->Buffer);
    DWORD kept = 0;
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        const RECT device = Dpi::toDevice(rects[i], dpi);
        if (device.left < device.right && device.top < device.bottom)
            rects[kept++] = device;
    }
    data->rdh.nCount = kept;
    data->rdh.nRgnSize = kept * sizeof(RECT);
    data->rdh.rcBound = Dpi::toDevice(data->rdh.rcBound, dpi);
    return ExtCreateRegion(nullptr, sizeof(RGNDATAHEADER) + kept * sizeof(RECT), data);
}

} // namespace

void Form::Native::invalidate(const RECT& area) {
    if (hwnd)
        InvalidateRect(hwnd, &area, FALSE);
}

RECT Form::Native::toDevice(const RECT& logical) const {
    return Dpi::toDevice(logical, dpi);
}

void Form::Native::setOutline(HRGN region) {
    if (outline)
        DeleteObject(outline);
    outline = region;
}

// The outline is in logical client pixels; the region Windows takes is in device pixels of
// the whole window, measured from its outer corner.
BOOL Form::Native::cutToOutline(bool redraw) {
    if (!outline)
        return ::SetWindowRgn(hwnd, nullptr, redraw ? TRUE : FALSE);
    HRGN region = enlarged(outline, dpi);
    if (!region)
        return ::SetWindowRgn(hwnd, nullptr, redraw ? TRUE : FALSE);
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    POINT client{0, 0};
    ClientToScreen(hwnd, &client);
    OffsetRgn(region, client.x - outer.left, client.y - outer.top);
    const BOOL result = ::SetWindowRgn(hwnd, region, redraw ? TRUE : FALSE);
    if (!result)
        DeleteObject(region);
    return result;
}

// Back to front into the canvas, then onto the window in one copy, so nothing flickers.
void Form::Native::paint() {
    PAINTSTRUCT ps;
    HDC target = BeginPaint(hwnd, &ps);
    const RECT client = toDevice(RECT{0, 0, owner.clientWidth_, owner.clientHeight_});
    if (!canvas || canvas->width() != client.right || canvas->height() != client.bottom)
        canvas = std::make_unique<Canvas>(client.right, client.bottom);
    if (!canvas->ready()) {
        // The system had no memory or handles for the canvas: this paint is skipped, and the
        // next one tries to make it again.
        canvas.reset();
        EndPaint(hwnd, &ps);
        return;
    }
    const RECT& area = ps.rcPaint;
    canvas->fill(area, owner.backColor_);
    for (Windowless* control : windowless) {
        RECT overlap;
        const RECT bounds = toDevice(control->box());
        if (IntersectRect(&overlap, &bounds, &area))
            control->paint(*canvas, overlap);
    }
    GdiFlush();
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top,
           canvas->dc(), area.left, area.top, SRCCOPY);
    EndPaint(hwnd, &ps);
}
