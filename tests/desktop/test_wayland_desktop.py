#!/usr/bin/python3
"""The face on Wayland desktops, under headless KWin and GNOME Shell: the pupils follow the
pointer that the compositor moves, also over a native Wayland window and the bare desktop,
where XWayland does not see it; KWin's script goes with the program however it ends (a killed
program's at the next move of the pointer); the GNOME Shell extension pushes the pointer and
takes over once enabled, tells a caller in a sandbox nothing, and one of the older version
without pushes is asked each tick.
(Other Wayland desktops: test_face_desktop.py.)

The checks every desktop shares (shape, frame, window states, stacking, drag, menu, About)
are in test_window_managers_desktop.py. VARDO_TEST_WM=kwin or gnome-shell runs one
compositor's class alone.
"""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import harness as h

COMPOSITOR = os.environ.get("VARDO_TEST_WM")


class NativeWindow:
    """weston-eventdemo: a native Wayland window that logs the pointer's motion and buttons
    over it, in its own pixels."""

    def __init__(self, desktop, width, height):
        if not shutil.which("weston-eventdemo"):
            raise AssertionError("weston-eventdemo is missing (make deps installs weston)")
        self.log = os.path.join(desktop.tmp, f"eventdemo-{time.monotonic_ns()}.log")
        env = {k: v for k, v in desktop.env().items() if k not in ("DISPLAY", "XAUTHORITY")}
        with open(self.log, "w") as out:
            # Line-buffered, so each event is in the log as it happens.
            self.process = desktop.spawn(
                ["stdbuf", "-oL", "weston-eventdemo", "--title=Native", f"--width={width}",
                 f"--height={height}", "--log-motion", "--log-button"],
                env=env, stdout=out, stderr=subprocess.STDOUT)
        self.origin = None  # of its surface on the screen, once a motion has shown it

    def events(self, kind):
        """(x, y) in the window's pixels of each `kind` ("motion" or "button") logged, once the
        log has stopped growing."""
        def settled():
            with open(self.log, errors="replace") as f:
                lines = [line for line in f if line.startswith(kind + " ")]
            same = lines == previous[0]
            previous[0] = lines
            return same

        previous = [None]
        h.wait_until(settled, interval=0.15, message="the native window's log to settle")
        fields = [dict(part.strip().split(": ") for part in line.split(",")[1:])
                  for line in previous[0]]
        return [(round(float(f["x"])), round(float(f["y"]))) for f in fields]

    def locate(self, point):
        """Takes the window's origin from the last motion, logged at screen `point`."""
        motions = self.events("motion")
        if motions:
            self.origin = (point[0] - motions[-1][0], point[1] - motions[-1][1])
        return self.origin

    def saw(self, kind, point, since):
        """Whether a `kind` event at screen `point` is logged after the first `since` ones."""
        local = (point[0] - self.origin[0], point[1] - self.origin[1])
        return local in self.events(kind)[since:]


def bus_name_of(desktop, pid):
    """The unique bus name of process pid's connection."""
    bus = ("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus")
    for name in desktop.dbus_call(*bus, "ListNames"):
        if name.startswith(":") and desktop.dbus_call(
                *bus, "GetConnectionUnixProcessID", name, signature="s") == pid:
            return str(name)
    raise AssertionError(f"process {pid} is not on the session bus")


class BusCalls:
    """dbus-monitor on the desktop's session bus, recording the calls of one method, or of
    every method (or, of kind signal, one signal)."""

    def __init__(self, desktop, member=None, kind="method_call"):
        self.member, self.kind = member, kind
        rule = f"type='{kind}'" + (f",member='{member}'" if member else "")
        self.log = os.path.join(desktop.tmp, f"monitor-{time.monotonic_ns()}.log")
        with open(self.log, "w") as out:
            self.process = desktop.spawn(
                ["stdbuf", "-oL", "dbus-monitor", "--address", desktop.session_bus,
                 rule], stdout=out,
                stderr=subprocess.STDOUT)
        # It has become a monitor once it has logged its own name being taken.
        h.wait_until(lambda: os.path.getsize(self.log) > 0, message="dbus-monitor to start")

    def _field(self, name):
        with open(self.log, errors="replace") as f:
            return [line.split(f"{name}=")[1].split()[0] for line in f
                    if line.startswith(self.kind.replace("_", " ")) and
                    (self.member is None or f"member={self.member}" in line)]

    def senders(self):
        """The unique name of each caller, a call each."""
        return self._field("sender")

    def destinations(self):
        return self._field("destination")

    def calls_from(self, sender):
        """The calls one caller made of others than the bus itself, as monitor lines."""
        with open(self.log, errors="replace") as f:
            return [line.strip() for line in f if line.startswith("method call") and
                    f"sender={sender} " in line and "destination=org.freedesktop.DBus " not in line]

    def stop(self):
        h.stop(self.process)


class WaylandChecks:
    """The checks on one compositor; the classes below set `compositor`."""

    compositor = None

    @classmethod
    def setUpClass(cls):
        h.vardo_binary()
        cls.desktop = h.make_desktop(cls.compositor)
        cls.addClassCleanup(cls.desktop.close)
        # Started on the empty desktop, and large enough that either compositor's placement
        # puts it under the face and beside it, and leaves the lower right corner bare.
        cls.native = NativeWindow(cls.desktop, 800, 560)
        cls.beside_face = (300, 384)
        cls.bare_desktop = (cls.desktop.width - 10, cls.desktop.height - 10)

        def located():
            cls.point_at(*cls.beside_face)
            return cls.native.locate(cls.beside_face)

        h.wait_until(located, timeout=15, message="the native window beside the face")

    def setUp(self):
        self.desktop.move(0, 0)
        # Scripts of earlier tests' programs are gone before the next starts.
        self.wait_scripts(0, "no script in KWin")

    def start_vardo(self):
        vardo = h.Vardo(self.desktop)
        self.addCleanup(vardo.stop)
        self.desktop.wait_xwayland_pointer(vardo.to_screen(47, 60))
        return vardo

    @classmethod
    def point_at(cls, x, y):
        """Moves the pointer to (x, y); True if the native window saw it get there."""
        # Entering a window is not logged, moving over it is: come from one pixel aside.
        since = len(cls.native.events("motion"))
        cls.desktop.move(x - 1, y)
        cls.desktop.move(x, y)
        return cls.native.origin is not None and cls.native.saw("motion", (x, y), since)

    def scripts(self):
        """The scripts KWin has loaded (5.27 puts each on the bus as /ID, 6 as
        /Scripting/ScriptID); none elsewhere."""
        if self.compositor != "kwin":
            return []
        found = []
        for path, prefix in (("/", ""), ("/Scripting", "Script")):
            xml = self.desktop.dbus_call("org.kde.KWin", path,
                                         "org.freedesktop.DBus.Introspectable", "Introspect")
            nodes = [line.split('"')[1] for line in xml.splitlines()
                     if line.strip().startswith("<node name=")]
            found += [f"{path}/{node}" for node in nodes
                      if node.startswith(prefix) and node[len(prefix):].isdigit()]
        return found

    def wait_scripts(self, count, message):
        """Waits for KWin to hold `count` scripts. A script whose program was killed goes at
        the next move of the pointer, so the pointer keeps moving meanwhile."""
        nudge = [0]

        def held():
            nudge[0] ^= 1
            self.desktop.move(nudge[0], 0)
            return len(self.scripts()) == count

        h.wait_until(held, timeout=3, interval=0.2, message=message, load_aware=False)

    def assert_aim(self, vardo, point):
        ox, oy = vardo.origin()
        client = (point[0] - ox, point[1] - oy)
        vardo.wait_pupils([h.expected_pupil(0, client), h.expected_pupil(1, client)])

    def test_pupils_follow_the_pointer_everywhere(self):
        d, v = self.desktop, self.start_vardo()
        ox, oy = v.origin()
        for name, point, native in (("native window", self.beside_face, True),
                                    ("bare desktop", self.bare_desktop, False)):
            with self.subTest(name):
                self.assertEqual(self.point_at(*point), native,
                                 f"the native window {'missed' if native else 'saw'} it")
                self.assertNotEqual(d.pointer(), point, "XWayland saw the pointer there")
                self.assert_aim(v, point)
        with self.subTest("face"):
            point = (ox + 47, oy + 60)
            d.wait_xwayland_pointer(point)
            self.assert_aim(v, point)
        self.assertEqual(v.stderr(), "")

    def test_clicks_beside_the_head_as_each_xwayland_passes_them(self):
        # XWayland 22 gives the face's surface the pointer in all its rectangle, the cut-away
        # parts too, and has no window beneath them: the click goes nowhere. XWayland 24 hands
        # the face's shape on to the compositor as its input region, and GNOME Shell (48, 51)
        # and KWin 6.7 send the click to the native window below, as to an X11 window; KWin
        # 6.3 still gives the face the pointer there (6.4 to 6.6 untested, taken as 6.3).
        d, v = self.desktop, self.start_vardo()
        xwayland = d.d.display.info.release_number // 100000 % 100  # vendor release 1MMmmppp
        passes = xwayland >= 24 and (self.compositor != "kwin" or self.kwin_version() >= (6, 7))
        corner = v.to_screen(2, 2)
        if passes:
            self.assertTrue(self.point_at(*corner), "the native window missed the pointer")
        else:
            d.wait_xwayland_pointer(corner)
        since = len(self.native.events("button"))
        d.press(1)
        d.release(1)
        self.assertEqual(self.native.saw("button", corner, since), passes,
                         f"under XWayland {xwayland} the native window "
                         f"{'missed' if passes else 'got'} the click")
        self.assertTrue(v.alive())

    def kwin_version(self):
        """(major, minor) of the KWin that runs, from its support information."""
        info = self.desktop.dbus_call("org.kde.KWin", "/KWin", "org.kde.KWin",
                                      "supportInformation")
        line = next(line for line in info.splitlines() if line.startswith("KWin version:"))
        return tuple(int(n) for n in line.split(":")[1].split(".")[:2])


class KWin(WaylandChecks, unittest.TestCase):
    compositor = "kwin"

    def test_script_goes_with_the_program_however_it_ends(self):
        d = self.desktop
        for how in ("Exit", "SIGTERM", "SIGKILL"):
            with self.subTest(how):
                v = self.start_vardo()
                self.assertEqual(len(self.scripts()), 1)
                if how == "Exit":
                    v.open_menu()
                    d.key("e")
                    self.assertEqual(v.wait_exit(), 0)
                else:
                    v.process.send_signal(getattr(signal, how))
                    v.wait_exit()
                self.wait_scripts(0, f"KWin to drop the script after {how}")

    def test_two_programs_each_get_the_pointer(self):
        first, second = self.start_vardo(), self.start_vardo()
        self.assertEqual(len(self.scripts()), 2)
        for point in (self.beside_face, self.bare_desktop):
            self.point_at(*point)
            self.assert_aim(first, point)
            self.assert_aim(second, point)
        # One killed, the other keeps its script and its pointer.
        first.process.kill()
        first.wait_exit()
        self.wait_scripts(1, "KWin to drop the killed program's script")
        self.point_at(*self.beside_face)
        self.assert_aim(second, self.beside_face)

    def test_positions_from_others_than_kwin_are_refused(self):
        d, v = self.desktop, self.start_vardo()
        self.point_at(*self.bare_desktop)
        self.assert_aim(v, self.bare_desktop)
        with self.assertRaisesRegex(Exception, "AccessDenied"):
            d.dbus_call(bus_name_of(d, v.process.pid), "/org/example/Vardo/Pointer",
                        "org.example.Vardo.PointerListener", "Moved", 0, 0, 0, 0,
                        d.width, d.height, signature="iiiiii")
        self.assert_aim(v, self.bare_desktop)


class ScaledKWin(h.WaylandDesktop):
    """KWin at scale 2, letting X11 programs scale themselves: XWayland has twice the pixels
    of KWin's logical ones."""

    def _kwin(self, env):
        os.makedirs(env["XDG_CONFIG_HOME"])
        with open(os.path.join(env["XDG_CONFIG_HOME"], "kwinrc"), "w") as f:
            f.write("[Xwayland]\nScale=2\n")
        # KWin 6 picks an output's scale from its stored configuration, or else from its
        # pixels per inch (and --scale is ignored): store one for the virtual output.
        with open(os.path.join(env["XDG_CONFIG_HOME"], "kwinoutputconfig.json"), "w") as f:
            json.dump([{"name": "outputs", "data": [{"connectorName": "Virtual-0", "scale": 2}]},
                       {"name": "setups", "data": [{"lidClosed": False, "outputs": [
                           {"enabled": True, "outputIndex": 0, "position": {"x": 0, "y": 0},
                            "priority": 0}]}]}], f)
        return super()._kwin(env) + ["--scale", "2"]


class KWinAtScale2(unittest.TestCase):
    compositor = "kwin"

    def test_pupils_follow_the_pointer_in_xwayland_pixels(self):
        h.vardo_binary()
        d = ScaledKWin("kwin")
        self.addCleanup(d.close)
        self.assertEqual((d.width, d.height), (2 * h.SCREEN_W, 2 * h.SCREEN_H))
        # Qt left at scale 1, so that the face has the pixels the checks know.
        v = h.Vardo(d, env={"QT_ENABLE_HIGHDPI_SCALING": "0"})
        self.addCleanup(v.stop)
        ox, oy = v.origin()
        for point in ((h.SCREEN_W - 10, 10), (h.SCREEN_W - 10, h.SCREEN_H - 10)):
            d.move(*point)
            client = (2 * point[0] - ox, 2 * point[1] - oy)
            v.wait_pupils([h.expected_pupil(0, client), h.expected_pupil(1, client)])


class GnomeShell(WaylandChecks, unittest.TestCase):
    compositor = "gnome-shell"

    def extension(self, method):
        self.desktop.dbus_call("org.gnome.Shell", "/org/gnome/Shell",
                               "org.gnome.Shell.Extensions", method, h.EXTENSION_UUID,
                               signature="s")

    def test_extension_made_for_this_shell(self):
        # With version checks on, as users have them, the shell refuses an extension whose
        # metadata does not list its major version: the next release is caught here.
        d = self.desktop
        version = str(d.dbus_call("org.gnome.Shell", "/org/gnome/Shell",
                                  "org.freedesktop.DBus.Properties", "Get", "org.gnome.Shell",
                                  "ShellVersion", signature="ss"))
        major = version.split(".")[0]
        self.assertIsNotNone(d.extension_data, "VARDO_EXTENSION_DATA is not set")
        with open(os.path.join(d.extension_data, "gnome-shell", "extensions",
                               h.EXTENSION_UUID, "metadata.json")) as f:
            listed = json.load(f)["shell-version"]
        self.assertIn(major, listed, f"GNOME Shell {version} is missing from the extension's "
                                     f"metadata.json (resources/gnome-shell/)")
        info = d.dbus_call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                           "GetExtensionInfo", h.EXTENSION_UUID, signature="s")
        self.assertEqual(int(info["state"]), 1, f"the shell's record of it: {dict(info)}")

    def test_extension_enabled_while_the_program_runs(self):
        self.extension("DisableExtension")
        self.addCleanup(self.extension, "EnableExtension")
        v = self.start_vardo()
        lines = v.stderr().splitlines()
        self.assertEqual(len(lines), 1, v.stderr())
        self.assertIn(f'enable it with "gnome-extensions enable {h.EXTENSION_UUID}"', lines[0])
        self.extension("EnableExtension")
        self.point_at(*self.beside_face)
        self.assert_aim(v, self.beside_face)
        self.assertEqual(len(v.stderr().splitlines()), 1, v.stderr())

    def test_pointer_is_pushed_not_asked_for(self):
        # Once started, the program hears of each move from the extension and never asks it
        # where the pointer is.
        d, v = self.desktop, self.start_vardo()
        calls = BusCalls(d, "GetPosition")
        self.addCleanup(calls.stop)
        for point in (self.beside_face, self.bare_desktop, self.beside_face):
            self.point_at(*point)
            self.assert_aim(v, point)
        self.assertNotIn(bus_name_of(d, v.process.pid), calls.senders())
        self.assertEqual(v.stderr(), "")
        # The shell disables its extensions at every screen lock: the program then asks it
        # nothing and says nothing, and follows again once it is enabled.
        disabled = BusCalls(d)
        self.addCleanup(disabled.stop)
        self.extension("DisableExtension")
        self.addCleanup(self.extension, "EnableExtension")
        self.point_at(*self.bare_desktop)
        time.sleep(1)
        self.assertEqual(disabled.calls_from(bus_name_of(d, v.process.pid)), [])
        self.extension("EnableExtension")
        self.point_at(*self.beside_face)
        self.assert_aim(v, self.beside_face)
        self.assertEqual(v.stderr(), "")

    def test_sandboxed_callers_are_told_nothing(self):
        # A process whose root holds /.flatpak-info, as a Flatpak app's (and its bus proxy's)
        # does, is refused the position and the pushes; a connection it opened and used before
        # it entered that root was answered, and the program keeps following the pointer.
        d, v = self.desktop, self.start_vardo()
        root = tempfile.mkdtemp(dir=d.tmp)
        with open(os.path.join(root, ".flatpak-info"), "w") as f:
            f.write("[Application]\nname=org.example.Sandboxed\n")
        pushes = BusCalls(d, "Moved", kind="signal")
        self.addCleanup(pushes.stop)
        caller = d.spawn(["/usr/bin/python3", "-c", SANDBOXED_CALLER, root], env=d.env(),
                         stdout=subprocess.PIPE, text=True)
        self.addCleanup(h.stop, caller)
        said = [caller.stdout.readline().strip() for _ in range(4)]
        self.assertRegex(said[0], r"^\[\d+, \d+, \d+, \d+\]$", "before the sandbox")
        refused = "org.freedesktop.DBus.Error.AccessDenied"
        self.assertEqual(said[1:3], [refused, refused], "GetPosition and Watch in the sandbox")
        for point in (self.beside_face, self.bare_desktop):
            self.point_at(*point)
            self.assert_aim(v, point)
        self.assertIn(bus_name_of(d, v.process.pid), pushes.destinations())
        self.assertNotIn(said[3], pushes.destinations())
        self.assertEqual(v.stderr(), "")


# Asks the extension for the position on one connection, then enters the root folder given
# (chroot) and asks on another, opened before; prints the answers or errors and that second
# connection's name, then waits to be ended.
SANDBOXED_CALLER = """
import os, signal, sys, dbus
address = os.environ["DBUS_SESSION_BUS_ADDRESS"]
before, inside = dbus.bus.BusConnection(address), dbus.bus.BusConnection(address)
def ask(bus, method):
    try:
        return str([int(n) for n in bus.call_blocking(
            "org.gnome.Shell", "/org/example/Vardo/Pointer", "org.example.Vardo.Pointer",
            method, "", (), timeout=5) or ()])
    except dbus.DBusException as e:
        return e.get_dbus_name()
print(ask(before, "GetPosition"), flush=True)
os.chroot(sys.argv[1])
os.chdir("/")
for method in ("GetPosition", "Watch"):
    print(ask(inside, method), flush=True)
print(inside.get_unique_name(), flush=True)
signal.pause()
"""


class OlderGnomeShellExtension(unittest.TestCase):
    """The extension of the version before pushes, which only answers GetPosition: the
    program asks it each tick."""

    compositor = "gnome-shell"

    def test_pupils_follow_by_asking(self):
        h.vardo_binary()
        installed = os.environ.get("VARDO_EXTENSION_DATA")
        if not installed:
            self.skipTest("VARDO_EXTENSION_DATA does not name the installed extension")
        older = tempfile.mkdtemp(prefix="vardo-older-extension-")
        self.addCleanup(shutil.rmtree, older, ignore_errors=True)
        folder = os.path.join("gnome-shell", "extensions", h.EXTENSION_UUID)
        shutil.copytree(os.path.join(installed, folder), os.path.join(older, folder))
        script = os.path.join(older, folder, "extension.js")
        with open(script) as f:
            text = f.read()
        self.assertIn('<method name="Watch"/>', text)
        with open(script, "w") as f:
            f.write(text.replace('<method name="Watch"/>', ""))
        d = h.WaylandDesktop("gnome-shell", extension_data=older)
        self.addCleanup(d.close)
        v = h.Vardo(d)
        self.addCleanup(v.stop)
        calls = BusCalls(d, "GetPosition")
        self.addCleanup(calls.stop)
        point = (d.width - 10, d.height - 10)
        d.move(*point)
        ox, oy = v.origin()
        v.wait_aimed((point[0] - ox, point[1] - oy))
        self.assertIn(bus_name_of(d, v.process.pid), calls.senders())
        self.assertEqual(v.stderr(), "")


if COMPOSITOR:
    for _name in [n for n, c in dict(globals()).items()
                  if getattr(c, "compositor", COMPOSITOR) != COMPOSITOR]:
        del globals()[_name]


if __name__ == "__main__":
    h.main()
