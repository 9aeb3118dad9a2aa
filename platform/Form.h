#pragma once

#include "platform/ApiTypes.h"
#include "platform/Event.h"

#include <memory>
#include <string>
#include <vector>

class Control;
class Platform;
struct StdFont;

// The frames a form can have: none at all, or a caption bar with a close box and a thin frame
// that cannot be resized.
enum class BorderStyle { None = 0, FixedDialog = 3 };

// A top-level window built from a definition: the derived class's constructor sets the
// window's properties and makes its controls, Load runs Form_Load once, Show puts the window on
// the screen, Unload closes and destroys it.
//
// Each run-time defines Native and every member function; the windows' logic sees only this.
class Form {
public:
    explicit Form(Platform& platform);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The window as the system calls know it. Valid from Load on.
    HWND hWnd() const;

    void Load();
    bool isLoaded() const;
    // Loads the form if need be; visible and modeless, without an owner. Centred on the primary
    // screen the first time, brought forward after.
    void Show();
    // Hides the window at once and destroys the form once control is back in the event loop,
    // raising Unloaded first.
    void Unload();

    // Position of the window's outer corner on the screen, in logical pixels: single precision
    // like the design's twips, rounded when written to the nearest pixel the window can stand on
    // (a device pixel where the run-time scales the window itself).
    float Left() const;
    void setLeft(float left);
    float Top() const;
    void setTop(float top);

    const std::string& Caption() const;
    BorderStyle borderStyle() const;
    bool ShowInTaskbar() const;
    // Client area, in client pixels.
    int ClientWidth() const;
    int ClientHeight() const;
    // Where the client area starts in window pixels: the origin of a window region.
    PointApi clientOffset() const;
    // 0x00BBGGRR.
    std::uint32_t BackColor() const;

    Event<> Unloaded;

    struct Native;
    Native& native() const { return *native_; }

protected:
    virtual void Form_Load() {}
    // The user or the window manager asks the window to close (its close box, Alt+F4): unloads
    // it unless the form does otherwise.
    virtual void Form_QueryUnload() { Unload(); }

    void setCaption(const std::string& caption);
    // Take effect when the window is first shown.
    void setBorderStyle(BorderStyle style);
    void setShowInTaskbar(bool show);
    // The window cannot be resized.
    void setClientSize(int width, int height);
    void setClientOffset(PointApi offset);
    void setBackColor(std::uint32_t colour);
    // The window's icon, from the program's resources ("vardo.ico").
    void setIcon(const char* resource);
    // The font of every control made after this.
    void setFont(const StdFont& font);

    Platform& platform() const { return platform_; }

private:
    friend class Control;

    Platform& platform_;
    std::unique_ptr<Native> native_;
    // Destroyed last made first, before the window they stand in.
    std::vector<std::unique_ptr<Control>> controls_;
};
