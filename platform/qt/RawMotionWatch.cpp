#include "platform/qt/RawMotionWatch.h"

#include "platform/qt/XcbConnection.h"

#include <QCoreApplication>
#include <QCursor>

#include <cstdlib>

std::uint32_t RawMotionWatch::rawEventMask(const xcb_input_xi_query_version_reply_t* version) {
    if (!version || version->major_version < 2)
        return 0;
    std::uint32_t mask = XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
    if (xinputHasTouch(version))
        mask |= XCB_INPUT_XI_EVENT_MASK_RAW_TOUCH_BEGIN | XCB_INPUT_XI_EVENT_MASK_RAW_TOUCH_UPDATE;
    return mask;
}

std::unique_ptr<RawMotionWatch> RawMotionWatch::open(bool lookForWarps) {
    // Raw events reach a client that speaks XInput 2.0 or later, and also while another client
    // holds a grab.
    const std::uint32_t mask = rawEventMask(xinputVersion());
    if (!mask)
        return nullptr;
    xcb_connection_t* c = xcbConnection();
    const xcb_query_extension_reply_t* input = xcb_get_extension_data(c, &xcb_input_id);
    // Raw events belong to no window: selected on the first screen's root, they come for the
    // pointer on every screen of the display (seen with a face on the second screen).
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::unique_ptr<RawMotionWatch> watch(
        new RawMotionWatch(c, root, input->major_opcode, mask, lookForWarps));
    QCoreApplication::instance()->installNativeEventFilter(watch.get());
    return watch;
}

RawMotionWatch::RawMotionWatch(xcb_connection_t* connection, xcb_window_t root, std::uint8_t opcode,
                               std::uint32_t mask, bool lookForWarps)
    : connection(connection)
    , root(root)
    , opcode(opcode)
    , mask(mask) {
    if (lookForWarps) {
        warpLook.setInterval(warpLookMs);
        QObject::connect(&warpLook, &QTimer::timeout, [this] { lookForWarp(); });
    }
}

RawMotionWatch::~RawMotionWatch() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool RawMotionWatch::listen(QPoint cursor) {
    if (!selected)
        select(true);
    listenedAt = cursor;
    // The pointer may have moved between the last look and the selection, and that move sent
    // no event: look once more. The server answers after it has taken the selection.
    return QCursor::pos() == cursor;
}

void RawMotionWatch::stopListening() {
    if (selected)
        select(false);
}

void RawMotionWatch::select(bool raw) {
    // The mask is kept per device id: the toolkit's own selection on the root window, for
    // all devices, stays as it is.
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, raw ? mask : 0};
    xcb_input_xi_select_events(connection, root, 1, &selection.head);
    xcb_flush(connection);
    selected = raw;
    if (warpLook.interval() > 0) {
        if (raw)
            warpLook.start();
        else
            warpLook.stop();
    }
}

void RawMotionWatch::moved() {
    // Reports already on their way still come after the deselection; only the first one
    // counts.
    if (!selected)
        return;
    select(false);
    reportMove();
}

void RawMotionWatch::lookForWarp() {
    if (QCursor::pos() != listenedAt)
        moved();
}

bool RawMotionWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_ge_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC || event->extension != opcode)
        return false;
    switch (event->event_type) {
    case XCB_INPUT_RAW_MOTION:
    case XCB_INPUT_RAW_TOUCH_BEGIN:
    case XCB_INPUT_RAW_TOUCH_UPDATE:
        moved();
        return true;
    default:
        return false;
    }
}
