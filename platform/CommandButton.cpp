#include "platform/CommandButton.h"

#include "platform/Form.h"

void CommandButton::setDefault(bool isDefault) {
    Form& owner = form();
    if (isDefault) {
        if (owner.defaultButton_ && owner.defaultButton_ != this)
            owner.defaultButton_->markDefault(false);
        owner.defaultButton_ = this;
    } else if (owner.defaultButton_ == this) {
        owner.defaultButton_ = nullptr;
    }
    markDefault(isDefault);
    owner.applyButtonKeys();
}

void CommandButton::setCancel(bool isCancel) {
    Form& owner = form();
    if (isCancel)
        owner.cancelButton_ = this;
    else if (owner.cancelButton_ == this)
        owner.cancelButton_ = nullptr;
    owner.applyButtonKeys();
}

void CommandButton::leaveForm() {
    Form& owner = form();
    if (owner.defaultButton_ != this && owner.cancelButton_ != this)
        return;
    if (owner.defaultButton_ == this)
        owner.defaultButton_ = nullptr;
    if (owner.cancelButton_ == this)
        owner.cancelButton_ = nullptr;
    owner.applyButtonKeys();
}
