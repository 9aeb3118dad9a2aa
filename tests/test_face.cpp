#include "about/Form2.h"
#include "face/Form1.h"
#include "platform/qt/Natives.h"
#include "platform/qt/QtHandles.h"
#include "tests/support/RecordingPlatform.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <cmath>
#include <memory>

namespace {

// Twice the signed area of triangle (a, b, c); its sign says which side of ab c lies on.
long long cross(PointApi a, PointApi b, PointApi c) {
    return static_cast<long long>(b.x - a.x) * (c.y - a.y) -
           static_cast<long long>(b.y - a.y) * (c.x - a.x);
}

bool segmentsCross(PointApi a, PointApi b, PointApi c, PointApi d) {
    const long long d1 = cross(c, d, a), d2 = cross(c, d, b);
    const long long d3 = cross(a, b, c), d4 = cross(a, b, d);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

QWidget& widget(Form& form) {
    return form.native().widget;
}

QPoint pos(const Image* image) {
    return image->native().widget.pos();
}

} // namespace

class FaceTest : public QObject {
    Q_OBJECT

private:
    RecordingPlatform platform;
    std::unique_ptr<Form1> face;

    // A loaded face whose client origin is at screen (100, 200).
    Form1& loadedFace() {
        face = std::make_unique<Form1>(platform);
        widget(*face).move(100, 200);
        face->Load();
        platform.clear();
        return *face;
    }

    void setCursorClient(int x, int y) { platform.cursor = {x + 100, y + 200}; }

private Q_SLOTS:
    void cleanup() {
        face.reset();
        platform = RecordingPlatform();
    }

    void definition() {
        Form1 form(platform);
        QCOMPARE(widget(form).windowTitle(), QStringLiteral("Vardo"));
        QCOMPARE(widget(form).size(), QSize(94, 138));
        QCOMPARE(widget(form).minimumSize(), widget(form).maximumSize());
        QVERIFY(widget(form).windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!form.ShowInTaskbar());
        QCOMPARE(form.clientOffset(), (PointApi{3, 22}));
        QVERIFY(!widget(form).windowIcon().isNull());
        QCOMPARE(form.Timer1->Interval(), 100);

        QCOMPARE(form.Image1->native().widget.geometry(), QRect(0, 0, 94, 138));
        QCOMPARE(form.Eye[0]->native().widget.geometry(), QRect(26, 76, 4, 6));
        QCOMPARE(form.Eye[1]->native().widget.geometry(), QRect(60, 76, 4, 6));
        // Stacking, back to front.
        const QObjectList children = widget(form).children();
        QVERIFY(children.indexOf(&form.Image1->native().widget) <
                children.indexOf(&form.Eye[0]->native().widget));
        QVERIFY(children.indexOf(&form.Eye[0]->native().widget) <
                children.indexOf(&form.Eye[1]->native().widget));

        const QList<QAction*> entries = form.mPopupMenu->native().menu.actions();
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[0]->text(), QStringLiteral("Always On &Top"));
        QCOMPARE(entries[1]->text(), QStringLiteral("&About Vardo"));
        QVERIFY(entries[2]->isSeparator());
        QCOMPARE(entries[3]->text(), QStringLiteral("&Exit"));
        QCOMPARE(form.mAlwaysOnTop->Checked(), vbTrue);
        QVERIFY(!form.mAbout->native().action->isCheckable());
        for (QAction* entry : entries)
            QVERIFY(entry->isEnabled() && entry->isVisible() && entry->shortcut().isEmpty());
    }

    void formLoadCutsTheOutlineAndSetsTheBand() {
        Form1 form(platform);
        form.Load();
        QCOMPARE(platform.calls,
                 (QStringList{QStringLiteral("CreatePolygonRgn"), QStringLiteral("SetWindowRgn"),
                              QStringLiteral("SetWindowPos")}));
        const auto& polygon = platform.polygons.at(0);
        QCOMPARE(polygon.count, 50);
        QCOMPARE(polygon.fillMode, 0);
        QCOMPARE(polygon.points.size(), std::size_t{50});
        for (std::size_t i = 0; i < 50; ++i)
            QCOMPARE(polygon.points[i], form.Outline[i]);
        QCOMPARE(platform.windowRegions.at(0).window, form.hWnd());
        QVERIFY(platform.windowRegions.at(0).redraw);
        const auto& band = platform.windowPositions.at(0);
        QCOMPARE(band.window, form.hWnd());
        QCOMPARE(band.insertAfter, WinApi::HWND_TOPMOST);
        QCOMPARE(band.flags, 3u);
        QCOMPARE(band.x + band.y + band.cx + band.cy, 0);

        QCOMPARE(form.EyeL.CenterX, 28);
        QCOMPARE(form.EyeL.CenterY, 80);
        QCOMPARE(form.EyeR.CenterX, 63);
        QCOMPARE(form.EyeR.CenterY, 80);
        QCOMPARE(form.EyeL.RangeX + form.EyeR.RangeX, 4);
        QCOMPARE(form.EyeL.RangeY + form.EyeR.RangeY, 2);
        // Loading moves no pupil.
        QCOMPARE(pos(form.Eye[0]), QPoint(26, 76));
        QCOMPARE(pos(form.Eye[1]), QPoint(60, 76));

        // Loading twice runs Form_Load once.
        form.Load();
        QCOMPARE(platform.calls.size(), 3);
    }

    void formLoadFollowsAnUncheckedEntry() {
        Form1 form(platform);
        form.mAlwaysOnTop->setChecked(vbFalse);
        form.Load();
        QCOMPARE(platform.windowPositions.at(0).insertAfter, WinApi::HWND_NOTOPMOST);
        QCOMPARE(platform.windowPositions.at(0).flags, 3u);
    }

    void outlineIsAClosedSimplePolygonInItsBounds() {
        Form1& form = loadedFace();
        const auto& outline = form.Outline;
        QCOMPARE(outline.front(), outline.back());
        for (const PointApi& p : outline) {
            QVERIFY2(p.x >= 4 && p.x <= 95 && p.y >= 23 && p.y <= 158, "point out of bounds");
        }
        for (std::size_t i = 0; i + 1 < outline.size(); ++i)
            for (std::size_t j = i + 2; j + 1 < outline.size(); ++j)
                QVERIFY2(!segmentsCross(outline[i], outline[i + 1], outline[j], outline[j + 1]),
                         qPrintable(QStringLiteral("edges %1 and %2 cross").arg(i).arg(j)));
        // Shifted into the client area, the outline covers the eyes and stays on the picture.
        const QRegion client =
            takeRegion(platform.CreatePolygonRgn(outline.data(), 50, 0)).translated(-3, -22);
        QVERIFY(client.contains(QPoint(28, 80)) && client.contains(QPoint(63, 80)));
        QVERIFY(QRect(0, 0, 94, 138).contains(client.boundingRect()));
    }

    void pupilsAim_data() {
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QPoint>("left");
        QTest::addColumn<QPoint>("right");
        QTest::newRow("far right") << QPoint(5000, 80) << QPoint(28, 77) << QPoint(63, 77);
        QTest::newRow("far left") << QPoint(-5000, 80) << QPoint(24, 77) << QPoint(59, 77);
        QTest::newRow("far above") << QPoint(45, -100000) << QPoint(26, 76) << QPoint(61, 76);
        QTest::newRow("far below") << QPoint(45, 100000) << QPoint(26, 78) << QPoint(61, 78);
        QTest::newRow("down right") << QPoint(1028, 1080) << QPoint(27, 78) << QPoint(62, 78);
        QTest::newRow("up left") << QPoint(-972, -920) << QPoint(25, 76) << QPoint(60, 76);
        QTest::newRow("on the left rest point")
            << QPoint(28, 80) << QPoint(26, 77) << QPoint(59, 77);
        QTest::newRow("on the right rest point")
            << QPoint(63, 80) << QPoint(28, 77) << QPoint(61, 77);
        QTest::newRow("between the eyes") << QPoint(45, 80) << QPoint(28, 77) << QPoint(59, 77);
        QTest::newRow("huge") << QPoint(2000000000, 2000000000) << QPoint(27, 78) << QPoint(62, 78);
    }

    void pupilsAim() {
        QFETCH(QPoint, cursor);
        QFETCH(QPoint, left);
        QFETCH(QPoint, right);
        Form1& form = loadedFace();
        platform.cursor = {cursor.x() + 100, cursor.y() + 200};
        form.Timer1_Timer();
        QCOMPARE(pos(form.Eye[0]), left);
        QCOMPARE(pos(form.Eye[1]), right);
        QCOMPARE(form.LastCursor, platform.cursor);
        QCOMPARE(platform.calls,
                 (QStringList{QStringLiteral("GetCursorPos"), QStringLiteral("ScreenToClient")}));
    }

    void pupilCentreStaysOnTheRim() {
        const EyeInfo eye{28, 80, 2, 1};
        const int coordinates[] = {-2147483647, -100000, -50, -1, 0,   1,         27,
                                   28,          29,      80,  81, 500, 2147483647};
        for (int x : coordinates) {
            for (int y : coordinates) {
                const PupilCentre c = aimPupil(eye, static_cast<float>(x), static_cast<float>(y));
                QVERIFY(std::isfinite(c.px) && std::isfinite(c.py));
                if (x == 28 && y == 80) {
                    QCOMPARE(c.px, 28.0f);
                    QCOMPARE(c.py, 80.0f);
                    continue;
                }
                const double ex = (c.px - 28.0) / 2, ey = (c.py - 80.0) / 1;
                QVERIFY2(std::abs(ex * ex + ey * ey - 1) < 1e-5,
                         qPrintable(QStringLiteral("(%1, %2) off the rim").arg(x).arg(y)));
            }
        }
    }

    // A tick that finds the cursor where the last one did, or cannot read it at all, places
    // nothing and remembers nothing.
    void idleTicksDoNothing() {
        Form1& form = loadedFace();
        // The cursor still at screen (0, 0), where the tracker starts: nothing is placed.
        form.Timer1_Timer();
        QCOMPARE(platform.calls, QStringList{QStringLiteral("GetCursorPos")});
        QCOMPARE(pos(form.Eye[0]), QPoint(26, 76));
        QCOMPARE(pos(form.Eye[1]), QPoint(60, 76));

        setCursorClient(5000, 80);
        form.Timer1_Timer();
        platform.clear();
        // Moving the window under a still cursor changes nothing either.
        widget(form).move(300, 300);
        form.Timer1_Timer();
        QCOMPARE(platform.calls, QStringList{QStringLiteral("GetCursorPos")});
        QCOMPARE(pos(form.Eye[0]), QPoint(28, 77));

        const PointApi last = form.LastCursor;
        platform.cursorReadable = false;
        platform.cursor = {0, 0};
        form.Timer1_Timer();
        QCOMPARE(platform.calls.count(QStringLiteral("ScreenToClient")), 0);
        QCOMPARE(form.LastCursor, last);
        QCOMPARE(pos(form.Eye[0]), QPoint(28, 77));
        QCOMPARE(pos(form.Eye[1]), QPoint(63, 77));
        // Readable again, the same far-off cursor is news.
        platform.cursorReadable = true;
        form.Timer1_Timer();
        QCOMPARE(form.LastCursor, (PointApi{0, 0}));
        QCOMPARE(platform.calls.count(QStringLiteral("ScreenToClient")), 1);
    }

    void pupilsTakeTheirMouseEvents() {
        Form1& form = loadedFace();
        widget(form).show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget(form)));
        // Through the window, so that the press lands on whichever control lies on top.
        QWindow* window = widget(form).windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(28, 79));
        QCOMPARE(form.Timer1->Interval(), 100);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(28, 79));
        QTest::mousePress(window, Qt::RightButton, {}, QPoint(62, 78));
        QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(62, 78));
        QVERIFY(!platform.calls.contains(QStringLiteral("PopupMenu")));

        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(45, 40));
        QCOMPARE(form.Timer1->Interval(), 0);
        QCOMPARE(form.DragX, 45.0f);
        QCOMPARE(form.DragY, 40.0f);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(45, 40));
        QCOMPARE(form.Timer1->Interval(), 100);
        QTest::mousePress(window, Qt::RightButton, {}, QPoint(45, 40));
        QVERIFY(platform.calls.contains(QStringLiteral("PopupMenu")));
    }

    void clickWithoutMotion() {
        Form1& form = loadedFace();
        form.Image1_MouseDown(vbLeftButton, 0, 10, 20);
        QCOMPARE(form.Timer1->Interval(), 0);
        form.Image1_MouseUp(vbLeftButton, 0, 10, 20);
        QCOMPARE(form.Timer1->Interval(), 100);
        QCOMPARE(widget(form).pos(), QPoint(100, 200));
    }

    void dragMovesTheWindowByTheDisplacement() {
        Form1& form = loadedFace();
        form.Image1_MouseDown(vbLeftButton, 0, 10, 20);
        form.Image1_MouseMove(vbLeftButton, 0, 15, 27);
        QCOMPARE(widget(form).pos(), QPoint(105, 207));
        QCOMPARE(platform.calls, QStringList{QStringLiteral("DoEvents")});
        // The right button held as well: the window waits.
        form.Image1_MouseMove(vbLeftButton | vbRightButton, 0, 50, 50);
        QCOMPARE(widget(form).pos(), QPoint(105, 207));
        // Another left press mid-drag keeps the first press point.
        form.Image1_MouseDown(vbLeftButton, 0, 70, 70);
        QCOMPARE(form.DragX, 10.0f);
        form.Image1_MouseMove(vbLeftButton, 0, 5, 10);
        QCOMPARE(widget(form).pos(), QPoint(100, 197));
        form.Image1_MouseUp(vbLeftButton, 0, 5, 10);
        QCOMPARE(form.Timer1->Interval(), 100);
        // Left moves while idle (a press that began elsewhere) move nothing.
        form.Image1_MouseMove(vbLeftButton, 0, 60, 60);
        QCOMPARE(widget(form).pos(), QPoint(100, 197));
    }

    void otherButtonsDoNothing() {
        Form1& form = loadedFace();
        form.Image1_MouseDown(vbMiddleButton, 0, 10, 20);
        form.Image1_MouseMove(vbMiddleButton, 0, 30, 30);
        form.Image1_MouseUp(vbMiddleButton, 0, 30, 30);
        form.Image1_MouseUp(vbLeftButton, 0, 30, 30);
        form.Image1_MouseUp(vbRightButton, 0, 30, 30);
        QCOMPARE(form.Timer1->Interval(), 100);
        QCOMPARE(widget(form).pos(), QPoint(100, 200));
        QVERIFY(platform.calls.isEmpty());
    }

    // A menu opened mid-drag takes the pointer, and with it the left release: the run-time
    // (X11Platform::PopupMenu) reports the release as the menu opens, and only then.
    void menuDuringADragEndsIt() {
        Form1& form = loadedFace();
        widget(form).show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget(form)));
        QWindow* window = widget(form).windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(45, 40));
        QCOMPARE(form.Timer1->Interval(), 0);
        ImageWidget::pointerTaken();
        QCOMPARE(form.Timer1->Interval(), 100);
        // A release that still comes, and a second menu, report nothing more.
        form.Timer1->setInterval(0);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(45, 40));
        ImageWidget::pointerTaken();
        QCOMPARE(form.Timer1->Interval(), 0);
    }

    void menuCommands() {
        Form1& form = loadedFace();
        form.mAlwaysOnTop_Click();
        QCOMPARE(form.mAlwaysOnTop->Checked(), vbFalse);
        form.mAlwaysOnTop_Click();
        QCOMPARE(form.mAlwaysOnTop->Checked(), vbTrue);
        QCOMPARE(platform.windowPositions.size(), std::size_t{2});
        QCOMPARE(platform.windowPositions[0].insertAfter, WinApi::HWND_NOTOPMOST);
        QCOMPARE(platform.windowPositions[1].insertAfter, WinApi::HWND_TOPMOST);
        for (const auto& call : platform.windowPositions) {
            QCOMPARE(call.window, form.hWnd());
            QCOMPARE(call.flags, 3u);
        }

        // Chosen from the menu, the entry flips once: the handler owns the check mark.
        form.mAlwaysOnTop->native().action->trigger();
        QCOMPARE(form.mAlwaysOnTop->Checked(), vbFalse);
        QVERIFY(!form.mAlwaysOnTop->native().action->isChecked());

        form.mExit->native().action->trigger();
        QCOMPARE(platform.ends, 1);
    }

    void aboutOpensOneWindowAtATime() {
        Form1& form = loadedFace();
        form.mAbout->native().action->trigger();
        Form2* about = form.aboutWindow();
        QVERIFY(about);
        QVERIFY(widget(*about).isVisible());
        form.mAbout_Click();
        QCOMPARE(form.aboutWindow(), about);
        QCOMPARE(platform.calls.count(QStringLiteral("SetWindowPos")), 1);

        QSignalSpy destroyed(&widget(*about), &QObject::destroyed);
        about->Command1->native().button.click();
        QVERIFY(!form.aboutWindow());
        QVERIFY(destroyed.wait(1000));
        form.mAbout_Click();
        QVERIFY(form.aboutWindow());
        QCOMPARE(platform.calls.count(QStringLiteral("SetWindowPos")), 2);
        QCOMPARE(platform.ends, 0);
    }
};

QTEST_MAIN(FaceTest)
#include "test_face.moc"
