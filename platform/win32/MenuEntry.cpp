#include "platform/MenuEntry.h"

#include "platform/win32/Natives.h"

#include <algorithm>

MenuEntry::MenuEntry(Menu& menu, const std::string& caption)
    : Control(menu.form())
    , native_(std::make_unique<Native>(Native{menu}))
    , caption_(caption) {
    menu.entries_.push_back(this);
}

MenuEntry::~MenuEntry() {
    auto& entries = native_->menu.entries_;
    entries.erase(std::remove(entries.begin(), entries.end(), this), entries.end());
}

// The check mark is read as the menu pops up.
void MenuEntry::applyChecked() {}
