#include "platform/MenuEntry.h"

const std::string& MenuEntry::Caption() const {
    return caption_;
}

bool MenuEntry::isSeparator() const {
    return caption_ == "-";
}

VbBoolean MenuEntry::Checked() const {
    return checked_;
}

void MenuEntry::setChecked(VbBoolean checked) {
    checked_ = checked;
    applyChecked();
}
