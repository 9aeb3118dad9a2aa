#include "tests/support/RecordingPlatform.h"

#include "platform/qt/QtHandles.h"

#include <QPolygon>
#include <QWidget>

void RecordingPlatform::clear() {
    calls.clear();
    polygons.clear();
    windowRegions.clear();
    windowPositions.clear();
    shellCalls.clear();
    ends = 0;
}

std::int32_t RecordingPlatform::GetCursorPos(PointApi& point) {
    calls << QStringLiteral("GetCursorPos");
    if (!cursorReadable)
        return 0;
    point = cursor;
    return 1;
}

std::int32_t RecordingPlatform::ScreenToClient(HWND window, PointApi& point) {
    calls << QStringLiteral("ScreenToClient");
    const QPoint client = widgetOf(window)->mapFromGlobal(QPoint(point.x, point.y));
    point = {client.x(), client.y()};
    return 1;
}

HRGN RecordingPlatform::CreatePolygonRgn(const PointApi* points, std::int32_t count,
                                         std::int32_t fillMode) {
    calls << QStringLiteral("CreatePolygonRgn");
    polygons.push_back({std::vector<PointApi>(points, points + count), count, fillMode});
    QPolygon polygon;
    for (std::int32_t i = 0; i < count; ++i)
        polygon << QPoint(points[i].x, points[i].y);
    return makeRegion(QRegion(polygon));
}

std::int32_t RecordingPlatform::SetWindowRgn(HWND window, HRGN region, bool redraw) {
    calls << QStringLiteral("SetWindowRgn");
    windowRegions.push_back({window, takeRegion(region), redraw});
    return 1;
}

std::int32_t RecordingPlatform::SetWindowPos(HWND window, std::intptr_t insertAfter, std::int32_t x,
                                             std::int32_t y, std::int32_t cx, std::int32_t cy,
                                             std::uint32_t flags) {
    calls << QStringLiteral("SetWindowPos");
    windowPositions.push_back({window, insertAfter, x, y, cx, cy, flags});
    return 1;
}

std::intptr_t RecordingPlatform::ShellExecuteA(HWND owner, const char* operation, const char* file,
                                               const char* parameters, const char* directory,
                                               std::int32_t showCommand) {
    calls << QStringLiteral("ShellExecuteA");
    shellCalls.push_back({owner, QString::fromLatin1(operation), QByteArray(file),
                          parameters != nullptr, directory != nullptr, showCommand});
    return WinApi::SHELL_EXECUTE_OK;
}

void RecordingPlatform::PopupMenu(HWND, Menu&) {
    calls << QStringLiteral("PopupMenu");
}

void RecordingPlatform::DoEvents() {
    calls << QStringLiteral("DoEvents");
}

void RecordingPlatform::End() {
    calls << QStringLiteral("End");
    ++ends;
}
