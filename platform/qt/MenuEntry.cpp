#include "platform/MenuEntry.h"

#include "platform/qt/Natives.h"

MenuEntry::MenuEntry(Menu& menu, const std::string& caption)
    : Control(menu.form())
    , native_(std::make_unique<Native>())
    , caption_(caption) {
    QMenu& widget = menu.native().menu;
    QAction* action =
        isSeparator() ? widget.addSeparator() : widget.addAction(QString::fromStdString(caption));
    native_->action = action;
    menu.entries_.push_back(this);
    QObject::connect(action, &QAction::triggered, [this, action] {
        // QAction has flipped its own check mark by now; put it back before the handler runs.
        if (action->isCheckable())
            action->setChecked(checked_ != vbFalse);
        Click();
    });
}

MenuEntry::~MenuEntry() {
    delete native_->action;
}

void MenuEntry::applyChecked() {
    native_->action->setCheckable(true);
    native_->action->setChecked(checked_ != vbFalse);
}
