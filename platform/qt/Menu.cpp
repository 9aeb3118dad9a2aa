#include "platform/Menu.h"

#include "platform/qt/Natives.h"

Menu::Menu(Form& form, const std::string& caption)
    : Control(form)
    , native_(
          std::make_unique<Native>(*this, QString::fromStdString(caption), &form.native().widget)) {
    native_->caption = caption;
}

Menu::~Menu() = default;

const std::string& Menu::Caption() const {
    return native_->caption;
}
