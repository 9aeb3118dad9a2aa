#pragma once

#include <QRegion>

#include <cstdint>

class QWidget;

// A window handle is the top-level widget of a form: whatever identifies a window to the
// platform layer, and comparable in the recorder.
using HWND = QWidget*;

// A region handle. QRegion is a shared value, so handing it to SetWindowRgn passes it on
// without the program ever having to free it.
using HRGN = QRegion;

// Two 32-bit signed integers, in pixels. The cursor calls use screen pixels or client pixels;
// the outline uses window pixels (see Form::clientOffset()).
struct PointApi {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const PointApi&, const PointApi&) = default;
};

// Insert-after values of SetWindowPos: into and out of the topmost band.
inline constexpr std::intptr_t HWND_TOPMOST = -1;
inline constexpr std::intptr_t HWND_NOTOPMOST = -2;

inline constexpr std::uint32_t SWP_NOSIZE = 0x0001;
inline constexpr std::uint32_t SWP_NOMOVE = 0x0002;

inline constexpr std::int32_t SW_SHOWNORMAL = 1;
inline constexpr std::int32_t SW_SHOW = 5;

// Fill modes of CreatePolygonRgn; the face passes 0, which is neither.
inline constexpr std::int32_t ALTERNATE = 1;
inline constexpr std::int32_t WINDING = 2;

// ShellExecuteA reports success with a value above 32.
inline constexpr std::intptr_t SE_ERR_FNF = 2;
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;
inline constexpr std::intptr_t SHELL_EXECUTE_OK = 42;

// Mouse buttons as the mouse events report them; a move reports the sum of those held.
inline constexpr int vbLeftButton = 1;
inline constexpr int vbRightButton = 2;
inline constexpr int vbMiddleButton = 4;
