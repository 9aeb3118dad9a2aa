#include "face/Form1.h"
#include "platform/qt/X11Platform.h"
#include "platform/qt/wayland/PointerSource.h"

#include <QApplication>

#include <xcb/xcb.h>

#include <cstdio>

namespace {

// The pupils follow the pointer through X11, and Qt would abort with a screenful of warnings
// if it could not open a display: check first and say what is missing in one line.
bool x11DisplayReachable() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs("vardo: needs an X11 display, and DISPLAY is not set\n", stderr);
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reachable)
        std::fprintf(stderr, "vardo: needs an X11 display, and cannot open display %s\n",
                     qgetenv("DISPLAY").constData());
    return reachable;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!x11DisplayReachable())
        return 1;
    // Also under Wayland, through XWayland: the face's shape and its place above other windows
    // are X11's, and X11 tells where the pointer is over X11 windows (over the others the
    // compositor tells, through the pointer source below).
    qputenv("QT_QPA_PLATFORM", "xcb");
    X11Platform::reportLostDisplayOnce();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellmoor"));
    QApplication::setApplicationVersion(QStringLiteral(VARDO_VERSION));
    // The program ends by its Exit command only, not when the About window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    X11Platform platform;
    platform.usePointerSource(PointerSource::forSession());
    Form1 face(platform);
    face.Show();
    return QApplication::exec();
}
