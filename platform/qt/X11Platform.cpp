#include "platform/qt/X11Platform.h"

#include "platform/qt/Natives.h"
#include "platform/qt/QtHandles.h"
#include "platform/qt/RawMotionWatch.h"
#include "platform/qt/RestGate.h"
#include "platform/qt/X11Window.h"
#include "platform/qt/XcbConnection.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QPolygon>
#include <QProcess>
#include <QWidget>
#include <QWindow>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <atomic>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

std::atomic_flag lostDisplayReported;
QtMessageHandler toolkitMessages = nullptr;

void sayLostDisplay() {
    if (!lostDisplayReported.test_and_set())
        std::fputs("vardo: lost the connection to the X11 display\n", stderr);
}

// Xlib calls this on a broken connection from whichever thread made the failing call; it must
// not return.
int onXlibConnectionLost(Display*) {
    sayLostDisplay();
    std::_Exit(1);
}

// Qt reports the broken connection as a warning and then exits with status 1 itself.
void onToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    // Once the connection is gone, whatever else fails with it (shared memory for a repaint,
    // say) is the same fault: one line says it, whichever notices first.
    xcb_connection_t* connection = xcbConnection();
    if (text.startsWith(QLatin1String("The X11 connection broke")) ||
        (connection && xcb_connection_has_error(connection))) {
        sayLostDisplay();
        return;
    }
    toolkitMessages(type, context, text);
}

} // namespace

X11Platform::X11Platform()
    : deactivation(DeferredDeactivation::open()) {
    // Qt's xcb layer puts in an Xlib handler of its own as it connects, which warns and then
    // lets Xlib print its own line as well: ours goes back in once the application is made.
    XSetIOErrorHandler(onXlibConnectionLost);
}

void X11Platform::reportLostDisplayOnce() {
    XSetIOErrorHandler(onXlibConnectionLost);
    toolkitMessages = qInstallMessageHandler(onToolkitMessage);
}

void X11Platform::usePointerSource(std::unique_ptr<PointerSource> source) {
    pointerSource = std::move(source);
    MotionWatch* watch = nullptr;
    if (pointerSource) {
        watch = pointerSource->moves();
        if (pointerSource->mayFallBack()) {
            // Under XWayland only the compositor warps the pointer, and it says so.
            rawMotion = RawMotionWatch::open(false);
            pointerSource->fallBackOn(rawMotion.get());
        }
    } else if (!PointerSource::waylandSession()) {
        rawMotion = RawMotionWatch::open(true);
        watch = rawMotion.get();
    }
    RestGate::useWatch(watch);
}

std::int32_t X11Platform::GetCursorPos(PointApi& point) {
    QPoint at;
    if (!pointerSource || !pointerSource->position(at))
        // One QueryPointer round trip, in logical pixels.
        at = QCursor::pos();
    RestGate::pointerRead(at);
    point.x = at.x();
    point.y = at.y();
    return 1;
}

std::int32_t X11Platform::ScreenToClient(HWND window, PointApi& point) {
    if (!window)
        return 0;
    const QPoint client = widgetOf(window)->mapFromGlobal(QPoint(point.x, point.y));
    point.x = client.x();
    point.y = client.y();
    return 1;
}

HRGN X11Platform::CreatePolygonRgn(const PointApi* points, std::int32_t count,
                                   std::int32_t fillMode) {
    if (!points || count < 3)
        return makeRegion(QRegion());
    QPolygon polygon;
    polygon.reserve(count);
    for (std::int32_t i = 0; i < count; ++i)
        polygon << QPoint(points[i].x, points[i].y);
    // For a polygon that never crosses itself both rules cover the same inside; 0 (no rule
    // at all) is read as alternate.
    return makeRegion(
        QRegion(polygon, fillMode == WinApi::WINDING ? Qt::WindingFill : Qt::OddEvenFill));
}

std::int32_t X11Platform::SetWindowRgn(HWND window, HRGN region, bool redraw) {
    // The region is the system's now, whatever happens to the window.
    const QRegion outline = takeRegion(region);
    if (!window)
        return 0;
    // The region is in window pixels; the widget's mask is in client pixels.
    QWidget* widget = widgetOf(window);
    const auto* form = qobject_cast<const FormWidget*>(widget);
    const PointApi offset = form ? form->form().clientOffset() : PointApi{};
    widget->setMask(outline.translated(-offset.x, -offset.y));
    if (redraw)
        widget->update();
    return 1;
}

std::int32_t X11Platform::SetWindowPos(HWND window, std::intptr_t insertAfter, std::int32_t x,
                                       std::int32_t y, std::int32_t cx, std::int32_t cy,
                                       std::uint32_t flags) {
    if (!window)
        return 0;
    QWidget* widget = widgetOf(window);
    // A window that is not yet on the screen takes the widget flag, which Qt applies as it maps
    // the window. On a mapped window the flag goes to the QWindow instead, which sends
    // _NET_WM_STATE_ABOVE to the window manager: QWidget::setWindowFlag would destroy and
    // re-create the window, and QWidget re-creates it too at show() if the two disagree.
    if (insertAfter == WinApi::HWND_TOPMOST || insertAfter == WinApi::HWND_NOTOPMOST) {
        const bool topmost = insertAfter == WinApi::HWND_TOPMOST;
        if (!widget->isVisible())
            widget->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
        else if (QWindow* native = widget->windowHandle()) {
            native->setFlag(Qt::WindowStaysOnTopHint, topmost);
            X11Window::setLayer(*widget, topmost);
        }
    }
    if (!(flags & WinApi::SWP_NOMOVE))
        widget->move(x, y);
    if (!(flags & WinApi::SWP_NOSIZE))
        widget->resize(cx, cy);
    return 1;
}

std::intptr_t X11Platform::ShellExecuteA(HWND, const char* operation, const char* file, const char*,
                                         const char*, std::int32_t) {
    if (!file || !*file)
        return WinApi::SE_ERR_FNF;
    if (operation && std::strcmp(operation, "open") != 0)
        return WinApi::SE_ERR_NOASSOC;
    // xdg-open would read a target that starts with '-' as one of its options (--help,
    // --manual) and has no "--" to end them. The targets are mail and web addresses, which
    // never start so: refuse it rather than hand it over.
    if (file[0] == '-')
        return WinApi::SE_ERR_FNF;
    // xdg-open finds the desktop's handler for the scheme. The target is one argument of its
    // own, never seen by a shell; the child is detached, so nothing waits for it and nothing
    // is left to reap.
    const bool started =
        QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLocal8Bit(file)});
    return started ? WinApi::SHELL_EXECUTE_OK : WinApi::SE_ERR_FNF;
}

void X11Platform::PopupMenu(HWND, Menu& menu) {
    // A deactivation still due from a FocusOut that came before the click would close the menu
    // as it opens; let it come first. The menu's keyboard grab then brings the focus back.
    if (deactivation)
        deactivation->settle();
    ImageWidget::pointerTaken();
    menu.native().menu.exec(QCursor::pos());
}

void X11Platform::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void X11Platform::End() {
    // Stops where it stands: no close or unload handler runs. The server removes the windows
    // when the connection goes with the process; what the compositor runs for the pointer is
    // ended here.
    if (pointerSource)
        pointerSource->release();
    if (xcb_connection_t* c = xcbConnection())
        xcb_flush(c);
    std::fflush(nullptr);
    std::_Exit(0);
}
