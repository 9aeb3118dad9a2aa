#include "platform/CommandButton.h"

#include "platform/qt/Natives.h"

CommandButton::CommandButton(Form& form, const std::string& caption, int left, int top, int width,
                             int height)
    : Control(form)
    , native_(std::make_unique<Native>(QString::fromStdString(caption), &form.native().widget)) {
    QPushButton& button = native_->button;
    button.setGeometry(left, top, width, height);
    button.setFocus();
    QObject::connect(&button, &QPushButton::clicked, [this] { Click(); });
}

CommandButton::~CommandButton() {
    leaveForm();
}

// Enter itself is the form's shortcut (Form::applyButtonKeys): Qt's own default handling works
// only while a button has the focus.
void CommandButton::markDefault(bool isDefault) {
    QPushButton& button = native_->button;
    button.setDefault(isDefault);
    button.setAutoDefault(isDefault);
}
