#pragma once

#include "platform/ApiTypes.h"

class Menu;

// The operating-system calls the windows make, and the few run-time operations whose effect
// tests need to see or steer. Each target provides them (X11Platform over Qt and X11,
// Win32Platform); RecordingPlatform records them for the unit tests.
//
// Positions are pixels throughout. Where the design speaks of twips (a form's Left and Top),
// this layer uses pixels: 15 twips per pixel cancels out of every sum the windows make.
// Client and window pixels are logical, 96 to the inch as the windows are laid out, on a
// screen of any scale: a run-time that draws the windows larger converts what it reports.
// Screen pixels are whatever GetCursorPos and ScreenToClient agree on; the windows only compare
// them and hand them on.
class Platform {
public:
    virtual ~Platform() = default;

    // Cursor position in screen pixels. Returns non-zero on success; on failure (the system
    // keeps the position from the program, as on a locked desktop) point is left as it was.
    virtual std::int32_t GetCursorPos(PointApi& point) = 0;
    // Rewrites point from screen pixels to client pixels of window.
    virtual std::int32_t ScreenToClient(HWND window, PointApi& point) = 0;
    // The inside of the closed polygon points[0..count-1], in window pixels.
    virtual HRGN CreatePolygonRgn(const PointApi* points, std::int32_t count,
                                  std::int32_t fillMode) = 0;
    // Cuts window to region (window pixels) for drawing and for input. The region belongs to
    // the system afterwards.
    virtual std::int32_t SetWindowRgn(HWND window, HRGN region, bool redraw) = 0;
    // With insertAfter HWND_TOPMOST or HWND_NOTOPMOST, moves window into or out of the
    // topmost band; SWP_NOMOVE | SWP_NOSIZE keep it where it is.
    virtual std::int32_t SetWindowPos(HWND window, std::intptr_t insertAfter, std::int32_t x,
                                      std::int32_t y, std::int32_t cx, std::int32_t cy,
                                      std::uint32_t flags) = 0;
    // Hands file (a mailto: or web address, UTF-8) to the desktop's handler.
    virtual std::intptr_t ShellExecuteA(HWND owner, const char* operation, const char* file,
                                        const char* parameters, const char* directory,
                                        std::int32_t showCommand) = 0;

    // Shows menu at the cursor and returns when it has closed, after the chosen entry's Click.
    // The menu takes the pointer: a control that has a left press and not its release yet has
    // its left MouseUp as the menu opens, at the pointer, and not again for the release.
    virtual void PopupMenu(HWND window, Menu& menu) = 0;
    // Runs the pending window events (painting, timers), but no input: a mouse handler that
    // calls this is never re-entered by the next mouse event.
    virtual void DoEvents() = 0;
    // Ends the program at once with status 0. No handler runs afterwards.
    virtual void End() = 0;
};
