#pragma once

#include <xcb/xcb.h>
#include <xcb/xinput.h>

// The toolkit's own connection to the X server, or null when the program does not run on
// Qt's xcb platform (offscreen in the unit tests, or no display).
xcb_connection_t* xcbConnection();

// The XInput version the server speaks with the program, asked once: the toolkit asks for 2.2 or
// later itself, and a server answers a second query of 2.2 with the lower of the two versions.
// Null without XInput on the toolkit's connection, or without that connection.
const xcb_input_xi_query_version_reply_t* xinputVersion();

// Whether `version` carries touch events: selecting or grabbing them on a connection that
// speaks less than 2.2 is an error.
bool xinputHasTouch(const xcb_input_xi_query_version_reply_t* version);
