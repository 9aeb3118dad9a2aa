#pragma once

#include "platform/Control.h"
#include "platform/Event.h"

#include <memory>
#include <string>
#include <vector>

class MenuEntry;

// A menu that the window shows only as a pop-up (Platform::PopupMenu); it has no menu bar.
class Menu : public Control {
public:
    Menu(Form& form, const std::string& caption);
    ~Menu() override;

    const std::string& Caption() const;
    // In the order they were made.
    const std::vector<MenuEntry*>& entries() const { return entries_; }

    struct Native;
    Native& native() const { return *native_; }

private:
    friend class MenuEntry;

    std::unique_ptr<Native> native_;
    std::string caption_;
    std::vector<MenuEntry*> entries_;
};
