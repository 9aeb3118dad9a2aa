#pragma once

#include "platform/ApiTypes.h"
#include "platform/Event.h"

#include <memory>
#include <string>
#include <vector>

class CommandButton;
class Control;
class Platform;
struct StdFont;

// The frames a form can have: none at all, or a caption bar with a close box and a thin frame
// that cannot be resized.
enum class BorderStyle { None = 0, FixedDialog = 3 };

// A top-level window built from a definition: the derived class's constructor sets the
// window's properties and makes its controls, Load runs Form_Load once, Show puts the window on
// the screen, Unload closes it for good.
//
// A form belongs to whoever made it (a variable, or the form that made it with new), never to
// itself: Unload does not delete it. Its controls belong to it.
//
// What every run-time keeps alike, and the rules of loading and unloading, are in
// platform/Form.cpp; each run-time defines Native, the members that touch its toolkit and the
// hooks below. The windows' logic sees only the public and protected part.
class Form {
public:
    explicit Form(Platform& platform);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The window as the system calls know it. Valid from Load on.
    HWND hWnd() const;

    // Runs Form_Load the first time; a form that was unloaded stays so.
    void Load();
    // From Load until Unload.
    bool isLoaded() const;
    // Loads the form if need be; visible and modeless, without an owner. Centred on the primary
    // screen the first time, brought forward after. Does nothing once the form is unloaded.
    void Show();
    // Hides a loaded form's window at once; Unloaded is raised once control is back in the
    // event loop, so that its handler may delete the form. Raised once for a form: a form that
    // is not loaded (never loaded, or unloaded already) is left as it is.
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
    friend class CommandButton;
    friend class Control;

    enum class Stage { New, Loaded, Unloaded };

    // Each run-time's part. loadWindow runs before Form_Load; showWindow puts the window on the
    // screen, centred (centredOn) the first time; hideWindow hides it, and finishUnloadLater
    // has finishUnload called from the event loop unless the form goes first. The apply hooks
    // carry a property to the toolkit.
    void loadWindow();
    void showWindow(bool first);
    void hideWindow();
    void finishUnloadLater();
    void applyCaption();
    void applyBorderStyle();
    void applyClientSize();
    void applyBackColor();
    // Enter or Esc changed hands (defaultButton_, cancelButton_).
    void applyButtonKeys();

    // Where a window of width x height pixels stands centred on a screen area, for showWindow.
    static PointApi centredOn(PointApi screenCorner, int screenWidth, int screenHeight, int width,
                              int height);

    void finishUnload();
    // Last made first, while the window they stand in is still there. A control that is
    // destroyed leaves the list itself (Control's destructor), so a control whose constructor
    // throws is not deleted again.
    void destroyControls();

    Platform& platform_;
    std::unique_ptr<Native> native_;
    std::vector<Control*> controls_;

    std::string caption_;
    BorderStyle borderStyle_ = BorderStyle::FixedDialog;
    bool showInTaskbar_ = true;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    PointApi clientOffset_;
    std::uint32_t backColor_ = 0;
    Stage stage_ = Stage::New;
    bool shown_ = false;
    // Enter presses the default button, Esc the cancel button; null for none.
    CommandButton* defaultButton_ = nullptr;
    CommandButton* cancelButton_ = nullptr;
};
