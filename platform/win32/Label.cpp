#include "platform/Label.h"

#include "platform/StdFont.h"
#include "platform/win32/GdiFont.h"
#include "platform/win32/Natives.h"
#include "platform/win32/Resources.h"
#include "platform/win32/Text.h"

Label::Native::Native(Label& control, Form::Native& form, const std::string& caption,
                      const RECT& box)
    : control(control)
    , form(form)
    , caption(caption)
    , logicalBox(box)
    , foreColor(GetSysColor(COLOR_BTNTEXT))
    , font(form.font) {}

// Opaque, in the form's background colour, with the caption on one line centred across the
// box, from its top edge, in the font at the form's scale. GDI colours are 0x00BBGGRR like the
// form's.
void Label::Native::paint(Canvas& canvas, const RECT& area) {
    HDC dc = canvas.dc();
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    const RECT device = form.toDevice(logicalBox);
    SetDCBrushColor(dc, form.owner.BackColor());
    FillRect(dc, &device, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SelectObject(dc, GdiFont::of(font, form.dpi));
    SetTextColor(dc, foreColor);
    SetBkMode(dc, TRANSPARENT);
    RECT text = device;
    const std::wstring wide = Text::wide(caption).value_or(L"");
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    RestoreDC(dc, saved);
}

// The cursors are made for the form's scale, as the system's own are.
HCURSOR Label::Native::cursor() const {
    return pointer.empty() ? nullptr : Resources::cursor(pointer.c_str(), form.dpi);
}

void Label::Native::mouseDown(int button, int shift, float x, float y) {
    control.MouseDown(button, shift, x, y);
}

void Label::Native::mouseUp(int button, int shift, float x, float y) {
    control.MouseUp(button, shift, x, y);
}

Label::Label(Form& form, const std::string& caption, int left, int top, int width, int height)
    : Control(form)
    , native_(std::make_unique<Native>(*this, form.native(), caption,
                                       RECT{left, top, left + width, top + height})) {
    form.native().adopt(*native_);
}

Label::~Label() {
    native_->form.release(*native_);
}

std::string Label::Caption() const {
    return native_->caption;
}

void Label::setCaption(const std::string& caption) {
    native_->caption = caption;
    native_->form.invalidate(native_->form.toDevice(native_->logicalBox));
}

std::uint32_t Label::ForeColor() const {
    return native_->foreColor;
}

void Label::setForeColor(std::uint32_t colour) {
    native_->foreColor = colour;
    native_->form.invalidate(native_->form.toDevice(native_->logicalBox));
}

void Label::setFont(const StdFont& font) {
    native_->font = font;
    native_->form.invalidate(native_->form.toDevice(native_->logicalBox));
}

void Label::setMouseIcon(const char* cursor) {
    native_->pointer = cursor;
    // Loaded now, so that a cursor missing from the executable ends the program at start rather
    // than at the first hover.
    Resources::cursor(cursor, native_->form.dpi);
}
