// The link hand-off of X11Platform (ShellExecuteA) against xdg-open: what reaches the program
// that opens the link, byte for byte, and that nothing on the way reads the target as shell
// code or as an option. And the mapping of a Wayland compositor's pointer position to the
// program's screen pixels at the scales a session may use. And the rest of a timer that only
// looks at the pointer, against a watch the test moves by hand.

#include "platform/qt/RawMotionWatch.h"
#include "platform/qt/RestGate.h"
#include "platform/qt/Stillness.h"
#include "platform/qt/X11Platform.h"
#include "platform/qt/wayland/PointerSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

void writeScript(const QString& path, const QByteArray& body) {
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(body);
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

// A caption no shell may see unquoted: substitutions, quotes, separators, redirections, globs,
// a newline, a tab and text outside ASCII. Each substitution would create `marker`.
QByteArray hostileTarget(const QString& marker) {
    const QByteArray m = QFile::encodeName(marker);
    return "https://www.example.org/va rdo/?q=$(touch " + m + ")&r=`touch " + m + "`;touch " + m +
           " | touch " + m + " && touch " + m + " > " + m +
           " 'single' \"double\" \\back $HOME ${PATH} * ? [a] ~ #hash\n"
           "second line\tafter tab " +
           QString::fromUtf8("gr\u00fc\u00dfe \u65e5\u672c \U0001F600").toUtf8();
}

// A pointer that moves when the test says so, and a watch on it.
class FakeWatch : public MotionWatch {
public:
    QPoint pointer;
    bool canListen = true;
    bool listening = false;

    bool listen(QPoint cursor) override {
        listening = canListen;
        return canListen && cursor == pointer;
    }
    void stopListening() override { listening = false; }
    void move(QPoint to) {
        pointer = to;
        if (listening)
            reportMove();
    }
};

} // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QByteArray savedPath;
    QString record;

    // The argv the fake xdg-open was started with, once it has written it: one entry per
    // argument, each ended by a NUL, so newlines inside an argument survive.
    QList<QByteArray> recordedArguments() {
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QByteArray all = file.readAll();
        QList<QByteArray> arguments = all.split('\0');
        if (!arguments.isEmpty() && arguments.last().isEmpty())
            arguments.removeLast();
        return arguments;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        savedPath = qgetenv("PATH");
    }

    void init() {
        // A fake xdg-open first on PATH writes its arguments to the record in one rename, so
        // the test never reads half of it.
        record = dir.filePath(QStringLiteral("argv"));
        QFile::remove(record);
        QDir(dir.path()).mkpath(QStringLiteral("fake-bin"));
        const QByteArray recordPath = QFile::encodeName(record);
        writeScript(dir.filePath(QStringLiteral("fake-bin/xdg-open")),
                    "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + recordPath + ".part'\nmv '" +
                        recordPath + ".part' '" + recordPath + "'\n");
        qputenv("PATH",
                QFile::encodeName(dir.filePath(QStringLiteral("fake-bin"))) + ':' + savedPath);
    }

    void cleanup() { qputenv("PATH", savedPath); }

    void targetArrivesAsOneUnchangedArgument_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("mail") << QByteArray("mailto:vardo@example.org");
        QTest::newRow("web") << QByteArray("https://www.example.org/vardo/");
        QTest::newRow("shell metacharacters, quotes, non-ASCII")
            << hostileTarget(dir.filePath(QStringLiteral("marker")));
    }

    void targetArrivesAsOneUnchangedArgument() {
        QFETCH(QByteArray, target);
        const QString marker = dir.filePath(QStringLiteral("marker"));
        X11Platform platform;
        QCOMPARE(platform.ShellExecuteA(nullptr, "open", target.constData(), nullptr, nullptr,
                                        WinApi::SW_SHOW),
                 WinApi::SHELL_EXECUTE_OK);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 10000);
        const QList<QByteArray> arguments = recordedArguments();
        QCOMPARE(arguments.size(), 1);
        QCOMPARE(arguments.first(), target);
        QVERIFY2(!QFileInfo::exists(marker), "a substitution in the target ran");
    }

    // xdg-open takes anything starting with '-' as an option: such a target never reaches it.
    void targetThatLooksLikeAnOptionIsRefused_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("--help") << QByteArray("--help");
        QTest::newRow("--manual") << QByteArray("--manual");
        QTest::newRow("-") << QByteArray("-");
        QTest::newRow("-x https://www.example.org/") << QByteArray("-x https://www.example.org/");
    }

    void targetThatLooksLikeAnOptionIsRefused() {
        QFETCH(QByteArray, target);
        X11Platform platform;
        const std::intptr_t result = platform.ShellExecuteA(nullptr, "open", target.constData(),
                                                            nullptr, nullptr, WinApi::SW_SHOW);
        QVERIFY2(result <= 32, "an error result, as for any target that cannot be opened");
        // A good target after it is the only one the fake xdg-open ever sees.
        QCOMPARE(platform.ShellExecuteA(nullptr, "open", "mailto:after@example.org", nullptr,
                                        nullptr, WinApi::SW_SHOW),
                 WinApi::SHELL_EXECUTE_OK);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 10000);
        QCOMPARE(recordedArguments(), QList<QByteArray>{"mailto:after@example.org"});
    }

    void missingHandlerIsAnErrorResult() {
        X11Platform platform;
        qputenv("PATH", QFile::encodeName(dir.filePath(QStringLiteral("empty-bin"))));
        QVERIFY(platform.ShellExecuteA(nullptr, "open", "mailto:vardo@example.org", nullptr,
                                       nullptr, WinApi::SW_SHOW) <= 32);
        QVERIFY(platform.ShellExecuteA(nullptr, "open", "", nullptr, nullptr, WinApi::SW_SHOW) <=
                32);
        QVERIFY(platform.ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr,
                                       WinApi::SW_SHOW) <= 32);
        QVERIFY(platform.ShellExecuteA(nullptr, "print", "mailto:vardo@example.org", nullptr,
                                       nullptr, WinApi::SW_SHOW) <= 32);
    }

    // The real xdg-open, with no desktop environment, finds the handler through mimeapps.list
    // and starts it: the hostile web address still arrives as one argument, and nothing in it
    // runs on the way.
    void realXdgOpenPassesTheTargetThrough() {
        const QString xdgOpen = QStringLiteral("/usr/bin/xdg-open");
        if (!QFileInfo(xdgOpen).isExecutable())
            QSKIP("xdg-open (xdg-utils) is not installed");
        qputenv("PATH", savedPath);
        const QString home = dir.filePath(QStringLiteral("xdg"));
        QDir(home).mkpath(QStringLiteral("applications"));
        const QByteArray recordPath = QFile::encodeName(record);
        const QString handler = dir.filePath(QStringLiteral("record-link"));
        writeScript(handler, "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + recordPath + ".part'\nmv '" +
                                 recordPath + ".part' '" + recordPath + "'\n");
        QFile entry(home + QStringLiteral("/applications/vardo-test-recorder.desktop"));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write(
            "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + QFile::encodeName(handler) +
            " %u\nNoDisplay=true\nMimeType=x-scheme-handler/https;\n");
        entry.close();
        QFile list(home + QStringLiteral("/mimeapps.list"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("[Default Applications]\nx-scheme-handler/https=vardo-test-recorder.desktop\n");
        list.close();

        const QByteArray keep[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",  "XDG_DATA_HOME",
                                   "XDG_DATA_DIRS",   "BROWSER",          "XDG_CURRENT_DESKTOP",
                                   "DESKTOP_SESSION", "KDE_FULL_SESSION", "DISPLAY"};
        QList<std::pair<QByteArray, std::optional<QByteArray>>> saved;
        for (const QByteArray& name : keep)
            saved.append({name, qEnvironmentVariableIsSet(name.constData())
                                    ? std::optional(qgetenv(name.constData()))
                                    : std::nullopt});
        const QByteArray xdgHome = QFile::encodeName(home);
        for (const char* name :
             {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
            qputenv(name, xdgHome);
        for (const char* name :
             {"BROWSER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"})
            qunsetenv(name);
        // xdg-open looks up scheme handlers only when there is a display; it never opens it.
        qputenv("DISPLAY", ":0");
        const auto restore = qScopeGuard([&saved] {
            for (const auto& [name, value] : saved) {
                if (value)
                    qputenv(name.constData(), *value);
                else
                    qunsetenv(name.constData());
            }
        });

        // xdg-open's generic path cannot carry a newline or a tab in a URL; the rest of the
        // hostile target stays.
        const QString marker = dir.filePath(QStringLiteral("marker"));
        QByteArray target = hostileTarget(marker);
        target.replace('\n', ' ').replace('\t', ' ');
        X11Platform platform;
        QCOMPARE(platform.ShellExecuteA(nullptr, "open", target.constData(), nullptr, nullptr,
                                        WinApi::SW_SHOW),
                 WinApi::SHELL_EXECUTE_OK);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 20000);
        QCOMPARE(recordedArguments(), QList<QByteArray>{target});
        QVERIFY2(!QFileInfo::exists(marker), "a substitution in the target ran");
    }

    // Compositor point and desktop (its logical pixels), the screens as Qt has them (logical
    // geometry, X pixels per logical pixel), and the point in the program's screen pixels.
    void compositorPositionsMapToScreenPixels_data() {
        using Screens = QList<PointerSource::Screen>;
        QTest::addColumn<QPoint>("compositor");
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<Screens>("screens");
        QTest::addColumn<QPoint>("expected");
        const QRect plain(0, 0, 1024, 768);
        QTest::newRow("scale 1") << QPoint(300, 384) << plain << Screens{{plain, 1.0}}
                                 << QPoint(300, 384);
        // XWayland's pixels are the compositor's; Qt draws at twice the size (QT_SCALE_FACTOR).
        QTest::newRow("Qt at 2") << QPoint(300, 384) << plain
                                 << Screens{{QRect(0, 0, 512, 384), 2.0}} << QPoint(150, 192);
        // The compositor at scale 2 lets X11 programs scale themselves: XWayland has twice
        // its pixels, and Qt, told so, draws at 2 again.
        QTest::newRow("X11 programs scale themselves")
            << QPoint(150, 192) << QRect(0, 0, 512, 384) << Screens{{QRect(0, 0, 512, 384), 2.0}}
            << QPoint(150, 192);
        QTest::newRow("X11 programs scale themselves, Qt not")
            << QPoint(150, 192) << QRect(0, 0, 512, 384) << Screens{{plain, 1.0}}
            << QPoint(300, 384);
        // Qt keeps each screen's corner in X pixels and halves only its size.
        QTest::newRow("second screen, Qt at 2")
            << QPoint(1500, 100) << QRect(0, 0, 2048, 768)
            << Screens{{QRect(0, 0, 512, 384), 2.0}, {QRect(1024, 0, 512, 384), 2.0}}
            << QPoint(1262, 50);
    }

    void compositorPositionsMapToScreenPixels() {
        QFETCH(QPoint, compositor);
        QFETCH(QRect, desktop);
        QFETCH(QList<PointerSource::Screen>, screens);
        QFETCH(QPoint, expected);
        QCOMPARE(PointerSource::toScreen(compositor, desktop, screens), expected);
    }

    // The ticks stop once the pointer has lain still for an interval, and come back at the
    // next move; a timer stopped and started again (a drag) ticks again whatever the
    // pointer did; without a watch that can see the next move they never stop.
    void timerRestsWhileThePointerDoes() {
        FakeWatch watch;
        RestGate::useWatch(&watch);
        const auto noWatch = qScopeGuard([] { RestGate::useWatch(nullptr); });
        int ticks = 0;
        QPoint seen;
        RestGate gate([&] {
            ++ticks;
            seen = watch.pointer;
            RestGate::pointerRead(seen);
        });
        gate.setInterval(10);
        QTRY_VERIFY(gate.resting());
        QVERIFY(watch.listening);
        const int atRest = ticks;
        QTest::qWait(100);
        QCOMPARE(ticks, atRest);

        watch.move(QPoint(5, 6));
        QVERIFY(!watch.listening);
        QTRY_COMPARE(seen, QPoint(5, 6));
        QTRY_VERIFY(gate.resting());
        // A drag: the timer stops at the press, the pointer moves with no watch listening,
        // and the release starts the ticks again.
        watch.pointer = QPoint(7, 8);
        gate.setInterval(0);
        QVERIFY(!watch.listening);
        gate.setInterval(10);
        QTRY_COMPARE(seen, QPoint(7, 8));
        QTRY_VERIFY(gate.resting());

        // Device motion that leaves the pointer where it was (pushed into a corner) wakes the
        // gate soon after it rested; it then looks as a plain poll would for a while instead of
        // resting again at once.
        const int woken = ticks;
        watch.move(watch.pointer);
        QVERIFY(!gate.resting());
        QTRY_VERIFY(gate.resting());
        QVERIFY(ticks - woken > Stillness::patientIntervals);

        watch.canListen = false;
        watch.move(QPoint(9, 9));
        gate.setInterval(10);
        const int polling = ticks;
        QTRY_VERIFY(ticks > polling + 5);
        QVERIFY(!gate.resting());
        gate.setInterval(0);
    }

    // Look by look: when the ticks may stop, with the clock in the test's hands.
    void stillnessNeedsAWholeStillInterval() {
        const QPoint a(1, 2), b(3, 4);
        Stillness s;
        QVERIFY(!s.look(a));
        QVERIFY(s.look(a));

        // The look a wake brings never rests, even where the gate rested.
        s.rested(0);
        s.woke(5000);
        QVERIFY(!s.look(a));
        QVERIFY(s.look(a));

        // Rests that end soon after they begin: patience, twice as long each time up to a
        // limit, counted while the pointer is still.
        const auto stillLooksToRest = [&s](QPoint at) {
            int looks = 0;
            while (!s.look(at))
                ++looks;
            return looks;
        };
        s.rested(10000);
        s.woke(10000 + Stillness::shortRestMs - 1);
        QCOMPARE(stillLooksToRest(b), Stillness::patientIntervals);
        int patience = Stillness::patientIntervals;
        for (int rest = 0; rest < 5; ++rest) {
            patience = std::min(2 * patience, Stillness::mostPatientIntervals);
            s.rested(20000);
            s.woke(20005);
            QVERIFY(!s.look(b));
            QVERIFY(!s.look(b));
            QCOMPARE(stillLooksToRest(a), patience);
        }
        QCOMPARE(patience, Stillness::mostPatientIntervals);
        // A long rest again: one still interval is enough.
        s.rested(30000);
        s.woke(30000 + Stillness::shortRestMs);
        QVERIFY(!s.look(b));
        QVERIFY(s.look(b));

        // A tick that did not look, or a timer started afresh (a drag), starts anew.
        s.forget();
        QVERIFY(!s.look(b));
        s.rested(40000);
        s.woke(40001);
        s.reset();
        QVERIFY(!s.look(b));
        QVERIFY(s.look(b));
    }

    // The XInput version the server grants decides which raw events the watch selects; with
    // no XInput 2 there is no watch, and the timers keep looking.
    void rawEventsFollowTheXInputVersion_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<bool>("motion");
        QTest::addColumn<bool>("touch");
        QTest::newRow("no reply") << -1 << 0 << false << false;
        QTest::newRow("1.5") << 1 << 5 << false << false;
        QTest::newRow("2.0") << 2 << 0 << true << false;
        QTest::newRow("2.2") << 2 << 2 << true << true;
        QTest::newRow("3.0") << 3 << 0 << true << true;
    }
    void rawEventsFollowTheXInputVersion() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(bool, motion);
        QFETCH(bool, touch);
        xcb_input_xi_query_version_reply_t reply{};
        reply.major_version = std::uint16_t(major);
        reply.minor_version = std::uint16_t(minor);
        const std::uint32_t mask = RawMotionWatch::rawEventMask(major < 0 ? nullptr : &reply);
        QCOMPARE(bool(mask & XCB_INPUT_XI_EVENT_MASK_RAW_MOTION), motion);
        QCOMPARE(bool(mask & XCB_INPUT_XI_EVENT_MASK_RAW_TOUCH_BEGIN), touch);
        QCOMPARE(bool(mask & XCB_INPUT_XI_EVENT_MASK_RAW_TOUCH_UPDATE), touch);
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "test_platform.moc"
