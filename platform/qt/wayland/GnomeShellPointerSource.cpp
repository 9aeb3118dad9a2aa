#include "platform/qt/wayland/GnomeShellPointerSource.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

#include <cstdio>

namespace {

const QString shellService = QStringLiteral("org.gnome.Shell");
const QString extensionPath = QStringLiteral("/org/example/Vardo/Pointer");
const QString extensionInterface = QStringLiteral("org.example.Vardo.Pointer");
// The shell answers within a frame; this bounds a shell that has stopped, which a tick waits
// for.
constexpr int callTimeoutMs = 250;

// The shell's extension states (js/misc/extensionUtils.js).
constexpr int stateEnabled = 1;
constexpr int stateError = 3;
constexpr int stateOutOfDate = 4;

} // namespace

GnomeShellPointerSource::GnomeShellPointerSource(const QDBusConnection& bus)
    : bus(bus) {}

void GnomeShellPointerSource::checkExtension() {
    QPoint at;
    QRect stage;
    QString error;
    if (ask(at, stage, error))
        return;
    failing = true;
    std::fprintf(stderr, "vardo: %s\n", qPrintable(advice(error)));
}

QString GnomeShellPointerSource::advice(const QString& error) {
    const QString uuid = QLatin1String(extensionUuid);
    const QString fallback =
        QStringLiteral(", so the eyes follow the pointer only over X11 windows");
    const QString enable =
        QStringLiteral("; enable it with \"gnome-extensions enable ") + uuid + QStringLiteral("\"");
    QDBusMessage call = QDBusMessage::createMethodCall(
        shellService, QStringLiteral("/org/gnome/Shell"),
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("GetExtensionInfo"));
    call.setArguments({uuid});
    const QDBusReply<QVariantMap> info = bus.call(call, QDBus::Block, callTimeoutMs);
    if (info.isValid() && info.value().isEmpty())
        // The shell looks for extensions when the session starts.
        return QStringLiteral("GNOME Shell has not loaded Vardo's extension ") + uuid + fallback +
               QStringLiteral("; install it with Vardo, log out and in again") + enable;
    const int state = info.isValid() ? info.value().value(QStringLiteral("state")).toInt() : 0;
    if (state == stateOutOfDate)
        return QStringLiteral("Vardo's GNOME Shell extension ") + uuid +
               QStringLiteral(" was not made for this version of GNOME Shell") + fallback;
    if (state == stateError)
        return QStringLiteral("GNOME Shell could not start Vardo's extension ") + uuid +
               QStringLiteral(" (") + info.value().value(QStringLiteral("error")).toString() +
               QStringLiteral(")") + fallback;
    if (state == stateEnabled)
        return QStringLiteral("Vardo's GNOME Shell extension ") + uuid +
               QStringLiteral(" does not answer (") + error + QStringLiteral(")") + fallback;
    return QStringLiteral("Vardo's GNOME Shell extension ") + uuid +
           QStringLiteral(" is not enabled") + fallback + enable;
}

bool GnomeShellPointerSource::ask(QPoint& at, QRect& stage, QString& error) {
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(shellService, extensionPath, extensionInterface,
                                                QStringLiteral("GetPosition")),
                 QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        error = reply.errorMessage();
        return false;
    }
    const QVariantList values = reply.arguments();
    bool valid = values.size() == 4;
    int v[4] = {};
    for (int i = 0; valid && i < 4; ++i)
        v[i] = values[i].toInt(&valid);
    if (!valid || v[2] <= 0 || v[3] <= 0) {
        error = QStringLiteral("it answered with something other than a position");
        return false;
    }
    at = QPoint(v[0], v[1]);
    stage = QRect(0, 0, v[2], v[3]);
    return true;
}

bool GnomeShellPointerSource::position(QPoint& screen) {
    QPoint at;
    QRect stage;
    QString error;
    if (!ask(at, stage, error)) {
        if (!failing)
            std::fprintf(stderr,
                         "vardo: the GNOME Shell extension %s stopped answering (%s), so the "
                         "eyes follow the pointer only over X11 windows until it is back\n",
                         extensionUuid, qPrintable(error));
        failing = true;
        return false;
    }
    failing = false;
    screen = toScreen(at, stage, screens());
    return true;
}
