#pragma once

#include "face/EyeInfo.h"
#include "platform/Form.h"

#include <array>
#include <memory>

class Form2;
class Image;
class Menu;
class MenuEntry;
class Timer;

// The face on the desktop: a head-shaped window whose pupils follow the cursor.
class Form1 : public Form {
public:
    explicit Form1(Platform& platform);
    ~Form1() override;

    // Controls, front to back.
    Timer* Timer1;
    std::array<Image*, 2> Eye;
    Image* Image1;

    Menu* mPopupMenu;
    MenuEntry* mAlwaysOnTop;
    MenuEntry* mAbout;
    MenuEntry* mSeparate0;
    MenuEntry* mExit;

    std::array<OutlinePoint, 50> Outline{};
    EyeInfo EyeL{};
    EyeInfo EyeR{};
    // Press point of a drag, in client pixels.
    float DragX = 0;
    float DragY = 0;
    // Last cursor position the tracker acted on, in screen pixels.
    PointApi LastCursor{};

    // The About window while it is loaded, else null.
    Form2* aboutWindow() const;

    void Timer1_Timer();
    void Image1_MouseDown(int Button, int Shift, float X, float Y);
    void Image1_MouseMove(int Button, int Shift, float X, float Y);
    void Image1_MouseUp(int Button, int Shift, float X, float Y);
    void mAlwaysOnTop_Click();
    void mAbout_Click();
    void mExit_Click();

protected:
    void Form_Load() override;
    void Form_QueryUnload() override;

private:
    void LoadOutline();
    void PlacePupil(float Index, const EyeInfo& Eye, float X, float Y);

    // Made for each opening of the About window; freed once it has been unloaded, or with the
    // face.
    std::unique_ptr<Form2> form2_;
};
