#include "platform/Image.h"

#include "platform/win32/Dpi.h"
#include "platform/win32/Natives.h"
#include "platform/win32/Resources.h"

#include <algorithm>
#include <vector>

Image::Native::Native(Image& control, Form::Native& form, const Picture& picture, int left, int top)
    : control(control)
    , form(form)
    , picture(picture)
    , left(left)
    , top(top) {}

RECT Image::Native::box() const {
    return {left, top, left + picture.width, top + picture.height};
}

// No smoothing: each picture pixel fills the block of device pixels its logical pixel covers,
// with hard edges (one device pixel at 96 dpi, 2 x 2 at 192). A GIF pixel is either opaque or
// its transparent colour.
void Image::Native::paint(Canvas& canvas, const RECT& area) {
    const int dpi = form.dpi;
    // The picture's column for each device column of area.
    std::vector<int> columns(static_cast<std::size_t>(std::max<LONG>(area.right - area.left, 0)));
    for (int x = area.left; x < area.right; ++x)
        columns[static_cast<std::size_t>(x - area.left)] = Dpi::logicalPixel(x, dpi) - left;
    GdiFlush();
    for (int y = area.top; y < area.bottom; ++y) {
        const std::uint32_t* source =
            picture.pixels.data() +
            static_cast<std::ptrdiff_t>(Dpi::logicalPixel(y, dpi) - top) * picture.width;
        std::uint32_t* target = canvas.row(y);
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t pixel = source[columns[static_cast<std::size_t>(x - area.left)]];
            const std::uint32_t alpha = pixel >> 24;
            if (alpha == 255) {
                target[x] = pixel & 0xFFFFFF;
            } else if (alpha != 0) {
                std::uint32_t mixed = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const std::uint32_t over = (pixel >> shift) & 0xFF;
                    const std::uint32_t under = (target[x] >> shift) & 0xFF;
                    mixed |= ((over * alpha + under * (255 - alpha) + 127) / 255) << shift;
                }
                target[x] = mixed;
            }
        }
    }
}

void Image::Native::mouseDown(int button, int shift, float x, float y) {
    control.MouseDown(button, shift, x, y);
}

void Image::Native::mouseMove(int button, int shift, float x, float y) {
    control.MouseMove(button, shift, x, y);
}

void Image::Native::mouseUp(int button, int shift, float x, float y) {
    control.MouseUp(button, shift, x, y);
}

// Only where the control stood and where it stands now are painted again.
void Image::Native::moveTo(int newLeft, int newTop) {
    if (newLeft == left && newTop == top)
        return;
    const RECT was = form.toDevice(box());
    left = newLeft;
    top = newTop;
    form.invalidate(was);
    form.invalidate(form.toDevice(box()));
}

Image::Image(Form& form, const char* picture, int left, int top)
    : Control(form)
    , native_(
          std::make_unique<Native>(*this, form.native(), Resources::picture(picture), left, top)) {
    form.native().adopt(*native_);
}

Image::~Image() {
    native_->form.release(*native_);
}

float Image::Left() const {
    return static_cast<float>(native_->left);
}

float Image::Top() const {
    return static_cast<float>(native_->top);
}

void Image::place(int left, int top) {
    native_->moveTo(left, top);
}

float Image::Width() const {
    return static_cast<float>(native_->picture.width);
}

float Image::Height() const {
    return static_cast<float>(native_->picture.height);
}
