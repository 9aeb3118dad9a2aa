#pragma once

#include "platform/Platform.h"

// The six system calls are the real ones; the run-time operations are made of user32 calls.
class Win32Platform : public Platform {
public:
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

    // The event loop, until End. Returns the exit status should the loop ever be told to quit.
    int run();
};
