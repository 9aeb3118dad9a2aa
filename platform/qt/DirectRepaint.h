#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWindow>

#include <cstdint>
#include <initializer_list>

class QImage;
class QWidget;
struct xcb_connection_t;

// Repaints a few pixels of a top-level window past Qt's repaint manager: the caller writes them
// into the window's backing store and they go to the X window in plain PutImage requests. For
// a few pixels Qt's own path costs many times the drawing: dirty-region bookkeeping against
// the window's shape, a paint event and a painter for each widget, and with shared memory a
// round trip before it draws into the segment again.
//
// The backing store stays what the screen shows, so Qt's later flushes (exposes, its own
// repaints) agree with it. Off X11 (the unit tests' offscreen platform), and wherever the
// backing store is not laid out as the screen takes it, repaint() declines and the caller asks
// Qt for an update instead.
class DirectRepaint : public QObject {
    Q_OBJECT

public:
    // The one of window, made with its first use; it goes with the window.
    static DirectRepaint& of(QWidget& window);
    ~DirectRepaint() override;

    // Has paint(canvas, scale) write the rectangles (client pixels, the window's own
    // coordinates) into the window's backing store, and sends them to the screen; the requests
    // leave before the event loop next waits, with whatever else was sent meanwhile. The canvas
    // holds 32-bit pixels whose low three bytes are red, green and blue, scale device pixels to
    // a client pixel each way. False, having done nothing, when not on X11, before the window
    // is exposed, for another pixel layout or a fractional scale.
    template <typename Paint> bool repaint(std::initializer_list<QRect> rects, Paint&& paint) {
        QImage* image = canvas();
        if (!image)
            return false;
        paint(*image, scale_);
        for (const QRect& rect : rects)
            send(*image, rect);
        return true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DirectRepaint(QWidget& window);
    bool drawsOn(std::uint32_t window);
    QImage* canvas();
    void send(const QImage& image, const QRect& rect);
    void flush();

    QWidget& window_;
    xcb_connection_t* connection_ = nullptr;
    // Made for the native window gcWindow_, on its screen; 0 where this cannot draw on it.
    std::uint32_t gc_ = 0;
    std::uint32_t gcWindow_ = 0;
    int scale_ = 1;
    bool unflushed_ = false;
    // The native window whose exposes this watches.
    QPointer<QWindow> watched_;
    // What has been sent since the window's last expose (the rectangle around it), client
    // pixels.
    QRect sent_;
};
