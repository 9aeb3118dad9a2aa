#include "platform/qt/MenuGrab.h"

#include "platform/qt/XcbConnection.h"

#include <QEvent>
#include <QMenu>

#include <cstdlib>
#include <memory>

namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

constexpr int retryMs = 20;
constexpr int maxTries = 50;

} // namespace

void MenuGrab::watch(QMenu& menu) {
    const xcb_input_xi_query_version_reply_t* version = xinputVersion();
    if (!version || version->major_version < 2)
        return;
    std::uint32_t mask = XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS |
                         XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE | XCB_INPUT_XI_EVENT_MASK_MOTION |
                         XCB_INPUT_XI_EVENT_MASK_ENTER | XCB_INPUT_XI_EVENT_MASK_LEAVE;
    if (xinputHasTouch(version))
        mask |= XCB_INPUT_XI_EVENT_MASK_TOUCH_BEGIN | XCB_INPUT_XI_EVENT_MASK_TOUCH_UPDATE |
                XCB_INPUT_XI_EVENT_MASK_TOUCH_END;
    menu.installEventFilter(new MenuGrab(menu, xcbConnection(), mask));
}

MenuGrab::MenuGrab(QMenu& menu, xcb_connection_t* connection, std::uint32_t mask)
    : QObject(&menu)
    , menu(menu)
    , connection(connection)
    , mask(mask) {
    retry.setSingleShot(true);
    connect(&retry, &QTimer::timeout, this, &MenuGrab::take);
}

bool MenuGrab::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Show) {
        // The toolkit maps the menu and grabs after the show event; ask once it has.
        tries = 0;
        retry.start(0);
    } else if (event->type() == QEvent::Hide) {
        retry.stop();
        // The toolkit lets go of the pointer as the menu closes when it thinks it took it;
        // when its keyboard grab failed it never asked for the pointer, and this grab is the
        // only one.
        if (taken) {
            xcb_input_xi_ungrab_device(connection, XCB_CURRENT_TIME, taken);
            xcb_flush(connection);
            taken = 0;
        }
    }
    return false;
}

void MenuGrab::take() {
    if (!menu.isVisible())
        return;
    const ReplyPtr<xcb_input_xi_get_client_pointer_reply_t> pointer(
        xcb_input_xi_get_client_pointer_reply(
            connection, xcb_input_xi_get_client_pointer(connection, XCB_NONE), nullptr),
        &std::free);
    if (!pointer || !pointer->deviceid)
        return;
    // The same grab as the toolkit's: asked again by the client that holds it, it changes
    // nothing.
    const ReplyPtr<xcb_input_xi_grab_device_reply_t> grab(
        xcb_input_xi_grab_device_reply(
            connection,
            xcb_input_xi_grab_device(connection, static_cast<xcb_window_t>(menu.winId()),
                                     XCB_CURRENT_TIME, XCB_CURSOR_NONE, pointer->deviceid,
                                     XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                     false, 1, &mask),
            nullptr),
        &std::free);
    if (!grab)
        return;
    switch (grab->status) {
    case XCB_GRAB_STATUS_SUCCESS:
        taken = pointer->deviceid;
        break;
    case XCB_GRAB_STATUS_ALREADY_GRABBED:
        menu.close();
        break;
    default:
        if (++tries < maxTries)
            retry.start(retryMs);
        break;
    }
}
