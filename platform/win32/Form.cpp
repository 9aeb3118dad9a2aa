#include "platform/Form.h"

#include "platform/StdFont.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Fatal.h"
#include "platform/win32/Natives.h"
#include "platform/win32/Resources.h"
#include "platform/win32/Text.h"

namespace {

const wchar_t* const formClass = L"VardoForm";
// Posted by Unload: Unloaded is raised from the event loop, not inside the handler that unloaded
// the form.
const UINT unloadMessage = WM_APP + 1;
// Windows 10 1703 and later ask a per-monitor (v2) window for its size at a new scale before
// they suggest where it goes.
const UINT getDpiScaledSizeMessage = 0x02E4;

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* native = static_cast<Form::Native*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        native->hwnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(native));
        Dpi::scaleNonClientArea(window);
    }
    if (Form::Native* native = Form::Native::of(window))
        return native->handle(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

ATOM formClassAtom() {
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = formProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = formClass;
        return RegisterClassExW(&windowClass);
    }();
    return atom;
}

// Wine's ntdll has an export of its own that Windows' has not.
bool underWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

DWORD styleFor(BorderStyle borderStyle) {
    const DWORD style = WS_CLIPCHILDREN;
    if (borderStyle == BorderStyle::None)
        return style | WS_POPUP;
    return style | WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
}

// A tool window has no taskbar button; without a caption it looks like any other window.
DWORD exStyleFor(bool showInTaskbar) {
    return showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
}

} // namespace

Form::Native::Native(Form& owner)
    : owner(owner) {}

Form::Native::~Native() {
    if (hwnd) {
        // No message reaches the form while its window goes.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    if (outline)
        DeleteObject(outline);
}

Form::Native* Form::Native::of(HWND window) {
    if (!window || GetClassLongPtrW(window, GCW_ATOM) != formClassAtom())
        return nullptr;
    return reinterpret_cast<Native*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Made on the primary monitor at the session's scale; should the window's own scale differ
// there, it is laid out again at that scale before anything is drawn.
void Form::Native::create() {
    dpi = Dpi::system();
    const RECT outer = outerRect(dpi);
    // hwnd is set as the window is being made (WM_NCCREATE), for the messages sent meanwhile.
    hwnd = CreateWindowExW(exStyleFor(owner.showInTaskbar_), MAKEINTATOM(formClassAtom()),
                           Text::wide(owner.caption_).value_or(L"").c_str(),
                           styleFor(owner.borderStyle_), 0, 0, outer.right - outer.left,
                           outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                           this);
    if (!hwnd) {
        // Before the message is put together, which may set another error.
        const DWORD error = GetLastError();
        Fatal::cannotMake("window \"" + owner.caption_ + "\"", error);
    }
    if (const int own = Dpi::ofWindow(hwnd); own != dpi)
        rescale(own, POINT{0, 0});
    loadIcons();
    for (CommandButton::Native* button : buttons)
        button->create();
    for (Timer::Native* timer : timers)
        timer->apply();
}

RECT Form::Native::outerRect(int atDpi) const {
    const RECT client = Dpi::toDevice(RECT{0, 0, owner.clientWidth_, owner.clientHeight_}, atDpi);
    RECT outer = Dpi::outerRect(client, styleFor(owner.borderStyle_),
                                exStyleFor(owner.showInTaskbar_), atDpi);
    OffsetRect(&outer, -outer.left, -outer.top);
    return outer;
}

void Form::Native::rescale(int newDpi, POINT corner) {
    dpi = newDpi;
    const RECT outer = outerRect(dpi);
    SetWindowPos(hwnd, nullptr, corner.x, corner.y, outer.right, outer.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (outline)
        cutToOutline(true);
    for (CommandButton::Native* button : buttons)
        button->rescale();
    loadIcons();
    canvas.reset();
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Form::Native::loadIcons() {
    if (icon.empty() || !hwnd)
        return;
    const int big = Dpi::systemMetric(SM_CXICON, dpi);
    const int small = Dpi::systemMetric(SM_CXSMICON, dpi);
    SendMessageW(hwnd, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(Resources::icon(icon.c_str(), big)));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(Resources::icon(icon.c_str(), small)));
}

LRESULT Form::Native::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        // The paint covers every pixel.
        return 1;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        mouse(message, wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        captureLost(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_SETCURSOR:
        // Sent while the mouse message is being taken, so the message's own position is not
        // to be had yet: the pointer's is as good for choosing its shape.
        if (reinterpret_cast<HWND>(wParam) == hwnd && LOWORD(lParam) == HTCLIENT) {
            POINT client{};
            GetCursorPos(&client);
            ScreenToClient(hwnd, &client);
            if (const Windowless* control = hit(client); control && control->cursor()) {
                SetCursor(control->cursor());
                return TRUE;
            }
        }
        break;
    case WM_TIMER:
        for (Timer::Native* timer : timers) {
            if (timer->id() == wParam) {
                timer->control.Tick();
                break;
            }
        }
        return 0;
    case WM_COMMAND:
        command(LOWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !buttons.empty()) {
            focusButton();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        if (!buttons.empty()) {
            focusButton();
            return 0;
        }
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale, or the scale changed: laid out at the new one,
        // where the system suggests.
        RECT outer{};
        GetWindowRect(hwnd, &outer);
        POINT corner{outer.left, outer.top};
        if (const auto* suggested = reinterpret_cast<const RECT*>(lParam))
            corner = {suggested->left, suggested->top};
        rescale(HIWORD(wParam), corner);
        return 0;
    }
    case getDpiScaledSizeMessage: {
        // The size the window takes at that scale, so that the suggested rectangle is exact.
        const RECT outer = outerRect(static_cast<int>(wParam));
        *reinterpret_cast<SIZE*>(lParam) = {outer.right, outer.bottom};
        return TRUE;
    }
    case WM_CLOSE:
        owner.Form_QueryUnload();
        return 0;
    case unloadMessage:
        // Unloaded's handler may delete the form, and this native with it: nothing after this
        // line may touch either.
        owner.finishUnload();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Form::Native::command(int id) {
    CommandButton* button = nullptr;
    if (id == IDOK)
        button = owner.defaultButton_;
    else if (id == IDCANCEL)
        button = owner.cancelButton_;
    for (CommandButton::Native* native : buttons) {
        if (native->id == id)
            button = &native->control;
    }
    if (button)
        button->Click();
}

void Form::Native::focusButton() {
    for (CommandButton::Native* button : buttons) {
        if (button->hwnd) {
            SetFocus(button->hwnd);
            return;
        }
    }
}

Form::Form(Platform& platform)
    : platform_(platform)
    , native_(std::make_unique<Native>(*this))
    , backColor_(GetSysColor(COLOR_BTNFACE)) {}

Form::~Form() {
    destroyControls();
}

HWND Form::hWnd() const {
    return native_->hwnd;
}

void Form::loadWindow() {
    native_->create();
}

void Form::showWindow(bool first) {
    Native& native = *native_;
    if (first) {
        RECT outer{};
        GetWindowRect(native.hwnd, &outer);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& screen = monitor.rcMonitor;
        const PointApi corner = centredOn({screen.left, screen.top}, screen.right - screen.left,
                                          screen.bottom - screen.top, outer.right - outer.left,
                                          outer.bottom - outer.top);
        SetWindowPos(native.hwnd, nullptr, corner.x, corner.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (underWine() && GetForegroundWindow() != native.hwnd) {
        // Wine 8 activates a window that is already on the screen only in its own books and
        // asks the X window manager for nothing; a window mapped anew is given the focus.
        ShowWindow(native.hwnd, SW_HIDE);
    }
    ShowWindow(native.hwnd, SW_SHOW);
    SetForegroundWindow(native.hwnd);
}

void Form::hideWindow() {
    if (native_->hwnd)
        ShowWindow(native_->hwnd, SW_HIDE);
}

// Posted to the form's own window: it goes with the form, and the message with it.
void Form::finishUnloadLater() {
    if (native_->hwnd)
        PostMessageW(native_->hwnd, unloadMessage, 0, 0);
}

// Left and Top are logical: the window's device position over its scale. Only differences
// of them mean anything (a drag adds the pointer's move to them), and a difference converts
// back to the very device pixels it came from.
float Form::Left() const {
    RECT outer{};
    GetWindowRect(native_->hwnd, &outer);
    return static_cast<float>(Dpi::toLogical(outer.left, native_->dpi));
}

void Form::setLeft(float left) {
    RECT outer{};
    GetWindowRect(native_->hwnd, &outer);
    SetWindowPos(native_->hwnd, nullptr, Dpi::nearestDevice(left, native_->dpi), outer.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

float Form::Top() const {
    RECT outer{};
    GetWindowRect(native_->hwnd, &outer);
    return static_cast<float>(Dpi::toLogical(outer.top, native_->dpi));
}

void Form::setTop(float top) {
    RECT outer{};
    GetWindowRect(native_->hwnd, &outer);
    SetWindowPos(native_->hwnd, nullptr, outer.left, Dpi::nearestDevice(top, native_->dpi), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::applyCaption() {
    if (native_->hwnd)
        SetWindowTextW(native_->hwnd, Text::wide(caption_).value_or(L"").c_str());
}

// The frame and the size are the window's from Load on.
void Form::applyBorderStyle() {}

void Form::applyClientSize() {}

void Form::applyBackColor() {
    if (native_->hwnd)
        InvalidateRect(native_->hwnd, nullptr, FALSE);
}

// The dialog manager sends Enter and Esc as IDOK and IDCANCEL (Native::command).
void Form::applyButtonKeys() {}

void Form::setIcon(const char* resource) {
    native_->icon = resource;
    native_->loadIcons();
}

void Form::setFont(const StdFont& font) {
    native_->font = font;
}
