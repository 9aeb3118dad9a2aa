#include "about/Form2.h"

#include "face/Form1.h"
#include "platform/LinkCursor.h"
#include "platform/Platform.h"

#include <QCloseEvent>
#include <QIcon>
#include <QShortcut>

namespace {

// Stands in for the classic 8.25-point dialog face: 11 pixels at 96 pixels per inch. The layout
// is fixed in pixels, so the font is sized in pixels too, whatever the screen's DPI setting.
QFont windowFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

Label* makeLabel(const QString& caption, QRect box, QWidget* parent) {
    auto* label = new Label(caption, parent);
    label->setGeometry(box);
    return label;
}

} // namespace

Form2::Form2(Platform& platform, Form1& face)
    : Form(platform)
    , face_(face) {
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("About Vardo"));
    // The face's icon, the same picture: a QIcon of its own for each About window would read
    // the icon file again and add its scaled copies to the pixmap cache every time it opens.
    setWindowIcon(face.windowIcon());
    setClientSize(245, 110);
    setFont(windowFont());

    // Children stack in the order they are made: back-most first. Neighbouring boxes overlap
    // by a few pixels and the one in front paints and takes the mouse there.
    Label1 = makeLabel(QStringLiteral("Pellmoor"), QRect(27, 3, 187, 18), this);
    Label2 = makeLabel(QStringLiteral("By Quennick"), QRect(41, 18, 163, 18), this);
    Email = makeLabel(QStringLiteral("vardo@example.org"), QRect(69, 33, 107, 18), this);
    Homepage =
        makeLabel(QStringLiteral("https://www.example.org/vardo/"), QRect(3, 49, 238, 18), this);
    Command1 = new QPushButton(QStringLiteral("&OK"), this);
    Command1->setGeometry(92, 78, 65, 23);
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    Command1->setFocus();

    const QCursor& hand = linkCursor();
    for (Label* link : {Email, Homepage}) {
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        link->setForeColor(linkColour);
        link->setCursor(hand);
    }

    // Enter and Esc press OK wherever the focus is: it is both the default and cancel button.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, Command1,
                &QPushButton::click);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Email, &Label::MouseDown, this, &Form2::Email_MouseDown);
    connect(Email, &Label::MouseUp, this, &Form2::Email_MouseUp);
    connect(Homepage, &Label::MouseDown, this, &Form2::Homepage_MouseDown);
    connect(Homepage, &Label::MouseUp, this, &Form2::Homepage_MouseUp);
}

void Form2::Form_Load() {
    const bool topmost = face_.mAlwaysOnTop->Checked() != vbFalse;
    platform().SetWindowPos(hWnd(), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                            SWP_NOSIZE | SWP_NOMOVE);
}

void Form2::Command1_Click() {
    Unload();
}

// The close box unloads the window as OK does; the face keeps running.
void Form2::closeEvent(QCloseEvent* event) {
    event->ignore();
    Unload();
}

void Form2::Email_MouseDown(int, int, float, float) {
    Email->setForeColor(pressedLinkColour);
}

void Form2::Email_MouseUp(int, int, float, float) {
    Email->setForeColor(linkColour);
    openLink(QStringLiteral("mailto:") + Email->Caption());
}

void Form2::Homepage_MouseDown(int, int, float, float) {
    Homepage->setForeColor(pressedLinkColour);
}

void Form2::Homepage_MouseUp(int, int, float, float) {
    Homepage->setForeColor(linkColour);
    openLink(Homepage->Caption());
}

void Form2::openLink(const QString& target) {
    const HWND owner = hWnd();
    const QByteArray file = target.toLocal8Bit();
    platform().ShellExecuteA(owner, "open", file.constData(), nullptr, nullptr, SW_SHOW);
}
