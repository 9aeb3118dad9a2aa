#pragma once

#include "platform/Control.h"
#include "platform/Event.h"

#include <memory>
#include <string>

// A push button, in client pixels of its form, captioned in the form's font; it takes the focus.
class CommandButton : public Control {
public:
    CommandButton(Form& form, const std::string& caption, int left, int top, int width, int height);
    ~CommandButton() override;

    // Enter presses the default button and Esc the cancel button, wherever the focus is within
    // the form.
    void setDefault(bool isDefault);
    void setCancel(bool isCancel);

    Event<> Click;

    struct Native;
    Native& native() const { return *native_; }

private:
    std::unique_ptr<Native> native_;
};
