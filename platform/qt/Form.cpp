#include "platform/Form.h"

#include "platform/Control.h"
#include "platform/StdFont.h"
#include "platform/qt/Natives.h"
#include "platform/qt/QtColour.h"
#include "platform/qt/QtFont.h"
#include "platform/qt/QtHandles.h"
#include "platform/qt/Resources.h"
#include "platform/qt/X11Window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <cmath>

namespace {

Qt::WindowFlags windowFlags(BorderStyle style) {
    if (style == BorderStyle::None)
        return Qt::Window | Qt::FramelessWindowHint;
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
}

} // namespace

Form::Form(Platform& platform)
    : platform_(platform)
    , native_(std::make_unique<Native>(*this)) {}

Form::~Form() {
    while (!controls_.empty())
        controls_.pop_back();
}

// The native window is made when the form is first shown, with what Form_Load has set on the
// widget by then (region, topmost band). Made any earlier, Qt's xcb layer would destroy it and
// make it again at show() to apply the band, which it does only that way on a window that was
// never mapped.
HWND Form::hWnd() const {
    return handleOf(&native_->widget);
}

void Form::Load() {
    if (native_->loaded)
        return;
    native_->loaded = true;
    Form_Load();
}

bool Form::isLoaded() const {
    return native_->loaded;
}

void Form::Show() {
    Load();
    QWidget& widget = native_->widget;
    const bool first = !native_->shown;
    if (first) {
        native_->shown = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area(QPoint(), widget.size());
            area.moveCenter(screen->geometry().center());
            widget.move(area.topLeft());
        }
    }
    widget.show();
    if (first && !native_->showInTaskbar)
        X11Window::skipTaskbarAndPager(widget);
    widget.raise();
    widget.activateWindow();
}

void Form::Unload() {
    native_->widget.hide();
    // Later, from the event loop: Unload is usually called by a handler of the form itself.
    // Nothing is left to do if the form went another way meanwhile.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive = QPointer<QWidget>(&native_->widget)] {
            if (alive)
                delete this;
        },
        Qt::QueuedConnection);
    Unloaded();
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

const std::string& Form::Caption() const {
    return native_->caption;
}

void Form::setCaption(const std::string& caption) {
    native_->caption = caption;
    native_->widget.setWindowTitle(QString::fromStdString(caption));
}

BorderStyle Form::borderStyle() const {
    return native_->borderStyle;
}

void Form::setBorderStyle(BorderStyle style) {
    native_->borderStyle = style;
    native_->widget.setWindowFlags(windowFlags(style));
}

bool Form::ShowInTaskbar() const {
    return native_->showInTaskbar;
}

void Form::setShowInTaskbar(bool show) {
    native_->showInTaskbar = show;
}

int Form::ClientWidth() const {
    return native_->widget.width();
}

int Form::ClientHeight() const {
    return native_->widget.height();
}

void Form::setClientSize(int width, int height) {
    native_->widget.setFixedSize(width, height);
}

PointApi Form::clientOffset() const {
    return native_->clientOffset;
}

void Form::setClientOffset(PointApi offset) {
    native_->clientOffset = offset;
}

std::uint32_t Form::BackColor() const {
    return native_->backColor;
}

void Form::setBackColor(std::uint32_t colour) {
    native_->backColor = colour;
    setPaletteColour(native_->widget, QPalette::Window, colour);
    native_->widget.setAutoFillBackground(true);
}

void Form::setIcon(const char* resource) {
    native_->widget.setWindowIcon(resourceIcon(resource));
}

void Form::setFont(const StdFont& font) {
    native_->widget.setFont(qtFont(font));
}
