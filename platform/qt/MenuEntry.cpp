#include "platform/MenuEntry.h"

#include "platform/qt/Natives.h"

MenuEntry::MenuEntry(Menu& menu, const std::string& caption)
    : Control(menu.form())
    , native_(std::make_unique<Native>()) {
    native_->caption = caption;
    QMenu& widget = menu.native().menu;
    QAction* action =
        caption == "-" ? widget.addSeparator() : widget.addAction(QString::fromStdString(caption));
    native_->action = action;
    menu.entries_.push_back(this);
    QObject::connect(action, &QAction::triggered, [this, action] {
        // QAction has flipped its own check mark by now; put it back before the handler runs.
        if (action->isCheckable())
            action->setChecked(!action->isChecked());
        Click();
    });
}

MenuEntry::~MenuEntry() {
    delete native_->action;
}

const std::string& MenuEntry::Caption() const {
    return native_->caption;
}

bool MenuEntry::isSeparator() const {
    return native_->action->isSeparator();
}

VbBoolean MenuEntry::Checked() const {
    return native_->action->isChecked() ? vbTrue : vbFalse;
}

void MenuEntry::setChecked(VbBoolean checked) {
    native_->action->setCheckable(true);
    native_->action->setChecked(checked != vbFalse);
}
