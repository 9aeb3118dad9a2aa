#include "platform/qt/MenuWidget.h"

#include "platform/Menu.h"

#include <QMouseEvent>

MenuWidget::MenuWidget(Menu& control, const QString& title, QWidget* parent)
    : QMenu(title, parent)
    , control_(control) {}

bool MenuWidget::popUp(QPoint position) {
    leftReleased_ = false;
    exec(position);
    return leftReleased_;
}

void MenuWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftReleased_ = true;
        control_.LeftButtonReleased();
    }
    QMenu::mouseReleaseEvent(event);
}
