#include "platform/CommandButton.h"

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
    , font(form.font ? form.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) {}

void CommandButton::Native::create() {
    if (hwnd || !form.hwnd)
        return;
    const DWORD style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    hwnd = CreateWindowExW(0, L"BUTTON", Text::wide(caption).c_str(), style, box.left, box.top,
                           box.right - box.left, box.bottom - box.top, form.hwnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// The default button wears the heavier frame that tells Enter presses it.
void CommandButton::Native::markDefault(bool value) {
    isDefault = value;
    if (hwnd)
        SendMessageW(hwnd, BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
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
    Form::Native& form = native_->form;
    form.buttons.erase(std::remove(form.buttons.begin(), form.buttons.end(), native_.get()),
                       form.buttons.end());
    if (form.defaultButton == this)
        form.defaultButton = nullptr;
    if (form.cancelButton == this)
        form.cancelButton = nullptr;
    if (native_->hwnd)
        DestroyWindow(native_->hwnd);
}

void CommandButton::setDefault(bool isDefault) {
    Form::Native& form = native_->form;
    if (isDefault) {
        if (form.defaultButton && form.defaultButton != this)
            form.defaultButton->native().markDefault(false);
        form.defaultButton = this;
    } else if (form.defaultButton == this) {
        form.defaultButton = nullptr;
    }
    native_->markDefault(isDefault);
}

void CommandButton::setCancel(bool isCancel) {
    Form::Native& form = native_->form;
    if (isCancel)
        form.cancelButton = this;
    else if (form.cancelButton == this)
        form.cancelButton = nullptr;
}
