#include "platform/qt/MenuWidget.h"

#include "platform/Menu.h"

#include <QMouseEvent>

MenuWidget::MenuWidget(Menu& control, const QString& title, QWidget* parent)
    : QMenu(title, parent)
    , control_(control) {}

void MenuWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        control_.LeftButtonReleased();
    QMenu::mouseReleaseEvent(event);
}
