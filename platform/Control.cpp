#include "platform/Control.h"

#include "platform/Form.h"

#include <algorithm>

Control::Control(Form& form)
    : form_(form) {
    form.controls_.push_back(this);
}

// Also the end of a control whose own constructor threw after this one had run.
Control::~Control() {
    auto& controls = form_.controls_;
    controls.erase(std::remove(controls.begin(), controls.end(), this), controls.end());
}
