#include "platform/Label.h"

#include <QMouseEvent>

namespace {

int buttonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

} // namespace

Label::Label(const QString& caption, QWidget* parent)
    : QLabel(caption, parent) {
    setAlignment(Qt::AlignCenter);
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    foreColor_ = 0;
}

void Label::setForeColor(std::uint32_t colour) {
    foreColor_ = colour;
    QPalette text = palette();
    text.setColor(QPalette::WindowText,
                  QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    setPalette(text);
}

void Label::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(buttonCode(event->button()), 0, static_cast<float>(event->position().x()),
                   static_cast<float>(event->position().y()));
}

void Label::mouseReleaseEvent(QMouseEvent* event) {
    emit MouseUp(buttonCode(event->button()), 0, static_cast<float>(event->position().x()),
                 static_cast<float>(event->position().y()));
}
