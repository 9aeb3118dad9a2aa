#pragma once

#include "platform/ApiTypes.h"

#include <windows.h>

// The scale of a window, and the arithmetic between the windows' logical pixels (96 to the
// inch, as the definitions are laid out) and the device pixels of a screen at `dpi` dots to
// the inch.
//
// A logical edge v lands on device edge toDevice(v): v x dpi / 96, halves rounded up. Logical
// pixel x covers the device pixels from toDevice(x) up to toDevice(x + 1); at 192 dpi that is a
// 2 x 2 block, at 144 dpi blocks of 2 and 1 in turn, as Qt lays out QT_SCALE_FACTOR=1.5.
//
// The calls Windows added for per-monitor scaling (Windows 10 1607 and later) are looked up at
// run time, so that the program still starts where they are missing; there a window starts at
// the system's scale, and WM_DPICHANGED (Windows 8.1) still tells it of another.
class Dpi {
public:
    static constexpr int standard = 96;

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

    static int toDevice(int logical, int dpi);
    static RECT toDevice(const RECT& logical, int dpi);
    // The logical pixel that device pixel lies in.
    static int logicalPixel(int device, int dpi);
    // A device position in logical pixels, with its fraction.
    static double toLogical(int device, int dpi);
};
