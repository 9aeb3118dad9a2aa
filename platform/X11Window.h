#pragma once

class QWidget;

// Window-manager hints that Qt has no API for. Each is a no-op off X11.
namespace X11Window {

// Keeps a window off the taskbar and the pager (_NET_WM_STATE_SKIP_TASKBAR and
// _NET_WM_STATE_SKIP_PAGER). Call right after show(): Qt writes the window's whole state list
// as it maps it, so the two states go to the window manager as a request, which it handles
// after the map request that show() has just sent. Without a window manager the states go
// straight into the property, for one that starts later.
void skipTaskbarAndPager(QWidget& window);

} // namespace X11Window
