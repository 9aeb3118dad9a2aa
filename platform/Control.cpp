#include "platform/Control.h"

#include "platform/Form.h"

Control::Control(Form& form)
    : form_(form) {
    form.controls_.emplace_back(this);
}
