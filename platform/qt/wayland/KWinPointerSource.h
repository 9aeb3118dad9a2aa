#pragma once

#include "platform/qt/wayland/PointerSource.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>

class QEventLoop;

// The pointer on KDE Plasma's Wayland session: a KWin script that this source loads through
// KWin's scripting interface pushes each new pointer position to this program over the
// session bus, so a tick only reads the last one received, and each push is a move that ends
// the timers' rest. The script unloads itself at the next move once this program's bus name is
// gone, however the program ended.
class KWinPointerSource : public QDBusVirtualObject, public PointerSource, public MotionWatch {
public:
    // Loads and starts the script and waits for its first position. Null, with the reason in
    // `why`, if KWin would not run it.
    static std::unique_ptr<KWinPointerSource> load(const QDBusConnection& bus, QString& why);
    ~KWinPointerSource() override;

    bool position(QPoint& screen) override;
    void release() override;
    MotionWatch* moves() override { return this; }
    // The script pushes every move once it has sent the first.
    bool listen(QPoint) override { return received; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    explicit KWinPointerSource(const QDBusConnection& bus);
    bool start(QString& why);
    bool unloadScript(int timeoutMs);

    QDBusConnection bus;
    // KWin's unique bus name: positions from any other sender are refused.
    QString kwin;
    // The script's name in KWin, unique to this program's connection.
    QString pluginName;
    bool loaded = false;
    // The event loop that waits for the first position while the script starts.
    QEventLoop* firstPosition = nullptr;
    bool received = false;
    // The last position in KWin's logical pixels, and the desktop it lies on.
    QPoint at;
    QRect desktop;
};
