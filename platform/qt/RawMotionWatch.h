#pragma once

#include "platform/qt/MotionWatch.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdint>
#include <memory>

// Pointer moves in an X11 session, from XInput 2's raw events on the root window: the server
// reports every move of any pointer device there, and every touch (which moves the pointer
// through its emulation), wherever the pointer is and whoever has grabbed it. A mouse sends a
// report at 125 to 1000 a second, so the events are selected only while somebody waits for a
// move and deselected at the first one.
//
// A warp (XWarpPointer: window managers focusing a window from the keyboard, keyboard pointer
// tools, games) moves the pointer without any device event, and X has nothing that reports it
// short of recording all input. So while it listens, the watch also looks at the pointer once
// every warpLookMs, where asked to: one QueryPointer round trip.
class RawMotionWatch : public MotionWatch, public QAbstractNativeEventFilter {
public:
    // What the server's answer to the XInput version query lets the watch select: raw motion
    // from 2.0, raw touch from 2.2. No answer (the server has XInput 1 only) or a 1.x one:
    // nothing, and the timers keep looking.
    static std::uint32_t rawEventMask(const xcb_input_xi_query_version_reply_t* version);
    static constexpr int warpLookMs = 900;

    // Null when the display has no XInput 2. `lookForWarps` where a warp can move the pointer
    // unseen: in an X11 session, not under XWayland, where only the compositor warps it.
    static std::unique_ptr<RawMotionWatch> open(bool lookForWarps);
    ~RawMotionWatch() override;

    bool listen(QPoint cursor) override;
    void stopListening() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    RawMotionWatch(xcb_connection_t* connection, xcb_window_t root, std::uint8_t opcode,
                   std::uint32_t mask, bool lookForWarps);
    void select(bool raw);
    void moved();
    void lookForWarp();

    xcb_connection_t* connection;
    xcb_window_t root;
    // XInput's major opcode: its events come as generic events that carry it.
    std::uint8_t opcode;
    std::uint32_t mask;
    bool selected = false;
    // Where the pointer was when the watch began to listen, in screen pixels.
    QPoint listenedAt;
    QTimer warpLook;
};
