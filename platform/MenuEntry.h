#pragma once

#include "platform/ApiTypes.h"
#include "platform/Control.h"
#include "platform/Event.h"

#include <memory>
#include <string>

class Menu;

// One entry of a menu, added at its end; a caption of "-" makes a separator. An ampersand marks
// the entry's access key. The check mark belongs to the program: choosing the entry raises Click
// and leaves the mark alone.
class MenuEntry : public Control {
public:
    MenuEntry(Menu& menu, const std::string& caption);
    ~MenuEntry() override;

    const std::string& Caption() const;
    bool isSeparator() const;
    VbBoolean Checked() const;
    void setChecked(VbBoolean checked);

    Event<> Click;

    struct Native;
    Native& native() const { return *native_; }

private:
    // The run-time's: shows checked_ where the toolkit keeps a check mark of its own.
    void applyChecked();

    std::unique_ptr<Native> native_;
    std::string caption_;
    VbBoolean checked_ = vbFalse;
};
