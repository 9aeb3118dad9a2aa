#include "platform/Menu.h"

#include "platform/win32/Natives.h"

Menu::Menu(Form& form, const std::string& caption)
    : Control(form)
    , native_(std::make_unique<Native>())
    , caption_(caption) {}

Menu::~Menu() = default;
