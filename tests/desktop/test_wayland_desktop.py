#!/usr/bin/python3
"""The face on Wayland desktops, under headless KWin and GNOME Shell: the pupils follow the
pointer that the compositor moves, also over a native Wayland window and the bare desktop,
where XWayland does not see it; KWin's script goes with the program however it ends; the
GNOME Shell extension takes over once enabled. (Other Wayland desktops: test_face_desktop.py.)

The checks every desktop shares (shape, frame, window states, stacking, drag, menu, About)
are in test_window_managers_desktop.py. VARDO_TEST_WM=kwin or gnome-shell runs one
compositor's class alone.
"""

import os
import signal
import unittest

import harness as h

COMPOSITOR = os.environ.get("VARDO_TEST_WM")


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
        cls.native = cls.desktop.native_window(800, 560)
        cls.beside_face = (300, 384)
        cls.bare_desktop = (cls.desktop.width - 10, cls.desktop.height - 10)
        h.wait_until(lambda: cls.point_at(*cls.beside_face), timeout=15,
                     message="the native window beside the face")

    def setUp(self):
        self.desktop.move(0, 0)
        # Scripts of earlier tests' programs are gone before the next starts.
        h.wait_until(lambda: not self.scripts(), timeout=3, message="no script in KWin")

    def start_vardo(self):
        vardo = h.Vardo(self.desktop)
        self.addCleanup(vardo.stop)
        return vardo

    @classmethod
    def point_at(cls, x, y):
        """Moves the pointer to (x, y); True if the native window saw it get there."""
        # Entering a window is not logged, moving over it is: come from one pixel aside.
        cls.desktop.move(x - 1, y)
        cls.desktop.move(x, y)
        return bool(cls.native.new_events("motion"))

    def scripts(self):
        """The scripts KWin has loaded (it puts each on the bus as /ID); none elsewhere."""
        if self.compositor != "kwin":
            return []
        xml = self.desktop.dbus_call("org.kde.KWin", "/", "org.freedesktop.DBus.Introspectable",
                                     "Introspect")
        nodes = [line.split('"')[1] for line in xml.splitlines()
                 if line.strip().startswith("<node name=")]
        return [node for node in nodes if node.isdigit()]

    def assert_aim(self, vardo, point):
        ox, oy = vardo.origin()
        client = (point[0] - ox, point[1] - oy)
        vardo.wait_pupils([h.expected_pupil(0, client), h.expected_pupil(1, client)])

    def test_pupils_follow_the_pointer_everywhere(self):
        d, v = self.desktop, self.start_vardo()
        ox, oy = v.origin()
        places = [("native window", self.beside_face, True),
                  ("bare desktop", self.bare_desktop, False),
                  ("face", (ox + 47, oy + 60), False)]
        for name, point, native in places:
            with self.subTest(name):
                self.assertEqual(self.point_at(*point), native,
                                 f"the native window {'missed' if native else 'saw'} it")
                if name != "face":
                    self.assertNotEqual(d.pointer(), point, "XWayland saw the pointer there")
                self.assert_aim(v, point)
        self.assertEqual(v.stderr(), "")

    def test_clicks_beside_the_head_do_not_reach_a_native_window(self):
        # What XWayland 22 does under both compositors: the face's surface takes all input in
        # its rectangle, the cut-away parts too, and XWayland finds no X11 window beneath.
        # (An X11 window beneath does get them: test_window_managers_desktop.py.)
        d, v = self.desktop, self.start_vardo()
        self.assertTrue(self.point_at(*self.beside_face))
        corner = v.to_screen(2, 2)
        self.assertFalse(self.point_at(*corner), "the native window got the pointer")
        d.press(1)
        d.release(1)
        self.assertEqual(self.native.new_events("button"), [])
        self.assertTrue(v.alive())


class KWin(WaylandChecks, unittest.TestCase):
    compositor = "kwin"

    def test_script_goes_with_the_program_however_it_ends(self):
        d = self.desktop
        for how in ("Exit", "SIGTERM", "SIGKILL"):
            with self.subTest(how):
                v = h.Vardo(d)
                self.assertEqual(len(self.scripts()), 1)
                if how == "Exit":
                    menu, _ = v.open_menu()
                    d.key("e")
                    self.assertEqual(v.wait_exit(), 0)
                else:
                    v.process.send_signal(getattr(signal, how))
                    v.wait_exit()
                h.wait_until(lambda: not self.scripts(), timeout=3,
                             message=f"KWin to drop the script after {how}")
                v.stop()

    def test_two_programs_each_get_the_pointer(self):
        d = self.desktop
        first, second = self.start_vardo(), self.start_vardo()
        self.assertEqual(len(self.scripts()), 2)
        for point in (self.beside_face, self.bare_desktop):
            self.point_at(*point)
            self.assert_aim(first, point)
            self.assert_aim(second, point)
        # One killed, the other keeps its script and its pointer.
        first.process.kill()
        first.wait_exit()
        h.wait_until(lambda: len(self.scripts()) == 1, timeout=3,
                     message="KWin to drop the killed program's script")
        self.point_at(*self.beside_face)
        self.assert_aim(second, self.beside_face)

    def test_positions_from_others_than_kwin_are_refused(self):
        d, v = self.desktop, self.start_vardo()
        self.point_at(*self.bare_desktop)
        self.assert_aim(v, self.bare_desktop)
        with self.assertRaisesRegex(Exception, "AccessDenied"):
            d.dbus_call(d.bus_name_of(v.process.pid), "/org/example/Vardo/Pointer",
                        "org.example.Vardo.PointerListener", "Moved", 0, 0, 0, 0,
                        d.width, d.height, signature="iiiiii")
        self.assert_aim(v, self.bare_desktop)


class GnomeShell(WaylandChecks, unittest.TestCase):
    compositor = "gnome-shell"

    def extension(self, method):
        self.desktop.dbus_call("org.gnome.Shell", "/org/gnome/Shell",
                               "org.gnome.Shell.Extensions", method, h.EXTENSION_UUID,
                               signature="s")

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


if COMPOSITOR:
    for _name in [n for n, c in dict(globals()).items()
                  if getattr(c, "compositor", COMPOSITOR) != COMPOSITOR]:
        del globals()[_name]


if __name__ == "__main__":
    h.main()
