#include "face/Form1.h"

#include "about/Form2.h"
#include "platform/Image.h"
#include "platform/Menu.h"
#include "platform/MenuEntry.h"
#include "platform/Platform.h"
#include "platform/Timer.h"

#include <cmath>

Form1::Form1(Platform& platform)
    : Form(platform) {
    setCaption("Vardo");
    setIcon("vardo.ico");
    setBorderStyle(BorderStyle::None);
    setShowInTaskbar(false);
    setClientSize(94, 138);
    // The design is a fixed dialog whose frame is 3 pixels wide and whose client area starts
    // 22 pixels below the outer top edge; the outline is measured from that outer corner. This
    // window has no frame or caption bar (a modern frame is neither 3 nor 22 pixels, and on X11
    // the frame belongs to the window manager), so its client area starts at its own corner
    // and the outline is shifted 3 left and 22 up.
    setClientOffset({3, 22});
    setBackColor(0x00E0E0E0);

    // Controls made later lie in front, so the back-most comes first.
    Image1 = new Image(*this, "face.gif", 0, 0);
    Eye[0] = new Image(*this, "eye0.gif", 26, 76);
    Eye[1] = new Image(*this, "eye1.gif", 60, 76);
    Timer1 = new Timer(*this, 100);

    mPopupMenu = new Menu(*this, "PopupMenu");
    mAlwaysOnTop = new MenuEntry(*mPopupMenu, "Always On &Top");
    mAlwaysOnTop->setChecked(vbTrue);
    mAbout = new MenuEntry(*mPopupMenu, "&About Vardo");
    mSeparate0 = new MenuEntry(*mPopupMenu, "-");
    mExit = new MenuEntry(*mPopupMenu, "&Exit");

    Timer1->Tick.connect(this, &Form1::Timer1_Timer);
    Image1->MouseDown.connect(this, &Form1::Image1_MouseDown);
    Image1->MouseMove.connect(this, &Form1::Image1_MouseMove);
    Image1->MouseUp.connect(this, &Form1::Image1_MouseUp);
    mAlwaysOnTop->Click.connect(this, &Form1::mAlwaysOnTop_Click);
    mAbout->Click.connect(this, &Form1::mAbout_Click);
    mExit->Click.connect(this, &Form1::mExit_Click);
}

// The About window has no owner window, but the face made it and frees it.
Form1::~Form1() = default;

Form2* Form1::aboutWindow() const {
    return form2_ && form2_->isLoaded() ? form2_.get() : nullptr;
}

void Form1::Form_Load() {
    LoadOutline();
    const HWND window = hWnd();
    const HRGN region = platform().CreatePolygonRgn(Outline.data(), 50, 0);
    platform().SetWindowRgn(window, region, true);
    const bool topmost = mAlwaysOnTop->Checked() != vbFalse;
    platform().SetWindowPos(hWnd(), topmost ? WinApi::HWND_TOPMOST : WinApi::HWND_NOTOPMOST, 0, 0,
                            0, 0, WinApi::SWP_NOSIZE | WinApi::SWP_NOMOVE);
    EyeL = {28, 80, 2, 1};
    EyeR = {63, 80, 2, 1};
}

// The head, in window pixels. The last point repeats the first to close the polygon.
void Form1::LoadOutline() {
    Outline = {{{4, 89},   {4, 78},   {5, 77},   {5, 70},   {9, 58},   {10, 56},  {11, 52},
                {18, 44},  {19, 40},  {19, 38},  {17, 33},  {20, 29},  {26, 27},  {32, 24},
                {42, 23},  {62, 24},  {68, 26},  {77, 30},  {81, 33},  {87, 43},  {90, 47},
                {92, 60},  {95, 62},  {94, 68},  {95, 75},  {93, 89},  {92, 91},  {92, 99},
                {90, 103}, {88, 111}, {87, 116}, {81, 120}, {80, 133}, {74, 143}, {66, 151},
                {56, 158}, {38, 158}, {29, 151}, {25, 150}, {18, 141}, {14, 131}, {13, 121},
                {13, 118}, {8, 111},  {7, 104},  {8, 100},  {8, 96},   {6, 94},   {5, 90},
                {4, 89}}};
}

void Form1::Timer1_Timer() {
    PointApi P;
    // A position that cannot be read changes nothing, LastCursor included: the pupils stay
    // where they are rather than turn to a made-up corner, and the next tick asks again.
    if (!platform().GetCursorPos(P))
        return;
    // Compared in screen pixels: a still cursor costs this one query and nothing else.
    if (P.x == LastCursor.x && P.y == LastCursor.y)
        return;
    LastCursor.x = P.x;
    LastCursor.y = P.y;
    platform().ScreenToClient(hWnd(), P);
    PlacePupil(0, EyeL, static_cast<float>(P.x), static_cast<float>(P.y));
    PlacePupil(1, EyeR, static_cast<float>(P.x), static_cast<float>(P.y));
}

void Form1::PlacePupil(float Index, const EyeInfo& Eye, float X, float Y) {
    Image& pupil = *this->Eye.at(static_cast<std::size_t>(std::nearbyint(Index)));
    const PupilCentre centre = aimPupil(Eye, X, Y);
    // Width and height are read from the control each time; Left and Top land on the nearest
    // whole client pixel. One move rather than Left then Top: two would repaint the corner the
    // pupil passes through on the way as well.
    pupil.Move(static_cast<float>(static_cast<double>(centre.px) - pupil.Width() / 2),
               static_cast<float>(static_cast<double>(centre.py) - pupil.Height() / 2));
}

void Form1::Image1_MouseDown(int Button, int, float X, float Y) {
    if (Button == vbLeftButton) {
        if (Timer1->Interval() > 0) {
            DragX = X;
            DragY = Y;
            Timer1->setInterval(0);
        }
    } else if (Button == vbRightButton) {
        // A menu opened during a drag takes the pointer, and with it the left release: the
        // run-time reports the release to Image1 as the menu takes it, which ends the drag.
        platform().PopupMenu(hWnd(), *mPopupMenu);
    }
}

void Form1::Image1_MouseMove(int Button, int, float X, float Y) {
    if (Button != vbLeftButton)
        return;
    if (Timer1->Interval() != 0)
        return;
    // X and Y are measured from where the face stands now, so the grabbed point comes back
    // under the pointer.
    setLeft(Left() + (X - DragX));
    setTop(Top() + (Y - DragY));
    platform().DoEvents();
}

void Form1::Image1_MouseUp(int Button, int, float, float) {
    if (Button == vbLeftButton && Timer1->Interval() == 0)
        Timer1->setInterval(100);
}

void Form1::mAlwaysOnTop_Click() {
    mAlwaysOnTop->setChecked(static_cast<VbBoolean>(~mAlwaysOnTop->Checked()));
    const bool topmost = mAlwaysOnTop->Checked() != vbFalse;
    platform().SetWindowPos(hWnd(), topmost ? WinApi::HWND_TOPMOST : WinApi::HWND_NOTOPMOST, 0, 0,
                            0, 0, WinApi::SWP_NOSIZE | WinApi::SWP_NOMOVE);
}

// An About window that was unloaded is not shown again: a new one is made.
void Form1::mAbout_Click() {
    if (!aboutWindow()) {
        form2_ = std::make_unique<Form2>(platform(), *this);
        form2_->Unloaded.connect([this] { form2_.reset(); });
    }
    form2_->Show();
}

void Form1::mExit_Click() {
    platform().End();
}

// The face has no close box, but a window manager can still ask it to close (Alt+F4): that
// ends the program, as Exit does.
void Form1::Form_QueryUnload() {
    platform().End();
}
