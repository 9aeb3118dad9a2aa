#include "platform/qt/wayland/PointerSource.h"

#include "platform/qt/wayland/GnomeShellPointerSource.h"
#include "platform/qt/wayland/KWinPointerSource.h"

#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

namespace {

const char* const onlyOverX11 = "the eyes follow the pointer only over X11 windows";

// The screen's rectangle in X pixels: Qt keeps a screen's corner where X has it and divides
// only its size by the scale.
QRectF xRect(const PointerSource::Screen& screen) {
    return QRectF(screen.geometry.topLeft(),
                  QSizeF(screen.geometry.size()) * screen.devicePixelRatio);
}

} // namespace

bool PointerSource::waylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qgetenv("XDG_SESSION_TYPE") == "wayland";
}

std::unique_ptr<PointerSource> PointerSource::forSession() {
    if (!waylandSession())
        return nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr,
                     "vardo: no session bus to ask the Wayland desktop where the pointer "
                     "is, so %s\n",
                     onlyOverX11);
        return nullptr;
    }
    // Which compositor runs the session, by the names it holds on the bus: XDG_CURRENT_DESKTOP
    // varies between distributions (Ubuntu's GNOME says "ubuntu:GNOME").
    QDBusConnectionInterface* names = bus.interface();
    if (names->isServiceRegistered(QStringLiteral("org.kde.KWin")).value()) {
        QString why;
        if (auto source = KWinPointerSource::load(bus, why))
            return source;
        std::fprintf(stderr, "vardo: KWin did not run Vardo's pointer script (%s), so %s\n",
                     qPrintable(why), onlyOverX11);
        return nullptr;
    }
    if (names->isServiceRegistered(QStringLiteral("org.gnome.Shell")).value()) {
        auto source = std::make_unique<GnomeShellPointerSource>(bus);
        source->checkExtension();
        source->watchPushes();
        return source;
    }
    std::fprintf(stderr,
                 "vardo: this Wayland desktop does not tell programs where the pointer "
                 "is, so %s\n",
                 onlyOverX11);
    return nullptr;
}

QList<PointerSource::Screen> PointerSource::screens() {
    QList<Screen> found;
    for (const QScreen* screen : QGuiApplication::screens())
        found.append({screen->geometry(), screen->devicePixelRatio()});
    return found;
}

QPoint PointerSource::toScreen(QPoint compositor, QRect compositorDesktop,
                               const QList<Screen>& screens) {
    if (screens.isEmpty() || compositorDesktop.isEmpty())
        return compositor;
    QRectF root;
    for (const Screen& screen : screens)
        root |= xRect(screen);
    // X pixels per compositor pixel, the same across the desktop.
    const double scaleX = root.width() / compositorDesktop.width();
    const double scaleY = root.height() / compositorDesktop.height();
    const QPointF x11(root.left() + (compositor.x() - compositorDesktop.left()) * scaleX,
                      root.top() + (compositor.y() - compositorDesktop.top()) * scaleY);
    // Each screen scales its X pixels from its own corner; outside them all, the first
    // (primary) screen's scale applies.
    const Screen* holder = &screens.front();
    for (const Screen& screen : screens) {
        if (xRect(screen).contains(x11)) {
            holder = &screen;
            break;
        }
    }
    // Rounded as Qt rounds the X pointer, so both sources agree on every X pixel.
    const QPoint corner = holder->geometry.topLeft();
    const QPointF offset = (x11 - QPointF(corner)) / holder->devicePixelRatio;
    return corner + QPoint(qRound(offset.x()), qRound(offset.y()));
}
