#include "platform/Image.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

int buttonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton)
        code |= 1;
    if (buttons & Qt::RightButton)
        code |= 2;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier)
        code |= 1;
    if (modifiers & Qt::ControlModifier)
        code |= 2;
    if (modifiers & Qt::AltModifier)
        code |= 4;
    return code;
}

} // namespace

Image::Image(const QPixmap& picture, QWidget* parent)
    : QWidget(parent)
    , picture_(picture) {
    resize(picture_.deviceIndependentSize().toSize());
}

void Image::setLeft(float left) {
    move(static_cast<int>(std::nearbyint(left)), y());
}

void Image::setTop(float top) {
    move(x(), static_cast<int>(std::nearbyint(top)));
}

void Image::Move(float left, float top) {
    move(static_cast<int>(std::nearbyint(left)), static_cast<int>(std::nearbyint(top)));
}

void Image::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

// The pointer is measured from where this control stands now, from the global position,
// rather than taken from the X event: while the form is being dragged the server reports
// coordinates against the window's position at the time of the event, which may be a move
// behind the position the form has already asked for. The form's geometry is the position
// last asked for, which its Left and Top read too; mapFromGlobal() would use the native
// window's, which follows only once the server reports the move, and a drag handler adding
// the two would leave the face behind the pointer by the moves still on their way.
QPointF Image::localPosition(const QMouseEvent& event) const {
    const QWidget* form = window();
    return event.globalPosition() - QPointF(form->geometry().topLeft() + mapTo(form, QPoint()));
}

void Image::mousePressEvent(QMouseEvent* event) {
    const QPointF at = localPosition(*event);
    emit MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void Image::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = localPosition(*event);
    emit MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void Image::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF at = localPosition(*event);
    emit MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                 static_cast<float>(at.x()), static_cast<float>(at.y()));
}
