#pragma once

#include "platform/Control.h"
#include "platform/Event.h"

#include <cstdint>
#include <memory>
#include <string>

struct StdFont;

// A label control: an opaque box, in client pixels of its form, with its caption centred on one
// line in the form's font and the system's text colour until ForeColor is set.
class Label : public Control {
public:
    Label(Form& form, const std::string& caption, int left, int top, int width, int height);
    ~Label() override;

    std::string Caption() const;
    void setCaption(const std::string& caption);
    // Colour as 0x00BBGGRR: red in the lowest byte, blue in the third.
    std::uint32_t ForeColor() const;
    void setForeColor(std::uint32_t colour);
    void setFont(const StdFont& font);
    // The pointer over the label: the cursor of the program's resources named ("link.cur").
    void setMouseIcon(const char* cursor);

    MouseEvent MouseDown;
    MouseEvent MouseUp;

    struct Native;
    Native& native() const { return *native_; }

private:
    std::unique_ptr<Native> native_;
};
