#include "input/QtXcb.h"

#include <QGuiApplication>

xcb_connection_t *qtXcbConnection()
{
#if QT_CONFIG(xcb)
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>())
            return x11->connection();
    }
#endif
    return nullptr;
}

xcb_window_t qtXcbRoot()
{
    xcb_connection_t *connection = qtXcbConnection();
    if (!connection)
        return 0;
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data->root : 0;
}
