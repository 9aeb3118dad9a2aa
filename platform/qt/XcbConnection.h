#pragma once

#include <xcb/xcb.h>

// The toolkit's own connection to the X server, or null when the program does not run on
// Qt's xcb platform (offscreen in the unit tests, or no display).
xcb_connection_t* xcbConnection();
