#include "face/Form1.h"

#include "about/Form2.h"
#include "platform/Platform.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>

#include <cmath>

Form1::Form1(Platform& platform)
    : Form(platform) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Vardo"));
    setWindowIcon(QIcon(QStringLiteral(":/resources/vardo.ico")));
    setShowInTaskbar(false);
    setClientSize(94, 138);
    // The design is a fixed dialog whose frame is 3 pixels wide and whose client area starts
    // 22 pixels below the outer top edge; the outline is measured from that outer corner. On
    // X11 the frame and caption bar belong to the window manager and this window has none, so
    // its client area starts at its own corner and the outline is shifted 3 left and 22 up.
    setClientOffset(QPoint(3, 22));

    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
    setPalette(background);
    setAutoFillBackground(true);

    // Children stack in the order they are made, so the back-most comes first.
    Image1 = new Image(QPixmap(QStringLiteral(":/resources/face.gif")), this);
    Eye[0] = new Image(QPixmap(QStringLiteral(":/resources/eye0.gif")), this);
    Eye[0]->move(26, 76);
    Eye[1] = new Image(QPixmap(QStringLiteral(":/resources/eye1.gif")), this);
    Eye[1]->move(60, 76);
    Timer1 = new Timer(100, this);

    mPopupMenu = new QMenu(QStringLiteral("PopupMenu"), this);
    mAlwaysOnTop = new MenuEntry(QStringLiteral("Always On &Top"), *mPopupMenu);
    mAlwaysOnTop->setChecked(vbTrue);
    mAbout = new MenuEntry(QStringLiteral("&About Vardo"), *mPopupMenu);
    mSeparate0 = new MenuEntry(QStringLiteral("-"), *mPopupMenu);
    mExit = new MenuEntry(QStringLiteral("&Exit"), *mPopupMenu);

    connect(Timer1, &Timer::Tick, this, &Form1::Timer1_Timer);
    connect(Image1, &Image::MouseDown, this, &Form1::Image1_MouseDown);
    connect(Image1, &Image::MouseMove, this, &Form1::Image1_MouseMove);
    connect(Image1, &Image::MouseUp, this, &Form1::Image1_MouseUp);
    connect(mAlwaysOnTop, &MenuEntry::Click, this, &Form1::mAlwaysOnTop_Click);
    connect(mAbout, &MenuEntry::Click, this, &Form1::mAbout_Click);
    connect(mExit, &MenuEntry::Click, this, &Form1::mExit_Click);
    mPopupMenu->installEventFilter(this);
}

// The About window has no owner, so it is not a child of the face; the face outlives it.
Form1::~Form1() {
    delete form2_;
}

Form2* Form1::aboutWindow() const {
    return form2_;
}

void Form1::Form_Load() {
    LoadOutline();
    const HWND window = hWnd();
    const HRGN region = platform().CreatePolygonRgn(Outline.data(), 50, 0);
    platform().SetWindowRgn(window, region, true);
    const bool topmost = mAlwaysOnTop->Checked() != vbFalse;
    platform().SetWindowPos(hWnd(), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                            SWP_NOSIZE | SWP_NOMOVE);
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
    platform().GetCursorPos(P);
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
        leftReleasedInMenu_ = false;
        platform().PopupMenu(hWnd(), *mPopupMenu);
        // A menu opened during a drag takes the left release, and the face would never see it:
        // the drag ends here unless the button that started it is still held, and has been
        // all along (a click that dismissed the menu holds it too, but started nothing here).
        if (Timer1->Interval() == 0 &&
            (leftReleasedInMenu_ || !(platform().MouseButtons() & vbLeftButton)))
            Timer1->setInterval(100);
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
    platform().SetWindowPos(hWnd(), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                            SWP_NOSIZE | SWP_NOMOVE);
}

void Form1::mAbout_Click() {
    if (!form2_) {
        form2_ = new Form2(platform(), *this);
        connect(form2_, &Form::Unloaded, this, [this] { form2_ = nullptr; });
    }
    form2_->Show();
}

void Form1::mExit_Click() {
    platform().End();
}

// Notes a left release that the open menu takes, for the drag it may have interrupted.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mPopupMenu && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        leftReleasedInMenu_ = true;
    return Form::eventFilter(watched, event);
}

// The face has no close box, but a window manager can still ask it to close (Alt+F4): that
// ends the program, as Exit does.
void Form1::closeEvent(QCloseEvent* event) {
    event->ignore();
    platform().End();
}
