#pragma once

#include "platform/qt/MotionWatch.h"

#include <QList>
#include <QPoint>
#include <QRect>

#include <memory>

// Where the pointer is on a Wayland desktop, asked of the compositor. There X11 (XWayland) only
// sees the pointer while it is over an X11 window.
class PointerSource {
public:
    // One screen as the program sees it: its geometry in logical pixels (Qt's
    // device-independent pixels) and how many X pixels make one of them.
    struct Screen {
        QRect geometry;
        double devicePixelRatio = 1.0;
    };

    virtual ~PointerSource() = default;

    // The source for this session: none in an X11 session, which keeps asking the X server.
    // In a Wayland session the compositor on the session bus decides; when it cannot tell,
    // this says so in one line on stderr and returns none.
    static std::unique_ptr<PointerSource> forSession();
    // The session is a Wayland desktop's, where X11 sees the pointer only over X11 windows.
    static bool waylandSession();

    // The pointer in screen pixels (logical, as Qt reports X11 positions). False when the
    // compositor cannot tell now; the caller then asks XWayland.
    virtual bool position(QPoint& screen) = 0;
    // What reports the compositor's pushes, if the source has them: then the timers need not
    // look while the pointer rests.
    virtual MotionWatch* moves() { return nullptr; }
    // What sees the pointer move over X11 windows (XWayland's raw motion), for a source whose
    // compositor may stop telling while the program runs. The watch must outlive the source.
    virtual void fallBackOn(MotionWatch*) {}
    // Whether fallBackOn has any use here.
    virtual bool mayFallBack() const { return false; }

    // Called just before the program ends itself: leave nothing behind in the compositor.
    virtual void release() {}

    // Maps a position in the compositor's logical pixels, on a desktop that spans
    // compositorDesktop there, to the program's screen pixels. XWayland's root window spans
    // the screens' X pixels: the same as the compositor's logical pixels when the compositor
    // scales X11 windows itself, a multiple of them when X11 programs scale themselves.
    static QPoint toScreen(QPoint compositor, QRect compositorDesktop,
                           const QList<Screen>& screens);
    // The screens as Qt sees them now.
    static QList<Screen> screens();
};
