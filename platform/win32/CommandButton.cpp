#include "platform/CommandButton.h"

#include "platform/win32/Fatal.h"
#include "platform/win32/GdiFont.h"
#include "platform/win32/Natives.h"
#include "platform/win32/Text.h"

#include <algorithm>

namespace {

// Command identifiers of the buttons, clear of IDOK and IDCANCEL, which Enter and Esc send.
int nextButtonId() {
    static int id = 1000;
    return ++id;
}

} // namespace

CommandButton::Native::Native(CommandButton& control, Form::Native& form,
                              const std::string& caption, const RECT& box, int id)
    : control(control)
    , form(form)
    , caption(caption)
    , box(box)
    , id(id)
    , font(form.font) {}

void CommandButton::Native::create() {
    if (hwnd || !form.hwnd)
        return;
    const DWORD style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    const RECT device = form.toDevice(box);
    hwnd = CreateWindowExW(
        0, L"BUTTON", Text::wide(caption).value_or(L"").c_str(), style, device.left, device.top,
        device.right - device.left, device.bottom - device.top, form.hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) {
        // Before the message is put together, which may set another error.
        const DWORD error = GetLastError();
        Fatal::cannotMake("button \"" + caption + "\"", error);
    }
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GdiFont::of(font, form.dpi)), FALSE);
}

void CommandButton::Native::rescale() {
    if (!hwnd)
        return;
    const RECT device = form.toDevice(box);
    SetWindowPos(hwnd, nullptr, device.left, device.top, device.right - device.left,
                 device.bottom - device.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GdiFont::of(font, form.dpi)), TRUE);
}

CommandButton::CommandButton(Form& form, const std::string& caption, int left, int top, int width,
                             int height)
    : Control(form)
    , native_(std::make_unique<Native>(*this, form.native(), caption,
                                       RECT{left, top, left + width, top + height},
                                       nextButtonId())) {
    form.native().buttons.push_back(native_.get());
    native_->create();
}

CommandButton::~CommandButton() {
    leaveForm();
    Form::Native& form = native_->form;
    form.buttons.erase(std::remove(form.buttons.begin(), form.buttons.end(), native_.get()),
                       form.buttons.end());
    if (native_->hwnd)
        DestroyWindow(native_->hwnd);
}

// The default button wears the heavier frame that tells Enter presses it.
void CommandButton::markDefault(bool isDefault) {
    native_->isDefault = isDefault;
    if (native_->hwnd)
        SendMessageW(native_->hwnd, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                     TRUE);
}
