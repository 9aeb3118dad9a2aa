#pragma once

#include <cstdint>

// Handles as the system calls take them. On Windows they are the system's own handles (these
// are the very types its headers declare); the Qt run-time gives them its own window and
// region objects. The windows' logic only passes them on.
struct HWND__;
using HWND = HWND__*;
struct HRGN__;
using HRGN = HRGN__*;

// Two 32-bit signed integers, in pixels. The cursor calls use screen pixels or client pixels;
// the outline uses window pixels (see Form::clientOffset()).
struct PointApi {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const PointApi&, const PointApi&) = default;
};

// The constants of the system calls, by their Windows names and with their Windows values, in
// a namespace of their own. <windows.h> defines most of these names as macros: they are set
// aside while the constants are declared and restored after, so the headers may come in any
// order, and the Win32 run-time keeps using the macros, which mean the same.
#pragma push_macro("HWND_TOPMOST")
#undef HWND_TOPMOST
#pragma push_macro("HWND_NOTOPMOST")
#undef HWND_NOTOPMOST
#pragma push_macro("SWP_NOSIZE")
#undef SWP_NOSIZE
#pragma push_macro("SWP_NOMOVE")
#undef SWP_NOMOVE
#pragma push_macro("SW_SHOWNORMAL")
#undef SW_SHOWNORMAL
#pragma push_macro("SW_SHOW")
#undef SW_SHOW
#pragma push_macro("ALTERNATE")
#undef ALTERNATE
#pragma push_macro("WINDING")
#undef WINDING
#pragma push_macro("SE_ERR_FNF")
#undef SE_ERR_FNF
#pragma push_macro("SE_ERR_NOASSOC")
#undef SE_ERR_NOASSOC

namespace WinApi {

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

// ShellExecute reports success with a value above 32.
inline constexpr std::intptr_t SE_ERR_FNF = 2;
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;
inline constexpr std::intptr_t SHELL_EXECUTE_OK = 42;

} // namespace WinApi

#pragma pop_macro("SE_ERR_NOASSOC")
#pragma pop_macro("SE_ERR_FNF")
#pragma pop_macro("WINDING")
#pragma pop_macro("ALTERNATE")
#pragma pop_macro("SW_SHOW")
#pragma pop_macro("SW_SHOWNORMAL")
#pragma pop_macro("SWP_NOMOVE")
#pragma pop_macro("SWP_NOSIZE")
#pragma pop_macro("HWND_NOTOPMOST")
#pragma pop_macro("HWND_TOPMOST")

// Mouse buttons as the mouse events report them; a move reports the sum of those held.
inline constexpr int vbLeftButton = 1;
inline constexpr int vbRightButton = 2;
inline constexpr int vbMiddleButton = 4;

// The run-time's Boolean: true is -1, so bitwise negation flips it.
using VbBoolean = std::int16_t;
inline constexpr VbBoolean vbTrue = -1;
inline constexpr VbBoolean vbFalse = 0;
