#include "platform/qt/X11Window.h"

#include "platform/qt/XcbConnection.h"

#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// True when an EWMH window manager runs on the screen of root.
bool windowManagerRunning(xcb_connection_t* c, xcb_window_t root) {
    const auto cookie =
        xcb_get_property(c, 0, root, atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &std::free);
    return reply && reply->type == XCB_ATOM_WINDOW &&
           xcb_get_property_value_length(reply.get()) > 0;
}

// True when the window manager on the screen of root takes the _WIN_LAYER hint (it lists the
// hint in the root's _WIN_PROTOCOLS).
bool windowManagerTakesLayers(xcb_connection_t* c, xcb_window_t root) {
    const xcb_atom_t layer = atom(c, "_WIN_LAYER");
    const auto cookie =
        xcb_get_property(c, 0, root, atom(c, "_WIN_PROTOCOLS"), XCB_ATOM_ATOM, 0, 64);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32 || layer == XCB_ATOM_NONE)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(atoms, atoms + count, layer) != atoms + count;
}

// The root of the screen window is on: window managers listen on their own screen's root,
// which on a display of several screens (DISPLAY=:0.1) need not be the first. 0 if the server
// does not know the window.
xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window) {
    const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> reply(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    return reply ? reply->root : xcb_window_t{XCB_WINDOW_NONE};
}

} // namespace

void X11Window::setLayer(QWidget& window, bool topmost) {
    xcb_connection_t* c = xcbConnection();
    if (!c || !window.windowHandle())
        return;
    const auto id = static_cast<xcb_window_t>(window.windowHandle()->winId());
    const xcb_window_t root = rootOf(c, id);
    if (!root || !windowManagerTakesLayers(c, root))
        return;
    constexpr std::uint32_t normalLayer = 4;
    constexpr std::uint32_t onTopLayer = 6;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = atom(c, "_WIN_LAYER");
    message.data.data32[0] = topmost ? onTopLayer : normalLayer;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

void X11Window::skipTaskbarAndPager(QWidget& window) {
    xcb_connection_t* c = xcbConnection();
    if (!c || !window.windowHandle())
        return;
    constexpr std::uint32_t add = 1;
    const auto id = static_cast<xcb_window_t>(window.windowHandle()->winId());
    const xcb_window_t root = rootOf(c, id);
    if (!root)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = atom(c, "_NET_WM_STATE");
    message.data.data32[0] = add;
    message.data.data32[1] = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    message.data.data32[2] = atom(c, "_NET_WM_STATE_SKIP_PAGER");
    message.data.data32[3] = 1; // the request comes from an application
    if (windowManagerRunning(c, root)) {
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&message));
    } else {
        // Nobody to ask: write the states where a window manager that starts later reads them.
        xcb_change_property(c, XCB_PROP_MODE_APPEND, message.window, message.type, XCB_ATOM_ATOM,
                            32, 2, &message.data.data32[1]);
    }
    xcb_flush(c);
}
