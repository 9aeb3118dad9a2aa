#pragma once

// What each control and form of the Qt run-time is made of. The platform layer and the unit
// tests reach the widgets through native().

#include "platform/CommandButton.h"
#include "platform/Form.h"
#include "platform/Image.h"
#include "platform/Label.h"
#include "platform/Menu.h"
#include "platform/MenuEntry.h"
#include "platform/Timer.h"
#include "platform/qt/FormWidget.h"
#include "platform/qt/ImageWidget.h"
#include "platform/qt/LabelWidget.h"
#include "platform/qt/RestGate.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include <functional>
#include <memory>
#include <vector>

struct Form::Native {
    explicit Native(Form& form)
        : widget(form) {}

    // Form_QueryUnload is the form's own; the widget asks for it through here.
    static void queryUnload(Form& form) { form.Form_QueryUnload(); }

    FormWidget widget;
    // Enter and Return for the default button, Esc for the cancel button: shortcuts of the
    // window, made while the form has such a button, so that they work wherever the focus is.
    std::vector<std::unique_ptr<QShortcut>> defaultKeys;
    std::vector<std::unique_ptr<QShortcut>> cancelKeys;
};

struct Image::Native {
    Native(Image& control, const QPixmap& picture, QWidget* form)
        : widget(control, picture, form) {}

    ImageWidget widget;
};

struct Timer::Native {
    explicit Native(std::function<void()> tick)
        : gate(std::move(tick)) {}

    // Leaves out the ticks that would find the pointer where the last one did.
    RestGate gate;
};

struct Label::Native {
    Native(Label& control, const QString& caption, QWidget* form)
        : widget(control, caption, form) {}

    LabelWidget widget;
    std::uint32_t foreColor = 0;
};

struct CommandButton::Native {
    Native(const QString& caption, QWidget* form)
        : button(caption, form) {}

    QPushButton button;
};

struct Menu::Native {
    Native(const QString& title, QWidget* form)
        : menu(title, form) {}

    QMenu menu;
};

struct MenuEntry::Native {
    // Belongs to the menu's widget until the entry goes.
    QAction* action = nullptr;
};
