#pragma once

#include "platform/qt/MotionWatch.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <memory>

// Pointer moves in an X11 session, from XInput 2's raw motion on the root window: the server
// reports every move of any pointer device there, wherever the pointer is and whoever has
// grabbed it. A mouse sends a report at 125 to 1000 a second, so the events are selected only
// while somebody waits for a move and deselected at the first one.
class RawMotionWatch : public MotionWatch, public QAbstractNativeEventFilter {
public:
    // Null when the display has no XInput 2.
    static std::unique_ptr<RawMotionWatch> open();
    ~RawMotionWatch() override;

    bool listen(QPoint cursor) override;
    void stopListening() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    RawMotionWatch(xcb_connection_t* connection, xcb_window_t root, std::uint8_t opcode);
    void select(bool rawMotion);

    xcb_connection_t* connection;
    xcb_window_t root;
    // XInput's major opcode: its events come as generic events that carry it.
    std::uint8_t opcode;
    bool selected = false;
};
