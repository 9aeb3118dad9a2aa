#include "platform/Menu.h"
#include "platform/MenuEntry.h"

#include "platform/win32/Natives.h"

#include <algorithm>

// The menu itself is made each time it pops up (Win32Platform::PopupMenu), from these.

Menu::Menu(Form& form, const std::string& caption)
    : Control(form)
    , native_(std::make_unique<Native>(Native{caption})) {}

Menu::~Menu() = default;

const std::string& Menu::Caption() const {
    return native_->caption;
}

MenuEntry::MenuEntry(Menu& menu, const std::string& caption)
    : Control(menu.form())
    , native_(std::make_unique<Native>(Native{menu, caption})) {
    menu.entries_.push_back(this);
}

MenuEntry::~MenuEntry() {
    auto& entries = native_->menu.entries_;
    entries.erase(std::remove(entries.begin(), entries.end(), this), entries.end());
}

const std::string& MenuEntry::Caption() const {
    return native_->caption;
}

bool MenuEntry::isSeparator() const {
    return native_->caption == "-";
}

VbBoolean MenuEntry::Checked() const {
    return native_->checked;
}

void MenuEntry::setChecked(VbBoolean checked) {
    native_->checked = checked;
}
