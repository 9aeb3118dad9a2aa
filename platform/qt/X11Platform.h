#pragma once

#include "platform/Platform.h"
#include "platform/qt/DeferredDeactivation.h"
#include "platform/qt/MotionWatch.h"
#include "platform/qt/wayland/PointerSource.h"

#include <memory>

// The platform calls on the desktop, over Qt's xcb platform.
class X11Platform : public Platform {
public:
    // Made once the application is.
    X11Platform();

    // Makes the loss of the X server end the program with one line on stderr and status 1,
    // whichever library notices it first: Qt's xcb layer, or Xlib (which the toolkit's cursor
    // and font code use) with its own two-line report. Call before the application is made.
    static void reportLostDisplayOnce();

    // Where the pointer comes from on a Wayland desktop (PointerSource::forSession); without
    // one, and whenever it cannot tell, the X server is asked. Also chooses what tells the
    // timers that the pointer moved (RestGate): the source's pushes on a Wayland desktop, the
    // X server's raw motion in an X11 session, nothing (the timers keep looking) under XWayland
    // without a source, where raw motion stops at the edge of the X11 windows.
    void usePointerSource(std::unique_ptr<PointerSource> source);

    std::int32_t GetCursorPos(PointApi& point) override;
    std::int32_t ScreenToClient(HWND window, PointApi& point) override;
    HRGN CreatePolygonRgn(const PointApi* points, std::int32_t count,
                          std::int32_t fillMode) override;
    std::int32_t SetWindowRgn(HWND window, HRGN region, bool redraw) override;
    std::int32_t SetWindowPos(HWND window, std::intptr_t insertAfter, std::int32_t x,
                              std::int32_t y, std::int32_t cx, std::int32_t cy,
                              std::uint32_t flags) override;
    std::intptr_t ShellExecuteA(HWND owner, const char* operation, const char* file,
                                const char* parameters, const char* directory,
                                std::int32_t showCommand) override;

    void PopupMenu(HWND window, Menu& menu) override;
    void DoEvents() override;
    void End() override;

private:
    // Before the source, which may hold on to it.
    std::unique_ptr<MotionWatch> rawMotion;
    std::unique_ptr<PointerSource> pointerSource;
    std::unique_ptr<DeferredDeactivation> deactivation;
};
