#include "platform/win32/Dpi.h"

namespace {

// The per-monitor calls of user32, null where this Windows lacks them.
struct User32 {
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    UINT(WINAPI* getDpiForSystem)() = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    int(WINAPI* getSystemMetricsForDpi)(int, UINT) = nullptr;
    BOOL(WINAPI* enableNonClientDpiScaling)(HWND) = nullptr;

    User32() {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        find(user32, "GetDpiForWindow", getDpiForWindow);
        find(user32, "GetDpiForSystem", getDpiForSystem);
        find(user32, "AdjustWindowRectExForDpi", adjustWindowRectExForDpi);
        find(user32, "GetSystemMetricsForDpi", getSystemMetricsForDpi);
        find(user32, "EnableNonClientDpiScaling", enableNonClientDpiScaling);
    }

    template <typename Function> static void find(HMODULE module, const char* name, Function& to) {
        to = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

const User32& user32() {
    static const User32 calls;
    return calls;
}

// A scale Windows would never report (a call that failed) counts as the standard one.
int sane(long long dpi) {
    return dpi > 0 ? static_cast<int>(dpi) : Dpi::standard;
}

} // namespace

int Dpi::ofWindow(HWND window) {
    if (user32().getDpiForWindow && window)
        return sane(user32().getDpiForWindow(window));
    return system();
}

int Dpi::system() {
    if (user32().getDpiForSystem)
        return sane(user32().getDpiForSystem());
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return sane(dpi);
}

RECT Dpi::outerRect(const RECT& client, DWORD style, DWORD exStyle, int dpi) {
    RECT outer = client;
    if (user32().adjustWindowRectExForDpi)
        user32().adjustWindowRectExForDpi(&outer, style, FALSE, exStyle, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    return outer;
}

int Dpi::systemMetric(int index, int dpi) {
    if (user32().getSystemMetricsForDpi)
        return user32().getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    return GetSystemMetrics(index);
}

void Dpi::scaleNonClientArea(HWND window) {
    if (user32().enableNonClientDpiScaling)
        user32().enableNonClientDpiScaling(window);
}

RECT Dpi::toDevice(const RECT& logical, int dpi) {
    return {toDevice(logical.left, dpi), toDevice(logical.top, dpi), toDevice(logical.right, dpi),
            toDevice(logical.bottom, dpi)};
}
