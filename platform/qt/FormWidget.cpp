#include "platform/qt/FormWidget.h"

#include "platform/qt/Natives.h"

#include <QCloseEvent>

FormWidget::FormWidget(Form& form)
    : QWidget(nullptr, Qt::Window)
    , form_(form) {
    // The program ends by its Exit command only, never because a window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void FormWidget::closeEvent(QCloseEvent* event) {
    event->ignore();
    Form::Native::queryUnload(form_);
}
