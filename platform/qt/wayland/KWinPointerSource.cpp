#include "platform/qt/wayland/KWinPointerSource.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
const QString scriptingPath = QStringLiteral("/Scripting");
const QString scriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString listenerPath = QStringLiteral("/org/example/Vardo/Pointer");
const QString listenerInterface = QStringLiteral("org.example.Vardo.PointerListener");
// KWin answers at once; these only bound a compositor that hangs.
constexpr int callTimeoutMs = 2000;
constexpr int unloadTimeoutMs = 500;
// The script pushes the pointer as soon as it runs.
constexpr int firstPositionTimeoutMs = 3000;

QDBusMessage scriptingCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kwinService, scriptingPath, scriptingInterface, method);
    call.setArguments(arguments);
    return call;
}

} // namespace

KWinPointerSource::KWinPointerSource(const QDBusConnection& bus)
    : bus(bus) {}

KWinPointerSource::~KWinPointerSource() {
    if (loaded)
        unloadScript(unloadTimeoutMs);
    bus.unregisterObject(listenerPath);
}

std::unique_ptr<KWinPointerSource> KWinPointerSource::load(const QDBusConnection& bus,
                                                           QString& why) {
    std::unique_ptr<KWinPointerSource> source(new KWinPointerSource(bus));
    if (!source->start(why))
        return nullptr;
    return source;
}

bool KWinPointerSource::start(QString& why) {
    const QDBusReply<QString> owner = bus.interface()->serviceOwner(kwinService);
    if (!owner.isValid()) {
        why = QStringLiteral("KWin is not on the session bus");
        return false;
    }
    kwin = owner.value();
    // Unique names are ':' and dotted digits (":1.42"); the script's name has dashes for the
    // rest ("vardo-pointer-1-42").
    const QString self = bus.baseService();
    pluginName = QStringLiteral("vardo-pointer");
    for (const QChar c : self)
        pluginName += c.isDigit() ? c : QLatin1Char('-');
    if (!bus.registerVirtualObject(listenerPath, this)) {
        why = QStringLiteral("cannot listen on the session bus");
        return false;
    }

    QFile resource(QStringLiteral(":/resources/kwin/vardo-pointer.js"));
    if (!resource.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("the script is missing from the program");
        return false;
    }
    QByteArray text = resource.readAll();
    text.replace("@VARDO_SERVICE@", self.toLatin1())
        .replace("@PLUGIN_NAME@", pluginName.toLatin1());
    // KWin reads the script from a file, some time after start returns: keep it until the
    // script has reported. The runtime directory is private to the user, as KWin is.
    QTemporaryFile file(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                        QStringLiteral("/vardo-pointer-XXXXXX.js"));
    if (!file.open() || file.write(text) != text.size() || !file.flush()) {
        why = QStringLiteral("cannot write the script to ") + file.fileName();
        return false;
    }

    const QDBusReply<int> id =
        bus.call(scriptingCall(QStringLiteral("loadScript"), {file.fileName(), pluginName}),
                 QDBus::Block, callTimeoutMs);
    if (!id.isValid() || id.value() < 0) {
        why = id.isValid() ? QStringLiteral("KWin refused the script")
                           : QStringLiteral("loading the script failed: ") + id.error().message();
        return false;
    }
    loaded = true;
    const QDBusMessage started =
        bus.call(scriptingCall(QStringLiteral("start"), {}), QDBus::Block, callTimeoutMs);
    if (started.type() == QDBusMessage::ErrorMessage) {
        why = QStringLiteral("starting the script failed: ") + started.errorMessage();
        return false;
    }

    // No window exists yet, so waiting here runs no handler of the program's own.
    QEventLoop waiting;
    QTimer::singleShot(firstPositionTimeoutMs, &waiting, &QEventLoop::quit);
    firstPosition = &waiting;
    if (!received)
        waiting.exec();
    firstPosition = nullptr;
    if (!received) {
        why = QStringLiteral("the script sent no position");
        return false;
    }
    return true;
}

bool KWinPointerSource::unloadScript(int timeoutMs) {
    loaded = false;
    const QDBusMessage reply = bus.call(scriptingCall(QStringLiteral("unloadScript"), {pluginName}),
                                        QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool KWinPointerSource::position(QPoint& screen) {
    if (!received)
        return false;
    screen = toScreen(at, desktop, screens());
    return true;
}

void KWinPointerSource::release() {
    if (loaded)
        unloadScript(unloadTimeoutMs);
}

bool KWinPointerSource::handleMessage(const QDBusMessage& message,
                                      const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage ||
        message.member() != QLatin1String("Moved") ||
        (!message.interface().isEmpty() && message.interface() != listenerInterface))
        return false;
    // Any program on the bus could call; only the script speaks for the pointer.
    if (message.service() != kwin) {
        connection.send(message.createErrorReply(QDBusError::AccessDenied,
                                                 QStringLiteral("only KWin reports the pointer")));
        return true;
    }
    const QVariantList arguments = message.arguments();
    int values[6] = {};
    bool valid = arguments.size() == 6;
    for (int i = 0; valid && i < 6; ++i)
        values[i] = arguments[i].toInt(&valid);
    if (!valid || values[4] <= 0 || values[5] <= 0) {
        connection.send(message.createErrorReply(
            QDBusError::InvalidArgs, QStringLiteral("expected x, y and the desktop rectangle")));
        return true;
    }
    at = QPoint(values[0], values[1]);
    desktop = QRect(values[2], values[3], values[4], values[5]);
    received = true;
    if (firstPosition)
        firstPosition->quit();
    connection.send(message.createReply());
    // Whichever thread the bus delivers on, the timers hear of it on the main thread.
    QMetaObject::invokeMethod(
        this, [this] { reportMove(); }, Qt::QueuedConnection);
    return true;
}

QString KWinPointerSource::introspect(const QString&) const {
    return QStringLiteral(
        "<interface name=\"org.example.Vardo.PointerListener\">"
        "<method name=\"Moved\">"
        "<arg name=\"x\" type=\"i\" direction=\"in\"/><arg name=\"y\" type=\"i\" direction=\"in\"/>"
        "<arg name=\"left\" type=\"i\" direction=\"in\"/>"
        "<arg name=\"top\" type=\"i\" direction=\"in\"/>"
        "<arg name=\"width\" type=\"i\" direction=\"in\"/>"
        "<arg name=\"height\" type=\"i\" direction=\"in\"/>"
        "</method></interface>");
}
