#pragma once

#include <QDBusConnection>

// The session bus, when one is there to be reached: the address in
// DBUS_SESSION_BUS_ADDRESS, or else the user bus socket $XDG_RUNTIME_DIR/bus.
// With neither, an unconnected connection is returned at once; libdbus would
// otherwise try to autolaunch a bus daemon for the X display, leaving a stray
// daemon behind. Main thread only (it may create Qt's shared session
// connection).
QDBusConnection sessionBusIfReachable();
