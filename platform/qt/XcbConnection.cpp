#include "platform/qt/XcbConnection.h"

#include <QGuiApplication>

xcb_connection_t* xcbConnection() {
    // qGuiApp casts without looking, and a program without a GUI (the unit tests) has a plain
    // QCoreApplication.
    const auto* gui = qobject_cast<const QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
