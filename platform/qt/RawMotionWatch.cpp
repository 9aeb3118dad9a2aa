#include "platform/qt/RawMotionWatch.h"

#include "platform/qt/XcbConnection.h"

#include <QCoreApplication>
#include <QCursor>

#include <xcb/xinput.h>

#include <cstdlib>

std::unique_ptr<RawMotionWatch> RawMotionWatch::open() {
    xcb_connection_t* c = xcbConnection();
    if (!c)
        return nullptr;
    const xcb_query_extension_reply_t* input = xcb_get_extension_data(c, &xcb_input_id);
    if (!input || !input->present)
        return nullptr;
    // Raw events reach a client that speaks XInput 2.0 or later; 2.1 and later get them also
    // while another client holds a grab. The toolkit may have asked for a version already,
    // which then stays: an error here leaves the connection as it was.
    const std::unique_ptr<xcb_input_xi_query_version_reply_t, decltype(&std::free)> version(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr),
        &std::free);
    if (version && version->major_version < 2)
        return nullptr;
    // Raw events belong to no window: selected on the first screen's root, they come for the
    // pointer on every screen of the display (seen with a face on the second screen).
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::unique_ptr<RawMotionWatch> watch(new RawMotionWatch(c, root, input->major_opcode));
    QCoreApplication::instance()->installNativeEventFilter(watch.get());
    return watch;
}

RawMotionWatch::RawMotionWatch(xcb_connection_t* connection, xcb_window_t root, std::uint8_t opcode)
    : connection(connection)
    , root(root)
    , opcode(opcode) {}

RawMotionWatch::~RawMotionWatch() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool RawMotionWatch::listen(QPoint cursor) {
    if (!selected)
        select(true);
    // The pointer may have moved between the last look and the selection, and that move sent
    // no event: look once more. The server answers after it has taken the selection.
    return QCursor::pos() == cursor;
}

void RawMotionWatch::stopListening() {
    if (selected)
        select(false);
}

void RawMotionWatch::select(bool rawMotion) {
    // The mask is kept per device id: the toolkit's own selection on the root window, for
    // all devices, stays as it is.
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           rawMotion ? std::uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_MOTION} : 0};
    xcb_input_xi_select_events(connection, root, 1, &mask.head);
    xcb_flush(connection);
    selected = rawMotion;
}

bool RawMotionWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_ge_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC || event->extension != opcode ||
        event->event_type != XCB_INPUT_RAW_MOTION)
        return false;
    // The reports already on their way still come after the deselection; only the first one
    // counts.
    if (selected) {
        select(false);
        reportMove();
    }
    return true;
}
