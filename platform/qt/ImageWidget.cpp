#include "platform/qt/ImageWidget.h"

#include "platform/Image.h"
#include "platform/qt/DirectRepaint.h"
#include "platform/qt/MouseCodes.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

// x times a / 255 in each of the four bytes, rounded as Qt's raster engine rounds it.
QRgb byteMul(QRgb x, uint a) {
    uint rb = (x & 0xff00ff) * a;
    rb = ((rb + ((rb >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint ag = ((x >> 8) & 0xff00ff) * a;
    ag = (ag + ((ag >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return ag | rb;
}

// Premultiplied source over destination, as Qt blends a picture onto a window.
QRgb over(QRgb source, QRgb destination) {
    const uint transparency = 255 - qAlpha(source);
    return transparency == 0 ? source : source + byteMul(destination, transparency);
}

} // namespace

QPointer<ImageWidget> ImageWidget::leftPressed_;

ImageWidget::ImageWidget(Image& control, const QPixmap& picture, QWidget* parent)
    : QWidget(parent)
    , control_(control)
    // Premultiplied, as Qt keeps a picture with transparent pixels: repaintDirectly() reads it.
    , picture_(picture.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied)) {
    resize(picture_.deviceIndependentSize().toSize());
    // Qt would answer each move with a repaint of the form through its repaint manager, which
    // for a few pixels costs many times the drawing; moveTo() draws the move itself instead.
    // Qt repaints nothing when a control with this attribute moves, and still paints it
    // wherever it paints the form (the first show, exposes, its own updates).
    setAttribute(Qt::WA_DontShowOnScreen);
    // Made now, so that the first move sends nothing but its pixels.
    if (parent && parent->isWindow())
        DirectRepaint::of(*parent);
}

void ImageWidget::moveTo(QPoint position) {
    const QRect was = geometry();
    move(position);
    QWidget* form = parentWidget();
    if (!form || !isVisible() || geometry() == was)
        return;
    // Only where the control stood and where it stands now change, in client pixels.
    if (!repaintDirectly(*form, was, geometry())) {
        form->update(was);
        form->update(geometry());
    }
}

// Writes what Qt would paint of form in the rectangles a and b into the window's backing store
// and sends them to the screen: the form's plain background, then each picture, back to front.
// False, having done nothing, where that is not all there is to paint (form inside another
// widget, another kind of control there, a patterned background, a picture with a device pixel
// ratio of its own) or the window cannot take it directly.
bool ImageWidget::repaintDirectly(QWidget& form, QRect a, QRect b) {
    if (!form.isWindow())
        return false;
    a &= form.rect();
    b &= form.rect();
    const QBrush& background =
        form.palette().brush(form.autoFillBackground() ? form.backgroundRole() : QPalette::Window);
    if (background.style() != Qt::SolidPattern)
        return false;
    QVarLengthArray<const ImageWidget*, 8> layers;
    for (const QObject* child : form.children()) {
        const auto* control = qobject_cast<const QWidget*>(child);
        if (!control || control->isWindow() || !control->isVisible() ||
            !(control->geometry().intersects(a) || control->geometry().intersects(b)))
            continue;
        const auto* image = qobject_cast<const ImageWidget*>(control);
        if (!image || image->autoFillBackground() || image->picture_.devicePixelRatio() != 1)
            return false;
        layers.append(image);
    }

    // One client pixel is scale x scale device pixels of the canvas; a picture is drawn
    // enlarged pixel for pixel, as Qt draws it without smoothing.
    const QRgb fill = qPremultiply(background.color().rgba());
    const auto paint = [&](QImage& canvas, int scale, const QRect& rect) {
        uchar* const bits = canvas.bits();
        const qsizetype stride = canvas.bytesPerLine();
        const auto row = [bits, stride](int y) {
            return reinterpret_cast<QRgb*>(bits + y * stride);
        };
        for (int y = rect.top() * scale; y < (rect.bottom() + 1) * scale; ++y)
            std::fill_n(row(y) + rect.left() * scale, rect.width() * scale, fill);
        for (const ImageWidget* layer : layers) {
            const QRect part = rect & QRect(layer->pos(), layer->picture_.size());
            for (int y = part.top(); y <= part.bottom(); ++y) {
                const auto* source =
                    reinterpret_cast<const QRgb*>(layer->picture_.constScanLine(y - layer->y()));
                for (int x = part.left(); x <= part.right(); ++x) {
                    const QRgb pixel = over(source[x - layer->x()], row(y * scale)[x * scale]);
                    for (int dy = 0; dy < scale; ++dy)
                        std::fill_n(row(y * scale + dy) + x * scale, scale, pixel);
                }
            }
        }
    };
    // Where the two overlap its pixels are written and sent twice, which costs less than
    // cutting the rest into bands.
    return DirectRepaint::of(form).repaint({a, b}, [&](QImage& canvas, int scale) {
        paint(canvas, scale, a);
        paint(canvas, scale, b);
    });
}

void ImageWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

// The pointer is measured from where this control stands now, from the global position,
// rather than taken from the X event: while the form is being dragged the server reports
// coordinates against the window's position at the time of the event, which may be a move
// behind the position the form has already asked for. The form's geometry is the position
// last asked for, which its Left and Top read too; mapFromGlobal() would use the native
// window's, which follows only once the server reports the move, and a drag handler adding
// the two would leave the face behind the pointer by the moves still on their way.
QPointF ImageWidget::localPosition(QPointF global) const {
    const QWidget* form = window();
    return global - QPointF(form->geometry().topLeft() + mapTo(form, QPoint()));
}

void ImageWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        leftPressed_ = this;
    const QPointF at = localPosition(event->globalPosition());
    control_.MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                       static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void ImageWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = localPosition(event->globalPosition());
    control_.MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                       static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void ImageWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (leftPressed_ == this)
            raiseLeftUp(event->globalPosition(), event->modifiers());
        return;
    }
    const QPointF at = localPosition(event->globalPosition());
    control_.MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                     static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void ImageWidget::raiseLeftUp(QPointF global, Qt::KeyboardModifiers modifiers) {
    leftPressed_ = nullptr;
    const QPointF at = localPosition(global);
    control_.MouseUp(buttonCode(Qt::LeftButton), shiftCode(modifiers), static_cast<float>(at.x()),
                     static_cast<float>(at.y()));
}

// A menu takes the pointer from the window that had it, and Qt forgets which control took the
// press: a release after the menu has closed is no longer delivered to the control, on that
// window or anywhere else. The press ends as the menu opens instead, as it does for Windows'
// own controls when another window takes the mouse; else a drag, which only the release ends,
// would go on without the button and the face's eyes would stay frozen.
void ImageWidget::pointerTaken() {
    if (ImageWidget* pressed = leftPressed_)
        pressed->raiseLeftUp(QCursor::pos(), QGuiApplication::queryKeyboardModifiers());
}
