#pragma once

#include <QObject>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdint>

class QMenu;

// Qt takes the pointer for a pop-up menu with an XInput 2 grab and does not read the server's
// answer: a grab the server refuses counts as taken. It is refused when another client holds
// the pointer, as the desktop or another window does from the moment the user presses a button
// on it. So on a slow machine a user who right-clicks the face and then presses elsewhere before
// the menu has come up gets a menu that no click outside reaches, and that stays up until Esc.
// Once the menu is up, this takes the pointer for it again, as the toolkit asked, and reads the
// answer: the pointer is the menu's, or the menu goes, as the click that came first asked.
class MenuGrab : public QObject {
public:
    // Watches `menu`, which owns it. Nothing is done when the program does not run on Qt's xcb
    // platform or the display has no XInput 2.
    static void watch(QMenu& menu);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MenuGrab(QMenu& menu, xcb_connection_t* connection, std::uint32_t mask);
    void take();

    QMenu& menu;
    xcb_connection_t* connection;
    // The events the toolkit's own grab asks for.
    std::uint32_t mask;
    // The master pointer the grab was taken of, or none.
    xcb_input_device_id_t taken = 0;
    // A pointer frozen by another client's synchronous grab, or a menu the server does not yet
    // show, is asked for again after a while.
    QTimer retry;
    int tries = 0;
};
