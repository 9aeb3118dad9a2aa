#include "platform/qt/wayland/GnomeShellPointerSource.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
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
// The shell's record of the extension is asked for only when it does not answer; a shell
// that is busy mapping this program's window may take longer over it.
constexpr int infoTimeoutMs = 1000;
// How long the first look waits for a shell that is busy, or still starting the extension,
// before it says that the extension does not answer.
constexpr int firstLookPatienceMs = 10000;
// How long the shell's reports of a change of the extension's state take to come to rest.
constexpr int stateSettleMs = 300;

// The shell's extension states (js/misc/extensionUtils.js; 45 renamed enabled/disabled to
// active/inactive, with the same numbers). Initialized: loaded, but not in the enabled list.
constexpr int stateEnabled = 1;
constexpr int stateDisabled = 2;
constexpr int stateError = 3;
constexpr int stateOutOfDate = 4;
constexpr int stateInitialized = 6;
constexpr int stateUninstalled = 99;

} // namespace

GnomeShellPointerSource::GnomeShellPointerSource(const QDBusConnection& bus)
    : bus(bus) {
    settling.setSingleShot(true);
    settling.setInterval(stateSettleMs);
    connect(&settling, &QTimer::timeout, this, &GnomeShellPointerSource::onStateSettled);
}

void GnomeShellPointerSource::checkExtension() {
    QPoint at;
    QRect stage;
    QString error;
    if (ask(at, stage, error)) {
        answered = true;
        return;
    }
    failing = true;
    bool lasting = false;
    const QString why = advice(error, lasting);
    if (lasting)
        report(why);
    else
        firstLookDue.setRemainingTime(firstLookPatienceMs);
}

void GnomeShellPointerSource::report(const QString& line) {
    std::fprintf(stderr, "vardo: %s\n", qPrintable(line));
}

QString GnomeShellPointerSource::advice(const QString& error, bool& lasting) {
    const QString uuid = QLatin1String(extensionUuid);
    const QString fallback =
        QStringLiteral(", so the eyes follow the pointer only over X11 windows");
    const QString enable =
        QStringLiteral("; enable it with \"gnome-extensions enable ") + uuid + QStringLiteral("\"");
    QDBusMessage call = QDBusMessage::createMethodCall(
        shellService, QStringLiteral("/org/gnome/Shell"),
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("GetExtensionInfo"));
    call.setArguments({uuid});
    const QDBusReply<QVariantMap> info = bus.call(call, QDBus::Block, infoTimeoutMs);
    lasting = true;
    if (!info.isValid()) {
        lasting = false;
        return QStringLiteral("GNOME Shell does not answer (") + error + QStringLiteral(")") +
               fallback;
    }
    const int state = info.value().value(QStringLiteral("state")).toInt();
    if (info.value().isEmpty() || state == stateUninstalled)
        // The shell looks for extensions when the session starts.
        return QStringLiteral("GNOME Shell has not loaded Vardo's extension ") + uuid + fallback +
               QStringLiteral("; install it with Vardo, log out and in again") + enable;
    if (state == stateOutOfDate)
        return QStringLiteral("Vardo's GNOME Shell extension ") + uuid +
               QStringLiteral(" was not made for this version of GNOME Shell") + fallback +
               QStringLiteral("; a newer Vardo lists it, or set org.gnome.shell "
                              "disable-extension-version-validation to true");
    if (state == stateError)
        return QStringLiteral("GNOME Shell could not start Vardo's extension ") + uuid +
               QStringLiteral(" (") + info.value().value(QStringLiteral("error")).toString() +
               QStringLiteral(")") + fallback;
    if (state == stateDisabled || state == stateInitialized)
        return QStringLiteral("Vardo's GNOME Shell extension ") + uuid +
               QStringLiteral(" is not enabled") + fallback + enable;
    // Enabled, or on its way to or from it: it may answer in a moment.
    lasting = false;
    return QStringLiteral("Vardo's GNOME Shell extension ") + uuid +
           QStringLiteral(" does not answer (") + error + QStringLiteral(")") + fallback;
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

void GnomeShellPointerSource::watchPushes() {
    // The shell enables its extensions anew after the lock screen, and an extension that is
    // enabled again has forgotten who asked for pushes.
    bus.connect(shellService, QStringLiteral("/org/gnome/Shell"),
                QStringLiteral("org.gnome.Shell.Extensions"),
                QStringLiteral("ExtensionStateChanged"), this,
                SLOT(onExtensionStateChanged(QString, QVariantMap)));
    // Sent to this program's unique name alone, from the shell's.
    bus.connect(shellService, extensionPath, extensionInterface, QStringLiteral("Moved"), this,
                SLOT(onMoved(int, int, int, int)));
    askForPushes();
}

void GnomeShellPointerSource::askForPushes() {
    auto* answer = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(shellService, extensionPath,
                                                     extensionInterface, QStringLiteral("Watch")),
                      callTimeoutMs),
        this);
    // Without an answer (an extension of an older version, or none enabled) the ticks keep
    // asking for the position.
    connect(answer, &QDBusPendingCallWatcher::finished, answer, &QObject::deleteLater);
}

void GnomeShellPointerSource::onMoved(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    pushedAt = QPoint(x, y);
    pushedStage = QRect(0, 0, width, height);
    pushed = true;
    disabled = false;
    failing = false;
    answered = true;
    reportMove();
}

void GnomeShellPointerSource::onExtensionStateChanged(const QString& uuid,
                                                      const QVariantMap& state) {
    if (uuid != QLatin1String(extensionUuid))
        return;
    // Enabled or not, the pushes so far are over, and nothing is asked of the extension until
    // the shell has settled on its state.
    enabledLast = state.value(QStringLiteral("state")).toInt() == stateEnabled;
    pushed = false;
    disabled = true;
    settling.start();
}

void GnomeShellPointerSource::onStateSettled() {
    // Asking a disabled extension fails every time; a locked screen would pay that all night.
    // Once enabled the ticks ask until the next push. The ticks are woken either way.
    disabled = !enabledLast;
    if (!disabled)
        askForPushes();
    reportMove();
}

bool GnomeShellPointerSource::listen(QPoint cursor) {
    // While the extension pushes, it reports every move; while it is disabled, only X11 can
    // tell, over its own windows.
    if (disabled)
        return fallback && fallback->listen(cursor);
    return pushed;
}

void GnomeShellPointerSource::stopListening() {
    if (fallback)
        fallback->stopListening();
}

void GnomeShellPointerSource::fallBackOn(MotionWatch* watch) {
    fallback = watch;
    if (fallback)
        fallback->moved = [this] {
            reportMove();
        };
}

bool GnomeShellPointerSource::position(QPoint& screen) {
    if (pushed) {
        screen = toScreen(pushedAt, pushedStage, screens());
        return true;
    }
    if (disabled)
        return false;
    QPoint at;
    QRect stage;
    QString error;
    if (!ask(at, stage, error)) {
        if (!answered) {
            // The first look's line is still due once the shell has had its time.
            if (firstLookDue.hasExpired()) {
                bool lasting = false;
                report(advice(error, lasting));
                firstLookDue = QDeadlineTimer(QDeadlineTimer::Forever);
            }
        } else if (!failing) {
            report(QStringLiteral("the GNOME Shell extension ") + QLatin1String(extensionUuid) +
                   QStringLiteral(" stopped answering (") + error +
                   QStringLiteral("), so the eyes follow the pointer only over X11 windows "
                                  "until it is back"));
        }
        failing = true;
        return false;
    }
    failing = false;
    answered = true;
    screen = toScreen(at, stage, screens());
    return true;
}
