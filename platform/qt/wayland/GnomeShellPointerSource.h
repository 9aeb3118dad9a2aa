#pragma once

#include "platform/qt/wayland/PointerSource.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QVariantMap>

// The pointer on GNOME's Wayland session: Vardo's GNOME Shell extension pushes the pointer's
// position to this program on every move once asked to (watchPushes), so that a tick reads the
// last one received and the timers rest while the pointer does. An extension of an older
// version only answers a D-Bus call with the position, and then each tick makes that call once.
// While the extension does not answer (not enabled yet) a tick gets nothing and the caller asks
// XWayland; once it answers again it takes over, and pushes again. While the shell says that
// it has disabled the extension (at every screen lock, or by the user's hand) nothing is asked
// of it until its next state change: XWayland tells where the pointer is, and its raw motion
// when it moves over X11 windows.
class GnomeShellPointerSource : public QObject, public PointerSource, public MotionWatch {
    Q_OBJECT

public:
    // The extension's UUID: its folder under gnome-shell/extensions and its name in
    // gnome-extensions.
    static constexpr const char* extensionUuid = "vardo@example.org";

    explicit GnomeShellPointerSource(const QDBusConnection& bus);

    // The first look at the extension. When it does not answer for a reason that waiting
    // will not change (not installed, not enabled, out of date for this GNOME Shell, failed to
    // start), says so in one line on stderr at once, with what to do. A shell that is merely
    // busy (mapping this program's window, still starting) gets firstLookPatienceMs more, in
    // which the ticks keep asking quietly; the line comes only if it still does not answer.
    void checkExtension();

    // Asks the extension to push each move from now on, and again whenever the shell enables
    // it anew. Returns at once; the answer comes through the event loop.
    void watchPushes();

    bool position(QPoint& screen) override;
    MotionWatch* moves() override { return this; }
    bool listen(QPoint cursor) override;
    void stopListening() override;
    void fallBackOn(MotionWatch* watch) override;
    bool mayFallBack() const override { return true; }

private Q_SLOTS:
    // The extension's push, in the shell's logical pixels.
    void onMoved(int x, int y, int width, int height);
    void onExtensionStateChanged(const QString& uuid, const QVariantMap& state);
    void onStateSettled();

private:
    void askForPushes();

    // The pointer and the stage's size in the shell's logical pixels, or the error.
    bool ask(QPoint& at, QRect& stage, QString& error);
    // Why the extension does not answer and what to do, from the shell's own record of it.
    // `lasting` is false when the shell or the extension may yet answer.
    QString advice(const QString& error, bool& lasting);
    void report(const QString& line);

    QDBusConnection bus;
    // Set from the first failure until the extension answers again: one line per outage.
    bool failing = false;
    // Until the extension has answered once: the first line says why it does not, not that
    // it stopped.
    bool answered = false;
    // When the first look's line is due, if the extension has not answered by then; forever
    // when no line is due.
    QDeadlineTimer firstLookDue{QDeadlineTimer::Forever};
    // The extension has sent a position since it last agreed to push; the last one.
    bool pushed = false;
    QPoint pushedAt;
    QRect pushedStage;
    // The shell's last word on the extension was that it is not enabled.
    bool disabled = false;
    // The shell reports a change of the extension's state in a burst (GNOME Shell 51 says it is
    // enabled on its way to disabling it): the last word counts, once the burst is over.
    QTimer settling;
    bool enabledLast = true;
    MotionWatch* fallback = nullptr;
};
