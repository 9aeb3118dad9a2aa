#pragma once

#include "platform/Form.h"

#include <cstdint>
#include <string>

class CommandButton;
class Form1;
class Label;

// The About window: the program's title, its author's credit, and two links.
class Form2 : public Form {
public:
    Form2(Platform& platform, Form1& face);

    // Controls, front to back.
    CommandButton* Command1;
    Label* Homepage;
    Label* Email;
    Label* Label2;
    Label* Label1;

    void Command1_Click();
    void Email_MouseDown(int Button, int Shift, float X, float Y);
    void Email_MouseUp(int Button, int Shift, float X, float Y);
    void Homepage_MouseDown(int Button, int Shift, float X, float Y);
    void Homepage_MouseUp(int Button, int Shift, float X, float Y);

    static constexpr std::uint32_t linkColour = 0x00800000;
    static constexpr std::uint32_t pressedLinkColour = 0x00800080;

protected:
    void Form_Load() override;

private:
    void openLink(const std::string& target);

    Form1& face_;
};
