#pragma once

#include <xcb/xcb.h>

// Qt's own connection to the X server, and the root window of its default
// screen: null and 0 when Qt does not run on X11.
xcb_connection_t *qtXcbConnection();
xcb_window_t qtXcbRoot();
