#include "platform/CommandButton.h"

#include "platform/qt/Natives.h"

#include <QShortcut>

CommandButton::CommandButton(Form& form, const std::string& caption, int left, int top, int width,
                             int height)
    : Control(form)
    , native_(std::make_unique<Native>(QString::fromStdString(caption), &form.native().widget)) {
    QPushButton& button = native_->button;
    button.setGeometry(left, top, width, height);
    button.setFocus();
    QObject::connect(&button, &QPushButton::clicked, [this] { Click(); });
}

CommandButton::~CommandButton() = default;

// Shortcuts of the window rather than the button's own default handling, which works only while
// a button has the focus.
namespace {

void pressWith(QPushButton& button, std::initializer_list<Qt::Key> keys) {
    for (const Qt::Key key : keys)
        QObject::connect(new QShortcut(QKeySequence(key), button.window()), &QShortcut::activated,
                         &button, &QPushButton::click);
}

} // namespace

void CommandButton::setDefault(bool isDefault) {
    QPushButton& button = native_->button;
    button.setDefault(isDefault);
    button.setAutoDefault(isDefault);
    if (isDefault)
        pressWith(button, {Qt::Key_Return, Qt::Key_Enter});
}

void CommandButton::setCancel(bool isCancel) {
    if (isCancel)
        pressWith(native_->button, {Qt::Key_Escape});
}
