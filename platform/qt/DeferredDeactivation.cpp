#include "platform/qt/DeferredDeactivation.h"

#include "platform/qt/XcbConnection.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>

namespace {

bool programWindow(xcb_window_t id) {
    const QWindowList windows = QGuiApplication::allWindows();
    return std::any_of(windows.begin(), windows.end(),
                       [id](const QWindow* w) { return w->handle() && w->winId() == id; });
}

} // namespace

std::unique_ptr<DeferredDeactivation> DeferredDeactivation::open() {
    if (!xcbConnection())
        return nullptr;
    std::unique_ptr<DeferredDeactivation> watch(new DeferredDeactivation);
    QCoreApplication::instance()->installNativeEventFilter(watch.get());
    return watch;
}

DeferredDeactivation::~DeferredDeactivation() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

// Until the deactivation comes, the toolkit keeps the window that had the focus as its focus
// window.
bool DeferredDeactivation::pending() const {
    return focusLost && QGuiApplication::focusWindow();
}

void DeferredDeactivation::settle() {
    const QDeadlineTimer limit(1000);
    while (pending() && !limit.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(limit.remainingTime()), &loop, &QEventLoop::quit);
        QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &loop, &QEventLoop::quit);
        waiting = &loop;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        waiting = nullptr;
    }
}

bool DeferredDeactivation::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type != XCB_FOCUS_IN && type != XCB_FOCUS_OUT)
        return false;
    // FocusIn and FocusOut share one layout. Those that come only because the pointer is over
    // a window while the focus is elsewhere leave the toolkit's focus as it is.
    const auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
    if (focus->detail == XCB_NOTIFY_DETAIL_POINTER || !programWindow(focus->event))
        return false;
    focusLost = type == XCB_FOCUS_OUT;
    if (!focusLost && waiting)
        waiting->quit();
    return false;
}
