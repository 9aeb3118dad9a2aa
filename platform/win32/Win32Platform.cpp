#include "platform/win32/Win32Platform.h"

#include "platform/Menu.h"
#include "platform/MenuEntry.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/Natives.h"
#include "platform/win32/Text.h"

#include <shellapi.h>
#include <windowsx.h>

#include <vector>

namespace {

POINT toPoint(const PointApi& point) {
    return {point.x, point.y};
}

} // namespace

// Refused on a locked or secure desktop, or in a disconnected remote session: point stays as
// it was, and the tick that asked changes nothing.
std::int32_t Win32Platform::GetCursorPos(PointApi& point) {
    POINT at{};
    if (!::GetCursorPos(&at))
        return 0;
    point = {at.x, at.y};
    return 1;
}

// The cursor's device position on the screen becomes the logical client pixel it lies in: the
// windows aim at it as they would at 96 dpi.
std::int32_t Win32Platform::ScreenToClient(HWND window, PointApi& point) {
    POINT at = toPoint(point);
    const BOOL result = ::ScreenToClient(window, &at);
    if (const Form::Native* form = Form::Native::of(window)) {
        at.x = Dpi::logicalPixel(at.x, form->dpi);
        at.y = Dpi::logicalPixel(at.y, form->dpi);
    }
    point = {at.x, at.y};
    return result;
}

HRGN Win32Platform::CreatePolygonRgn(const PointApi* points, std::int32_t count,
                                     std::int32_t fillMode) {
    std::vector<POINT> polygon(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i)
        polygon[static_cast<std::size_t>(i)] = toPoint(points[i]);
    HRGN region = ::CreatePolygonRgn(polygon.data(), count, fillMode);
    // GDI refuses a fill mode that is neither ALTERNATE nor WINDING. For a polygon that never
    // crosses itself both cover its inside, which is all a caller may rely on.
    if (!region && fillMode != ALTERNATE && fillMode != WINDING)
        region = ::CreatePolygonRgn(polygon.data(), count, ALTERNATE);
    return region;
}

// The region is in logical pixels measured from the outer corner of a window whose client area
// starts at the form's client offset. The form keeps it on its client area, and cuts its window
// to it at the window's scale, now and whenever the scale changes. Where this window's client
// area starts elsewhere (the face has no frame at all), the cut keeps its place on the client
// area.
std::int32_t Win32Platform::SetWindowRgn(HWND window, HRGN region, bool redraw) {
    Form::Native* form = Form::Native::of(window);
    if (!form)
        return ::SetWindowRgn(window, region, redraw ? TRUE : FALSE);
    if (region) {
        const PointApi design = form->owner.clientOffset();
        OffsetRgn(region, -design.x, -design.y);
    }
    form->setOutline(region);
    return form->cutToOutline(redraw);
}

std::int32_t Win32Platform::SetWindowPos(HWND window, std::intptr_t insertAfter, std::int32_t x,
                                         std::int32_t y, std::int32_t cx, std::int32_t cy,
                                         std::uint32_t flags) {
    return ::SetWindowPos(window, reinterpret_cast<HWND>(insertAfter), x, y, cx, cy, flags);
}

// The windows hand over UTF-8; the wide call takes every character of it, where the 8-bit call
// would turn those outside the system code page into '?'. Operation, owner and show command go
// over as they came; a null stays null. Text that is not UTF-8 is refused as a file that cannot
// be found: passed on with its bad bytes replaced, it would open another target than the one
// given.
std::intptr_t Win32Platform::ShellExecuteA(HWND owner, const char* operation, const char* file,
                                           const char* parameters, const char* directory,
                                           std::int32_t showCommand) {
    bool refused = false;
    const auto wide = [&refused](const char* text) {
        const std::optional<std::wstring> converted =
            text ? Text::wide(text) : std::optional<std::wstring>(std::wstring());
        refused = refused || !converted;
        return converted.value_or(std::wstring());
    };
    const std::wstring operationText = wide(operation), fileText = wide(file),
                       parametersText = wide(parameters), directoryText = wide(directory);
    if (refused)
        return SE_ERR_FNF;
    return reinterpret_cast<std::intptr_t>(::ShellExecuteW(
        owner, operation ? operationText.c_str() : nullptr, file ? fileText.c_str() : nullptr,
        parameters ? parametersText.c_str() : nullptr, directory ? directoryText.c_str() : nullptr,
        showCommand));
}

// At the pointer's position when the event that asked for it happened, chosen with the left
// button: the right button that opened it is still down, and its release must choose nothing.
void Win32Platform::PopupMenu(HWND window, Menu& menu) {
    HMENU popup = CreatePopupMenu();
    const std::vector<MenuEntry*>& entries = menu.entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const MenuEntry& entry = *entries[i];
        if (entry.isSeparator()) {
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        } else {
            const UINT state = entry.Checked() != vbFalse ? MF_CHECKED : MF_UNCHECKED;
            AppendMenuW(popup, MF_STRING | state, i + 1,
                        Text::wide(entry.Caption()).value_or(L"").c_str());
        }
    }
    const DWORD at = GetMessagePos();
    // Without this a click elsewhere would not close the menu.
    SetForegroundWindow(window);
    const UINT chosen =
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_LEFTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                       GET_X_LPARAM(at), GET_Y_LPARAM(at), 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(popup);
    if (chosen >= 1 && chosen <= entries.size())
        entries[chosen - 1]->Click();
}

// Paint, timer and other posted messages, and messages sent from elsewhere; the mouse and the
// keyboard wait for the event loop.
void Win32Platform::DoEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0,
                        PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        DispatchMessageW(&message);
    }
}

void Win32Platform::End() {
    TerminateProcess(GetCurrentProcess(), 0);
}

int Win32Platform::run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        const Form::Native* form = Form::Native::of(root);
        if (form && form->takesDialogKeys() && IsDialogMessageW(root, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
