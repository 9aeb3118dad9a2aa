#pragma once

// What each form and control of the Win32 run-time is made of.

#include "platform/CommandButton.h"
#include "platform/Form.h"
#include "platform/Image.h"
#include "platform/Label.h"
#include "platform/Menu.h"
#include "platform/MenuEntry.h"
#include "platform/StdFont.h"
#include "platform/Timer.h"
#include "platform/win32/Canvas.h"
#include "platform/win32/Picture.h"
#include "platform/win32/Windowless.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// The window is made by Load, hidden, with what the definition has set by then; the controls
// that need one of their own (the command button) and the timers follow it.
//
// The definition and the controls keep their sizes and positions in logical client pixels (96
// to the inch); the window, its canvas and its mouse messages are in device pixels at the
// window's scale, dpi, which follows the monitor the window is on.
struct Form::Native {
    explicit Native(Form& owner);
    ~Native();

    // The form of one of the program's windows, else null.
    static Native* of(HWND window);

    void create();
    // area in device pixels.
    void invalidate(const RECT& area);
    RECT toDevice(const RECT& logical) const;
    // The window's outer rectangle for its client size at dpi, from (0, 0).
    RECT outerRect(int atDpi) const;
    // The window drawn and laid out at newDpi, its outer corner at corner (screen pixels):
    // size, outline, fonts, the buttons' places, the icons.
    void rescale(int newDpi, POINT corner);
    // The form keeps region (logical client pixels, or null for none) as its outline.
    void setOutline(HRGN region);
    // Cuts the window to its outline, enlarged to the window's scale.
    BOOL cutToOutline(bool redraw);
    // The window's icons at its scale, once it has a window.
    void loadIcons();
    // Enter and Esc, Tab and access keys go through the dialog manager.
    bool takesDialogKeys() const { return !buttons.empty(); }

    Form& owner;
    HWND hwnd = nullptr;
    // Dots per inch of the window: 96 unscaled.
    int dpi = 96;
    std::string icon;
    // The face of the system's dialogs until the definition names another.
    StdFont font{"MS Shell Dlg", 8};
    // Null while the window is not cut to a shape.
    HRGN outline = nullptr;

    // Back to front, as they were made.
    std::vector<Windowless*> windowless;
    std::vector<Timer::Native*> timers;
    std::vector<CommandButton::Native*> buttons;
    // The control that took a press keeps the mouse until every button is up.
    Windowless* pressed = nullptr;
    // The pressed control took a left press and has not had its release.
    bool pressedLeft = false;
    // Buttons (vbLeftButton, ...) of a press whose capture was lost and that are still down:
    // the press ended there, and their releases reach no control.
    int lostButtons = 0;
    std::unique_ptr<Canvas> canvas;

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    // A windowless control joins the form in front of those made before it, and leaves it
    // repainting where it stood and letting go of the mouse if it had it.
    void adopt(Windowless& control);
    void release(Windowless& control);
    // The capture went to taker (null: to no window).
    void captureLost(HWND taker);

private:
    void paint();
    void mouse(UINT message, WPARAM wParam, LPARAM lParam);
    Windowless* hit(POINT at) const;
    void command(int id);
    void focusButton();
};

struct Image::Native final : Windowless {
    Native(Image& control, Form::Native& form, const Picture& picture, int left, int top);

    RECT box() const override;
    void paint(Canvas& canvas, const RECT& area) override;
    void mouseDown(int button, int shift, float x, float y) override;
    void mouseMove(int button, int shift, float x, float y) override;
    void mouseUp(int button, int shift, float x, float y) override;
    void moveTo(int left, int top);

    Image& control;
    Form::Native& form;
    const Picture& picture;
    int left;
    int top;
};

struct Timer::Native {
    Native(Timer& control, Form::Native& form);

    // Starts, restarts or stops the system's timer to match the interval, once the form has a
    // window.
    void apply();
    void stop();
    UINT_PTR id() const { return reinterpret_cast<UINT_PTR>(this); }

    Timer& control;
    Form::Native& form;
};

struct Label::Native final : Windowless {
    Native(Label& control, Form::Native& form, const std::string& caption, const RECT& box);

    RECT box() const override { return logicalBox; }
    void paint(Canvas& canvas, const RECT& area) override;
    void mouseDown(int button, int shift, float x, float y) override;
    void mouseUp(int button, int shift, float x, float y) override;
    HCURSOR cursor() const override;

    Label& control;
    Form::Native& form;
    std::string caption;
    RECT logicalBox;
    std::uint32_t foreColor;
    StdFont font;
    // The resource named for the pointer, or empty.
    std::string pointer;
};

struct CommandButton::Native {
    Native(CommandButton& control, Form::Native& form, const std::string& caption, const RECT& box,
           int id);

    void create();
    // Its place and font at the form's scale.
    void rescale();

    CommandButton& control;
    Form::Native& form;
    std::string caption;
    // Logical client pixels.
    RECT box;
    int id;
    StdFont font;
    bool isDefault = false;
    HWND hwnd = nullptr;
};

// The menu itself is made each time it pops up (Win32Platform::PopupMenu).
struct Menu::Native {};

struct MenuEntry::Native {
    Menu& menu;
};
