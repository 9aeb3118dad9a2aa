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

// Moves a mapped window into or out of the topmost layer by the layer hint of the older GNOME
// window-manager protocol (_WIN_LAYER), if the window manager takes it. Qt asks for the change
// through _NET_WM_STATE_ABOVE only, and a window manager that keeps both (icewm) takes a window
// that was mapped with that state as having asked for the topmost layer, and keeps it there
// whatever _NET_WM_STATE requests follow, until the layer hint itself moves it.
void setLayer(QWidget& window, bool topmost);

} // namespace X11Window
