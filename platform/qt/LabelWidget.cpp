#include "platform/qt/LabelWidget.h"

#include "platform/Label.h"
#include "platform/qt/MouseCodes.h"

#include <QMouseEvent>

LabelWidget::LabelWidget(Label& control, const QString& caption, QWidget* parent)
    : QLabel(caption, parent)
    , control_(control) {
    setAlignment(Qt::AlignCenter);
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
}

void LabelWidget::mousePressEvent(QMouseEvent* event) {
    control_.MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                       static_cast<float>(event->position().x()),
                       static_cast<float>(event->position().y()));
}

void LabelWidget::mouseReleaseEvent(QMouseEvent* event) {
    control_.MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                     static_cast<float>(event->position().x()),
                     static_cast<float>(event->position().y()));
}
