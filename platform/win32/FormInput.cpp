#include "platform/Form.h"

#include "platform/win32/Dpi.h"
#include "platform/win32/Natives.h"

#include <windowsx.h>

#include <algorithm>

// The form's windowless controls: which one the mouse is over, and the one that took a press
// and keeps the mouse (the capture) until every button is up.

namespace {

// Button codes of the mouse events: 1 left, 2 right, 4 middle.
int heldButtons(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? vbLeftButton : 0) | ((keys & MK_RBUTTON) ? vbRightButton : 0) |
           ((keys & MK_MBUTTON) ? vbMiddleButton : 0);
}

int shiftState(WPARAM keys) {
    return ((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) |
           (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

// The keys as the mouse messages give them, for a release that came without one.
WPARAM keysNow() {
    return (GetKeyState(VK_SHIFT) < 0 ? MK_SHIFT : 0) |
           (GetKeyState(VK_CONTROL) < 0 ? MK_CONTROL : 0);
}

bool contains(const RECT& rect, POINT at) {
    return at.x >= rect.left && at.x < rect.right && at.y >= rect.top && at.y < rect.bottom;
}

// at (device client pixels) measured from the control's corner, in logical pixels.
POINTFLOAT relativeTo(const Windowless& control, POINT at, int dpi) {
    const RECT box = control.box();
    return {static_cast<float>(Dpi::toLogical(at.x, dpi) - box.left),
            static_cast<float>(Dpi::toLogical(at.y, dpi) - box.top)};
}

} // namespace

void Form::Native::adopt(Windowless& control) {
    windowless.push_back(&control);
}

void Form::Native::release(Windowless& control) {
    windowless.erase(std::remove(windowless.begin(), windowless.end(), &control), windowless.end());
    if (pressed == &control) {
        pressed = nullptr;
        pressedLeft = false;
        // Nothing else would let go of it: the release finds no pressed control.
        if (hwnd && GetCapture() == hwnd)
            ReleaseCapture();
    }
    invalidate(toDevice(control.box()));
}

// at in device client pixels; the control in front wins.
Windowless* Form::Native::hit(POINT at) const {
    for (auto control = windowless.rbegin(); control != windowless.rend(); ++control) {
        if (contains(toDevice((*control)->box()), at))
            return *control;
    }
    return nullptr;
}

// The position comes from the message itself, in device pixels of the window where it stands
// as the message is taken: the pointer's position at the event, measured against the window's
// latest position, which is what a drag adds its moves to. The control hears it in logical
// pixels with their fraction, so that a drag at any scale moves the window by exactly as many
// device pixels as the pointer moved.
void Form::Native::mouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const int held = heldButtons(wParam);
    const int shift = shiftState(wParam);
    int button = 0;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        button = vbLeftButton;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        button = vbRightButton;
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        button = vbMiddleButton;
        break;
    }
    const bool press =
        message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
    const bool release =
        message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
    // A lost button is forgotten once seen pressed anew, or up (its release may have gone to
    // another window).
    const bool lostRelease = release && (lostButtons & button) != 0;
    lostButtons &= held & ~(press ? button : 0);
    if (lostRelease)
        return;
    if (press) {
        if (!pressed) {
            pressed = hit(at);
            if (pressed)
                SetCapture(hwnd);
        }
    }
    Windowless* target = pressed ? pressed : hit(at);
    // Before the handler runs: a right press there may open a menu, which ends the press.
    if (pressed && button == vbLeftButton)
        pressedLeft = message == WM_LBUTTONDOWN;
    if (target) {
        const auto [x, y] = relativeTo(*target, at, dpi);
        if (message == WM_MOUSEMOVE)
            target->mouseMove(held, shift, x, y);
        else if (press)
            target->mouseDown(button, shift, x, y);
        else
            target->mouseUp(button, shift, x, y);
    }
    if (release && held == 0 && pressed) {
        pressed = nullptr;
        pressedLeft = false;
        ReleaseCapture();
    }
}

// A window that loses the capture may never see the release: a pop-up menu took it (one
// opened in the middle of a drag), another program did, or the system (the secure desktop of
// Ctrl+Alt+Del, a locked session). The press ends there, as it does for the system's own
// controls, and a left press has its release then, at the pointer: a drag, which only the
// release ends, would otherwise go on without the button, the face's eyes frozen. Should the
// real release come to this window after all, it reaches no control: a link pressed would
// open a second time.
void Form::Native::captureLost(HWND taker) {
    if (taker == hwnd || !pressed)
        return;
    Windowless* control = pressed;
    const bool left = pressedLeft;
    pressed = nullptr;
    pressedLeft = false;
    lostButtons = (GetKeyState(VK_LBUTTON) < 0 ? vbLeftButton : 0) |
                  (GetKeyState(VK_RBUTTON) < 0 ? vbRightButton : 0) |
                  (GetKeyState(VK_MBUTTON) < 0 ? vbMiddleButton : 0) | (left ? vbLeftButton : 0);
    if (!left)
        return;
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(hwnd, &at);
    const auto [x, y] = relativeTo(*control, at, dpi);
    control->mouseUp(vbLeftButton, shiftState(keysNow()), x, y);
}
