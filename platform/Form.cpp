#include "platform/Form.h"

#include "platform/X11Window.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

Form::Form(Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , platform_(platform) {}

HWND Form::hWnd() {
    return this;
}

void Form::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    Form_Load();
}

void Form::Show() {
    Load();
    const bool first = !shown_;
    if (first) {
        shown_ = true;
        centreOnPrimaryScreen();
    }
    show();
    if (first && !showInTaskbar_)
        X11Window::skipTaskbarAndPager(*this);
    raise();
    activateWindow();
}

void Form::Unload() {
    hide();
    deleteLater();
    emit Unloaded();
}

void Form::centreOnPrimaryScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area(QPoint(), size());
    area.moveCenter(screen->geometry().center());
    move(area.topLeft());
}

float Form::Left() const {
    return static_cast<float>(pos().x());
}

float Form::Top() const {
    return static_cast<float>(pos().y());
}

void Form::setLeft(float left) {
    move(static_cast<int>(std::nearbyint(left)), pos().y());
}

void Form::setTop(float top) {
    move(pos().x(), static_cast<int>(std::nearbyint(top)));
}

void Form::setClientSize(int width, int height) {
    setFixedSize(width, height);
}
