#include "about/Form2.h"
#include "face/Form1.h"
#include "platform/qt/LinkCursor.h"
#include "platform/qt/Natives.h"
#include "tests/support/RecordingPlatform.h"

#include <QFile>
#include <QFontMetrics>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <stdexcept>

namespace {

QWidget& widget(Form& form) {
    return form.native().widget;
}

QLabel& widget(Label* label) {
    return label->native().widget;
}

QPushButton& widget(CommandButton* button) {
    return button->native().button;
}

// Registers with its form, then fails.
class FailingControl : public Control {
public:
    explicit FailingControl(Form& form)
        : Control(form) {
        throw std::runtime_error("cannot be made");
    }
};

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private:
    RecordingPlatform platform;
    std::unique_ptr<Form1> face;

    Form2& openAbout() {
        face = std::make_unique<Form1>(platform);
        face->Load();
        platform.clear();
        face->mAbout_Click();
        return *face->aboutWindow();
    }

private Q_SLOTS:
    void cleanup() {
        face.reset();
        platform = RecordingPlatform();
    }

    void definition() {
        Form2& about = openAbout();
        QCOMPARE(widget(about).windowTitle(), QStringLiteral("About Vardo"));
        QCOMPARE(widget(about).size(), QSize(245, 110));
        QCOMPARE(widget(about).minimumSize(), widget(about).maximumSize());
        QVERIFY(about.ShowInTaskbar());
        const Qt::WindowFlags flags = widget(about).windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(!widget(about).windowIcon().isNull());
        // The face's own icon, not one loaded anew for each About window: every new QIcon adds
        // its scaled copies to the pixmap cache, and the program grew with each opening.
        QCOMPARE(widget(about).windowIcon().cacheKey(), widget(*face).windowIcon().cacheKey());

        // Front to back, with the boxes of the design.
        const QList<QWidget*> frontToBack{&widget(about.Command1), &widget(about.Homepage),
                                          &widget(about.Email), &widget(about.Label2),
                                          &widget(about.Label1)};
        const QList<QRect> boxes{{92, 78, 65, 23},
                                 {3, 49, 238, 18},
                                 {69, 33, 107, 18},
                                 {41, 18, 163, 18},
                                 {27, 3, 187, 18}};
        const QObjectList children = widget(about).children();
        for (int i = 0; i < frontToBack.size(); ++i) {
            QCOMPARE(frontToBack[i]->geometry(), boxes[i]);
            if (i > 0)
                QVERIFY(children.indexOf(frontToBack[i]) < children.indexOf(frontToBack[i - 1]));
        }
        // In an overlap the control in front takes the mouse: the band Email and Homepage share.
        QCOMPARE(widget(about).childAt(120, 49), &widget(about.Homepage));
        QCOMPARE(widget(about).childAt(120, 48), &widget(about.Email));

        QCOMPARE(about.Label1->Caption(), "Pellmoor");
        QCOMPARE(about.Label2->Caption(), "By Quennick");
        QCOMPARE(widget(about.Command1).text(), QStringLiteral("&OK"));
        QVERIFY(widget(about.Command1).isDefault());
        QVERIFY(about.Email->Caption().find("@example.") != std::string::npos);
        QVERIFY(about.Homepage->Caption().starts_with("https://www.example."));
    }

    void labelsShareOneFontAndFitTheirBoxes() {
        Form2& about = openAbout();
        const QFont font = widget(about.Command1).font();
        for (Label* control : {about.Label1, about.Label2, about.Email, about.Homepage}) {
            const QLabel* label = &widget(control);
            QCOMPARE(label->font().family(), font.family());
            QCOMPARE(label->font().pixelSize(), font.pixelSize());
            QCOMPARE(label->alignment(), Qt::AlignCenter);
            QVERIFY(!label->wordWrap());
            QVERIFY(label->autoFillBackground());
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
            const QFontMetrics metrics(label->font());
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width() &&
                         metrics.height() <= label->height(),
                     qPrintable(label->text()));
        }
        const QFontMetrics metrics(widget(about.Command1).font());
        QVERIFY(metrics.horizontalAdvance(QStringLiteral("OK")) < widget(about.Command1).width());
    }

    void linksLookAndPointLikeLinks() {
        Form2& about = openAbout();
        for (Label* link : {about.Email, about.Homepage}) {
            QCOMPARE(link->ForeColor(), 0x00800000u);
            QCOMPARE(widget(link).palette().color(QPalette::WindowText), QColor(0, 0, 128));
            QVERIFY(widget(link).font().underline());
            QCOMPARE(widget(link).cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(widget(link).cursor().hotSpot(), QPoint(5, 1));
        }
        for (QWidget* plain :
             std::initializer_list<QWidget*>{&widget(about.Label1), &widget(about.Label2),
                                             &widget(about.Command1), &widget(about)}) {
            QCOMPARE(plain->cursor().shape(), Qt::ArrowCursor);
            QVERIFY(!plain->font().underline());
        }
    }

    void cursorFileIsReadWithItsHotSpot() {
        QFile file(QStringLiteral(":/resources/link.cur"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray data = file.readAll();
        const QCursor cursor = cursorFromCurFile(data);
        QCOMPARE(cursor.shape(), Qt::BitmapCursor);
        QCOMPARE(cursor.bitmap().size(), QSize(32, 32));
        // Truncated or foreign data gives the arrow, not a crash.
        for (const qsizetype size : {qsizetype{0}, qsizetype{21}, qsizetype{100}, data.size() - 1})
            QCOMPARE(cursorFromCurFile(data.left(size)).shape(), Qt::ArrowCursor);
        data[18] = '\xff';
        QCOMPARE(cursorFromCurFile(data).shape(), Qt::ArrowCursor);
    }

    void loadTakesTheFacesBand() {
        Form2& about = openAbout();
        QCOMPARE(platform.windowPositions.size(), std::size_t{1});
        QCOMPARE(platform.windowPositions[0].window, about.hWnd());
        QCOMPARE(platform.windowPositions[0].insertAfter, WinApi::HWND_TOPMOST);
        QCOMPARE(platform.windowPositions[0].flags, 3u);
        about.Command1_Click();
        // Unchecked on the face: the next About window loads outside the band, and later
        // toggles on the face do not reach it.
        face->mAlwaysOnTop_Click();
        platform.clear();
        face->mAbout_Click();
        QCOMPARE(platform.windowPositions.size(), std::size_t{1});
        QCOMPARE(platform.windowPositions[0].insertAfter, WinApi::HWND_NOTOPMOST);
        face->mAlwaysOnTop_Click();
        QCOMPARE(platform.windowPositions.back().window, face->hWnd());
    }

    void releasingALinkOpensItOnce_data() {
        QTest::addColumn<bool>("email");
        QTest::addColumn<int>("button");
        QTest::newRow("e-mail, left") << true << int(Qt::LeftButton);
        QTest::newRow("e-mail, right") << true << int(Qt::RightButton);
        QTest::newRow("home page, left") << false << int(Qt::LeftButton);
        QTest::newRow("home page, middle") << false << int(Qt::MiddleButton);
    }

    void releasingALinkOpensItOnce() {
        QFETCH(bool, email);
        QFETCH(int, button);
        Form2& about = openAbout();
        widget(about).show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget(about)));
        Label* link = email ? about.Email : about.Homepage;
        const QByteArray expected =
            QByteArray::fromStdString(email ? "mailto:" + link->Caption() : link->Caption());
        platform.clear();

        const auto mouseButton = static_cast<Qt::MouseButton>(button);
        QTest::mousePress(&widget(link), mouseButton, {}, QPoint(10, 9));
        QCOMPARE(link->ForeColor(), 0x00800080u);
        QVERIFY(platform.shellCalls.empty());
        // Released away from the label: the label that took the press takes the release.
        QTest::mouseRelease(&widget(link), mouseButton, {}, QPoint(-40, 60));
        QCOMPARE(link->ForeColor(), 0x00800000u);
        QCOMPARE(platform.shellCalls.size(), std::size_t{1});
        const auto& call = platform.shellCalls[0];
        QCOMPARE(call.owner, about.hWnd());
        QCOMPARE(call.operation, QStringLiteral("open"));
        QCOMPARE(call.file, expected);
        QVERIFY(!call.hasParameters && !call.hasDirectory);
        QCOMPARE(call.showCommand, 5);

        QTest::mouseClick(&widget(link), mouseButton, {}, QPoint(10, 9));
        QCOMPARE(platform.shellCalls.size(), std::size_t{2});
    }

    void theCaptionIsReadAtRelease() {
        Form2& about = openAbout();
        about.Email_MouseDown(1, 0, 0, 0);
        const char* caption = "a b;$(touch x)'\"|&\u00e9\u6f22@example.org";
        about.Email->setCaption(caption);
        about.Email_MouseUp(1, 0, 0, 0);
        QCOMPARE(platform.shellCalls.at(0).file, QByteArray("mailto:") + caption);
    }

    void everyWayOfClosingUnloads_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << QStringLiteral("ok");
        QTest::newRow("Enter") << QStringLiteral("enter");
        QTest::newRow("Return") << QStringLiteral("return");
        QTest::newRow("Esc") << QStringLiteral("esc");
        QTest::newRow("close box") << QStringLiteral("close");
    }

    void everyWayOfClosingUnloads() {
        QFETCH(QString, how);
        Form2& about = openAbout();
        widget(about).show();
        QWidget& window = widget(about);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy destroyed(&window, &QObject::destroyed);
        if (how == QLatin1String("ok"))
            QTest::mouseClick(&widget(about.Command1), Qt::LeftButton);
        else if (how == QLatin1String("enter"))
            QTest::keyClick(&window, Qt::Key_Enter);
        else if (how == QLatin1String("return"))
            QTest::keyClick(&widget(about.Label1), Qt::Key_Return);
        else if (how == QLatin1String("esc"))
            QTest::keyClick(&window, Qt::Key_Escape);
        else
            window.close();
        QVERIFY(!face->aboutWindow());
        QVERIFY(!window.isVisible());
        QVERIFY(destroyed.wait(1000));
        QCOMPARE(platform.ends, 0);
    }

    // Enter and Return press the default button, Esc the cancel button, each while there is
    // one: set twice, the key still presses once; let go, it presses nothing.
    void enterAndEscFollowTheButtonsSetForThem() {
        Form2& about = openAbout();
        widget(about).show();
        QWidget& window = widget(about);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        int clicks = 0;
        about.Command1->Click.connect([&clicks] { ++clicks; });
        about.Command1->setDefault(true);
        about.Command1->setCancel(true);
        QTest::keyClick(&window, Qt::Key_Enter);
        QTest::keyClick(&widget(about.Label1), Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(clicks, 3);

        about.Command1->setDefault(false);
        about.Command1->setCancel(false);
        QVERIFY(!widget(about.Command1).isDefault());
        QTest::keyClick(&window, Qt::Key_Enter);
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(clicks, 3);

        about.Command1->setDefault(true);
        QTest::keyClick(&window, Qt::Key_Enter);
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(clicks, 4);
    }

    // Alike on every run-time: a form that was never loaded is left as it is; Unloaded comes
    // once, from the event loop, and its handler may delete the form; Unload itself deletes
    // nothing, so a form on the stack (as the face is) ends with its scope; an unloaded form
    // stays so; a control whose constructor throws is not deleted again with its form.
    void unloadFollowsOneSetOfRules() {
        int raised = 0;
        {
            Form never(platform);
            never.Unloaded.connect([&raised] { ++raised; });
            never.Unload();
            QCoreApplication::processEvents();
            QCOMPARE(raised, 0);

            Form onStack(platform);
            onStack.Unloaded.connect([&raised] { ++raised; });
            onStack.Show();
            onStack.Unload();
            onStack.Unload();
            QVERIFY(!onStack.isLoaded());
            QVERIFY(!widget(onStack).isVisible());
            QCOMPARE(raised, 0);
            QCoreApplication::processEvents();
            QCOMPARE(raised, 1);
            onStack.Show();
            onStack.Load();
            QVERIFY(!onStack.isLoaded());
            QVERIFY(!widget(onStack).isVisible());

            bool threw = false;
            try {
                new FailingControl(onStack);
            } catch (const std::runtime_error&) {
                threw = true;
            }
            QVERIFY(threw);
        }
        QCOMPARE(raised, 1);

        Form* made = new Form(platform);
        const QPointer<QWidget> itsWindow(&widget(*made));
        made->Unloaded.connect([&made] {
            delete made;
            made = nullptr;
        });
        made->Show();
        made->Unload();
        QCoreApplication::processEvents();
        QVERIFY(!made);
        QVERIFY(itsWindow.isNull());

        // Deleted before the event loop runs: nothing is raised on the form that went.
        auto gone = std::make_unique<Form>(platform);
        gone->Unloaded.connect([&raised] { ++raised; });
        gone->Show();
        gone->Unload();
        gone.reset();
        QCoreApplication::processEvents();
        QCOMPARE(raised, 1);
    }
};

QTEST_MAIN(AboutTest)
#include "test_about.moc"
