#pragma once

#include "platform/Platform.h"

#include <QPoint>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <vector>

// Records every call, in order, for the unit tests of the Qt run-time; the cursor is wherever
// the test sets it. Regions are recorded as what they cover.
class RecordingPlatform : public Platform {
public:
    struct PolygonCall {
        std::vector<PointApi> points;
        std::int32_t count = 0;
        std::int32_t fillMode = 0;
    };
    struct WindowRgnCall {
        HWND window = nullptr;
        QRegion region;
        bool redraw = false;
    };
    struct WindowPosCall {
        HWND window = nullptr;
        std::intptr_t insertAfter = 0;
        std::int32_t x = 0, y = 0, cx = 0, cy = 0;
        std::uint32_t flags = 0;
    };
    struct ShellCall {
        HWND owner = nullptr;
        QString operation;
        QByteArray file;
        bool hasParameters = false;
        bool hasDirectory = false;
        std::int32_t showCommand = 0;
    };

    // Names of the calls in the order they came.
    QStringList calls;
    PointApi cursor;
    // False: GetCursorPos fails, as Windows' does on a locked or secure desktop.
    bool cursorReadable = true;
    std::vector<PolygonCall> polygons;
    std::vector<WindowRgnCall> windowRegions;
    std::vector<WindowPosCall> windowPositions;
    std::vector<ShellCall> shellCalls;
    int ends = 0;

    void clear();

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
};
