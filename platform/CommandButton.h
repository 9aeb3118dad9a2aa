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
    // the form. A form has one of each at most: the last set takes the key; false lets it go.
    void setDefault(bool isDefault);
    void setCancel(bool isCancel);

    Event<> Click;

    struct Native;
    Native& native() const { return *native_; }

private:
    // The run-time's: the look of the default button.
    void markDefault(bool isDefault);
    // Gives up Enter and Esc as the button goes.
    void leaveForm();

    std::unique_ptr<Native> native_;
};
