#include "platform/Form.h"

#include "platform/CommandButton.h"
#include "platform/StdFont.h"
#include "platform/qt/Natives.h"
#include "platform/qt/QtColour.h"
#include "platform/qt/QtFont.h"
#include "platform/qt/QtHandles.h"
#include "platform/qt/Resources.h"
#include "platform/qt/X11Window.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

Qt::WindowFlags windowFlags(BorderStyle style) {
    if (style == BorderStyle::None)
        return Qt::Window | Qt::FramelessWindowHint;
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
}

// Shortcuts of the form's window for keys that press button (if any).
void pressWith(std::vector<std::unique_ptr<QShortcut>>& shortcuts, QWidget& window,
               CommandButton* button, std::initializer_list<Qt::Key> keys) {
    shortcuts.clear();
    if (!button)
        return;
    for (const Qt::Key key : keys) {
        shortcuts.push_back(std::make_unique<QShortcut>(QKeySequence(key), &window));
        QObject::connect(shortcuts.back().get(), &QShortcut::activated, &button->native().button,
                         &QPushButton::click);
    }
}

} // namespace

Form::Form(Platform& platform)
    : platform_(platform)
    , native_(std::make_unique<Native>(*this)) {
    applyBorderStyle();
}

Form::~Form() {
    destroyControls();
}

// The native window is made when the form is first shown, with what Form_Load has set on the
// widget by then (region, topmost band). Made any earlier, Qt's xcb layer would destroy it and
// make it again at show() to apply the band, which it does only that way on a window that was
// never mapped.
HWND Form::hWnd() const {
    return handleOf(&native_->widget);
}

void Form::loadWindow() {}

void Form::showWindow(bool first) {
    QWidget& widget = native_->widget;
    if (first) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            const PointApi corner = centredOn({area.x(), area.y()}, area.width(), area.height(),
                                              widget.width(), widget.height());
            widget.move(corner.x, corner.y);
        }
    }
    widget.show();
    if (first && !showInTaskbar_)
        X11Window::skipTaskbarAndPager(widget);
    widget.raise();
    widget.activateWindow();
}

void Form::hideWindow() {
    native_->widget.hide();
}

// Dropped if the form goes first: the widget is the call's context.
void Form::finishUnloadLater() {
    QMetaObject::invokeMethod(
        &native_->widget, [this] { finishUnload(); }, Qt::QueuedConnection);
}

float Form::Left() const {
    return static_cast<float>(native_->widget.pos().x());
}

void Form::setLeft(float left) {
    QWidget& widget = native_->widget;
    widget.move(static_cast<int>(std::nearbyint(left)), widget.pos().y());
}

float Form::Top() const {
    return static_cast<float>(native_->widget.pos().y());
}

void Form::setTop(float top) {
    QWidget& widget = native_->widget;
    widget.move(widget.pos().x(), static_cast<int>(std::nearbyint(top)));
}

void Form::applyCaption() {
    native_->widget.setWindowTitle(QString::fromStdString(caption_));
}

void Form::applyBorderStyle() {
    native_->widget.setWindowFlags(windowFlags(borderStyle_));
}

void Form::applyClientSize() {
    native_->widget.setFixedSize(clientWidth_, clientHeight_);
}

void Form::applyBackColor() {
    setPaletteColour(native_->widget, QPalette::Window, backColor_);
    native_->widget.setAutoFillBackground(true);
}

void Form::applyButtonKeys() {
    Native& native = *native_;
    pressWith(native.defaultKeys, native.widget, defaultButton_, {Qt::Key_Return, Qt::Key_Enter});
    pressWith(native.cancelKeys, native.widget, cancelButton_, {Qt::Key_Escape});
}

void Form::setIcon(const char* resource) {
    native_->widget.setWindowIcon(resourceIcon(resource));
}

void Form::setFont(const StdFont& font) {
    native_->widget.setFont(qtFont(font));
}
