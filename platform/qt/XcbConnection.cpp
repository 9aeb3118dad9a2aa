#include "platform/qt/XcbConnection.h"

#include <QGuiApplication>

#include <cstdlib>
#include <memory>

xcb_connection_t* xcbConnection() {
    // qGuiApp casts without looking, and a program without a GUI (the unit tests) has a plain
    // QCoreApplication.
    const auto* gui = qobject_cast<const QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

const xcb_input_xi_query_version_reply_t* xinputVersion() {
    static const std::unique_ptr<xcb_input_xi_query_version_reply_t, decltype(&std::free)> version(
        [] {
            xcb_connection_t* c = xcbConnection();
            const xcb_query_extension_reply_t* input =
                c ? xcb_get_extension_data(c, &xcb_input_id) : nullptr;
            return input && input->present ? xcb_input_xi_query_version_reply(
                                                 c, xcb_input_xi_query_version(c, 2, 2), nullptr)
                                           : nullptr;
        }(),
        &std::free);
    return version.get();
}

bool xinputHasTouch(const xcb_input_xi_query_version_reply_t* version) {
    return version && (version->major_version > 2 ||
                       (version->major_version == 2 && version->minor_version >= 2));
}
