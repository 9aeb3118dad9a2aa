#pragma once

#include "platform/qt/wayland/PointerSource.h"

#include <QDBusConnection>
#include <QString>

// The pointer on GNOME's Wayland session: Vardo's GNOME Shell extension answers one D-Bus call
// with the pointer's position, and each tick makes that call once. While the extension does
// not answer (not enabled yet, or disabled while the screen is locked) a tick gets nothing
// and the caller asks XWayland; once it answers again it takes over.
class GnomeShellPointerSource : public PointerSource {
public:
    // The extension's UUID: its folder under gnome-shell/extensions and its name in
    // gnome-extensions.
    static constexpr const char* extensionUuid = "vardo@example.org";

    explicit GnomeShellPointerSource(const QDBusConnection& bus);

    // Asks the extension once; if it does not answer, says why in one line on stderr and how
    // to enable it.
    void checkExtension();

    bool position(QPoint& screen) override;

private:
    // The pointer and the stage's size in the shell's logical pixels, or the error.
    bool ask(QPoint& at, QRect& stage, QString& error);
    // Why the extension does not answer and what to do, from the shell's own record of it.
    QString advice(const QString& error);

    QDBusConnection bus;
    // Set from the first failure until the extension answers again: one line per outage.
    bool failing = false;
};
