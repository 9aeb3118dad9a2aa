#include "platform/MenuEntry.h"

#include <QAction>
#include <QMenu>

MenuEntry::MenuEntry(const QString& caption, QMenu& menu)
    : QObject(&menu)
    , action_(caption == QLatin1String("-") ? menu.addSeparator() : menu.addAction(caption)) {
    connect(action_, &QAction::triggered, this, [this] {
        // QAction has flipped its own check mark by now; put it back before the handler runs.
        if (action_->isCheckable())
            action_->setChecked(!action_->isChecked());
        emit Click();
    });
}

QString MenuEntry::Caption() const {
    return action_->isSeparator() ? QStringLiteral("-") : action_->text();
}

VbBoolean MenuEntry::Checked() const {
    return action_->isChecked() ? vbTrue : vbFalse;
}

void MenuEntry::setChecked(VbBoolean checked) {
    action_->setCheckable(true);
    action_->setChecked(checked != vbFalse);
}
