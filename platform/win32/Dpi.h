#pragma once

#include "platform/ApiTypes.h"
#include "platform/win32/Scale.h"

#include <windows.h>

// The scale of a window as the system reports it, and the system calls that depend on it; the
// arithmetic of Scale, also for rectangles.
//
// The calls Windows added for per-monitor scaling (Windows 10 1607 and later) are looked up at
// run time, so that the program still starts where they are missing; there a window starts at
// the system's scale, and WM_DPICHANGED (Windows 8.1) still tells it of another.
class Dpi : public Scale {
public:
    // The window's dots per inch as the system scales it for this process.
    static int ofWindow(HWND window);
    // The scale the system started the session with (the primary monitor's).
    static int system();

    // The outer rectangle of a window with this style and a client area of client's size,
    // at dpi.
    static RECT outerRect(const RECT& client, DWORD style, DWORD exStyle, int dpi);
    // GetSystemMetrics at dpi.
    static int systemMetric(int index, int dpi);
    // For a window of a per-monitor (v1) process: its caption and frame follow its scale, as
    // they do by themselves under per-monitor v2. Call on WM_NCCREATE.
    static void scaleNonClientArea(HWND window);

    using Scale::toDevice;
    static RECT toDevice(const RECT& logical, int dpi);
};
