#include "about/Form2.h"

#include "face/Form1.h"
#include "platform/CommandButton.h"
#include "platform/Label.h"
#include "platform/MenuEntry.h"
#include "platform/Platform.h"
#include "platform/StdFont.h"

Form2::Form2(Platform& platform, Form1& face)
    : Form(platform)
    , face_(face) {
    setCaption("About Vardo");
    setIcon("vardo.ico");
    setBorderStyle(BorderStyle::FixedDialog);
    setClientSize(245, 110);
    setFont({"MS Sans Serif", 8.25f});

    // Controls made later lie in front: back-most first. Neighbouring boxes overlap by a few
    // pixels and the one in front paints and takes the mouse there.
    Label1 = new Label(*this, "Pellmoor", 27, 3, 187, 18);
    Label2 = new Label(*this, "By Quennick", 41, 18, 163, 18);
    Email = new Label(*this, "vardo@example.org", 69, 33, 107, 18);
    Homepage = new Label(*this, "https://www.example.org/vardo/", 3, 49, 238, 18);
    Command1 = new CommandButton(*this, "&OK", 92, 78, 65, 23);
    // Enter and Esc press OK wherever the focus is.
    Command1->setDefault(true);
    Command1->setCancel(true);

    for (Label* link : {Email, Homepage}) {
        link->setFont({"MS Sans Serif", 8.25f, true});
        link->setForeColor(linkColour);
        link->setMouseIcon("link.cur");
    }

    Command1->Click.connect(this, &Form2::Command1_Click);
    Email->MouseDown.connect(this, &Form2::Email_MouseDown);
    Email->MouseUp.connect(this, &Form2::Email_MouseUp);
    Homepage->MouseDown.connect(this, &Form2::Homepage_MouseDown);
    Homepage->MouseUp.connect(this, &Form2::Homepage_MouseUp);
}

void Form2::Form_Load() {
    const bool topmost = face_.mAlwaysOnTop->Checked() != vbFalse;
    platform().SetWindowPos(hWnd(), topmost ? WinApi::HWND_TOPMOST : WinApi::HWND_NOTOPMOST, 0, 0,
                            0, 0, WinApi::SWP_NOSIZE | WinApi::SWP_NOMOVE);
}

// The close box unloads the window as OK does (the form's default); the face keeps running.
void Form2::Command1_Click() {
    Unload();
}

void Form2::Email_MouseDown(int, int, float, float) {
    Email->setForeColor(pressedLinkColour);
}

void Form2::Email_MouseUp(int, int, float, float) {
    Email->setForeColor(linkColour);
    openLink("mailto:" + Email->Caption());
}

void Form2::Homepage_MouseDown(int, int, float, float) {
    Homepage->setForeColor(pressedLinkColour);
}

void Form2::Homepage_MouseUp(int, int, float, float) {
    Homepage->setForeColor(linkColour);
    openLink(Homepage->Caption());
}

// Captions are UTF-8, and the target goes over as it is; the Windows platform hands it to the
// system as UTF-16.
void Form2::openLink(const std::string& target) {
    const HWND owner = hWnd();
    platform().ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, WinApi::SW_SHOW);
}
