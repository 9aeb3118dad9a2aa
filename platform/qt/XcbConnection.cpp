#include "platform/qt/XcbConnection.h"

#include <QGuiApplication>

xcb_connection_t* xcbConnection() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
