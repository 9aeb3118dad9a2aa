#include "platform/qt/DirectRepaint.h"

#include "platform/qt/XcbConnection.h"

#include <QAbstractEventDispatcher>
#include <QBackingStore>
#include <QEvent>
#include <QImage>
#include <QVarLengthArray>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// True when a depth-24 drawable of screen holds its pixels as a 32-bit QImage does in
// memory: 32 bits each, red, green and blue in the low three bytes, in this machine's byte
// order. That is how Qt's backing store comes on a usual X11 desktop; for anything else Qt
// converts on the way out, and this leaves the drawing to Qt.
bool screenTakesQImagePixels(const xcb_setup_t* setup, const xcb_screen_t* screen) {
    const auto hostOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian
                               ? XCB_IMAGE_ORDER_LSB_FIRST
                               : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != hostOrder)
        return false;
    bool fourBytes = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        fourBytes |= f.data->depth == 24 && f.data->bits_per_pixel == 32;
    if (!fourBytes || screen->root_depth != 24)
        return false;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual)
                return v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 &&
                       v.data->blue_mask == 0xff;
        }
    }
    return false;
}

} // namespace

DirectRepaint& DirectRepaint::of(QWidget& window) {
    auto* existing = window.findChild<DirectRepaint*>(QString(), Qt::FindDirectChildrenOnly);
    return existing ? *existing : *new DirectRepaint(window);
}

DirectRepaint::DirectRepaint(QWidget& window)
    : QObject(&window)
    , window_(window) {
    xcb_connection_t* c = xcbConnection();
    auto* dispatcher = QAbstractEventDispatcher::instance();
    if (!c || !dispatcher)
        return;
    connection_ = c;
    // The graphics context is made as the window gets its native window, so that a repaint
    // costs no request but its images.
    window.installEventFilter(this);
    // Qt's xcb connection sends buffered requests only when it waits for a reply (the next
    // pointer query, a tenth of a second later): flush once the event loop has nothing left
    // to do, after all the repaints of one turn.
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &DirectRepaint::flush);
}

DirectRepaint::~DirectRepaint() {
    if (gc_ && xcbConnection() == connection_)
        xcb_free_gc(connection_, gc_);
}

// A graphics context serves only drawables of its own screen, and on a display of several
// screens (DISPLAY=:0.1) the window need not be on the first: each native window the form gets
// is asked for its screen and depth once.
bool DirectRepaint::drawsOn(std::uint32_t window) {
    if (window == gcWindow_)
        return gc_ != 0;
    if (gc_)
        xcb_free_gc(connection_, gc_);
    gc_ = 0;
    gcWindow_ = window;
    const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr),
        &std::free);
    if (!geometry || geometry->depth != 24)
        return false;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen)) {
        if (screen.data->root == geometry->root) {
            if (!screenTakesQImagePixels(setup, screen.data))
                return false;
            gc_ = xcb_generate_id(connection_);
            xcb_create_gc(connection_, gc_, window, 0, nullptr);
            return true;
        }
    }
    return false;
}

QImage* DirectRepaint::canvas() {
    const QWindow* handle = window_.windowHandle();
    QBackingStore* store = window_.backingStore();
    if (!connection_ || !handle || !handle->isExposed() || !store ||
        !drawsOn(static_cast<std::uint32_t>(handle->winId())))
        return nullptr;
    // On X11 the backing store is a QImage in device pixels. Under a scale factor Qt hands it
    // out with the factor as its device pixel ratio, from its first paint on; before that the
    // image's size gives it away.
    QPaintDevice* device = store->paintDevice();
    if (device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const qreal ratio = image->devicePixelRatio();
    scale_ = static_cast<int>(ratio);
    // An opaque window is painted in the premultiplied format of the same depth, every pixel
    // opaque: either way the low three bytes are what a depth-24 window takes.
    const bool layout = image->format() == QImage::Format_RGB32 ||
                        image->format() == QImage::Format_ARGB32_Premultiplied;
    if (!layout || scale_ != ratio || image->size() != window_.size() * scale_)
        return nullptr;
    return image;
}

// Plain PutImage rather than Qt's shared-memory flush: the pixels travel in the request, so
// nothing waits for the server to finish reading the segment first. A shared-memory flush of
// Qt's still on its way may read some of the new pixels early, and this request, behind it in
// the stream, ends with them all.
void DirectRepaint::send(const QImage& image, const QRect& client) {
    const QRect rect = QRect(client.topLeft() * scale_, client.size() * scale_) & image.rect();
    if (rect.isEmpty())
        return;
    const auto width = static_cast<std::size_t>(rect.width());
    QVarLengthArray<std::uint32_t, 256> pixels(static_cast<qsizetype>(width) * rect.height());
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(pixels.data() + y * width, image.constScanLine(rect.y() + y) + rect.x() * 4,
                    width * 4);
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP,
                  static_cast<xcb_window_t>(window_.windowHandle()->winId()), gc_,
                  static_cast<std::uint16_t>(rect.width()),
                  static_cast<std::uint16_t>(rect.height()), static_cast<std::int16_t>(rect.x()),
                  static_cast<std::int16_t>(rect.y()), 0, 24,
                  static_cast<std::uint32_t>(pixels.size() * 4),
                  reinterpret_cast<const std::uint8_t*>(pixels.data()));
    unflushed_ = true;
    sent_ |= client;
    if (watched_ != window_.windowHandle()) {
        watched_ = window_.windowHandle();
        watched_->installEventFilter(this);
    }
}

void DirectRepaint::flush() {
    if (!unflushed_)
        return;
    unflushed_ = false;
    xcb_flush(connection_);
}

// Without shared memory Qt keeps its copy of the window in a server pixmap, which it refreshes
// only from what it paints itself, and answers an expose from that copy without painting. So
// what this sent goes on Qt's list to paint before Qt handles the next expose; with shared
// memory that costs a small repaint of the same pixels.
bool DirectRepaint::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::WinIdChange && window_.internalWinId())
            drawsOn(static_cast<std::uint32_t>(window_.internalWinId()));
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Expose && !sent_.isEmpty()) {
        window_.update(sent_);
        sent_ = QRect();
    }
    return QObject::eventFilter(watched, event);
}
