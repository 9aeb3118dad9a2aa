#include "platform/Menu.h"

#include "platform/qt/MenuGrab.h"
#include "platform/qt/Natives.h"

Menu::Menu(Form& form, const std::string& caption)
    : Control(form)
    , native_(std::make_unique<Native>(QString::fromStdString(caption), &form.native().widget))
    , caption_(caption) {
    MenuGrab::watch(native_->menu);
}

Menu::~Menu() = default;
