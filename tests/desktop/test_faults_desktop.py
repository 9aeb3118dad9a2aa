#!/usr/bin/python3
"""Faults around the program: the X server dies, the window manager is missing at start or
restarted, the link hand-off has no xdg-open or a handler that fails or never ends, and the
screen changes size under the face."""

import os
import signal
import time
import unittest

import harness as h
import reliability as r

# How long vardo may take to notice a dead server and leave: it polls every 100 ms, and a
# sanitizer build is slower, so this is an upper bound with room to spare.
EXIT_AFTER_SERVER_DEATH = 2.0


class ServerDeath(unittest.TestCase):
    """The X server dies under the face, whatever it is doing at the time."""

    def setUp(self):
        h.vardo_binary()
        self.desktop = h.Desktop()
        self.addCleanup(self.desktop.close)
        self.vardo = h.Vardo(self.desktop)
        self.addCleanup(self.vardo.stop)

    def kill_server_and_wait(self):
        d, v = self.desktop, self.vardo
        server = d.processes[0]
        server.kill()
        server.wait(timeout=10)
        died = time.monotonic()
        try:
            status = v.process.wait(timeout=15)
        except Exception:
            self.fail("vardo still runs 15 s after the X server died")
        elapsed = time.monotonic() - died
        self.assertLess(elapsed, EXIT_AFTER_SERVER_DEATH, "vardo took too long to leave")
        self.assertEqual(status, 1, v.stderr())
        lines = [line for line in v.stderr().splitlines() if line.strip()]
        self.assertEqual(len(lines), 1, v.stderr())
        self.assertIn("X11", lines[0])
        self.assertEqual([f for f in os.listdir(d.tmp) if f.startswith("core")], [])

    def test_while_tracking(self):
        r.check_aim(self.vardo, [(0, 0), (self.desktop.width - 1, 400)])
        self.kill_server_and_wait()

    def test_while_the_menu_is_open(self):
        self.vardo.open_menu()
        self.kill_server_and_wait()

    def test_while_dragging(self):
        d, v = self.desktop, self.vardo
        x, y = v.to_screen(47, 30)
        d.move(x, y)
        d.press(1)
        for i in range(1, 6):
            d.move(x + 10 * i, y + 5 * i)
        v.wait_origin((x + 50 - 47, y + 25 - 30))
        self.kill_server_and_wait()

    def test_while_the_about_window_is_open(self):
        d, v = self.desktop, self.vardo
        menu, _ = v.open_menu()
        d.key("a")
        h.wait_until(lambda: d.windows_titled("About Vardo"), message="the About window")
        self.kill_server_and_wait()


class WindowManagerComesAndGoes(unittest.TestCase):
    """The face keeps its shape, place and window states without a window manager, when one
    starts later, and when one is killed and another started."""

    def setUp(self):
        h.vardo_binary()
        self.desktop = r.LateWmDesktop()
        self.addCleanup(self.desktop.close)

    def check_face(self, vardo, origin, above):
        d = self.desktop
        wanted = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}
        if above:
            wanted.add("_NET_WM_STATE_ABOVE")

        def states_ok():
            states = d.wm_state(vardo.face)
            return wanted <= states and (above or "_NET_WM_STATE_ABOVE" not in states)

        h.wait_until(states_ok, message=f"the face's states {sorted(wanted)}")
        vardo.wait_origin(origin)
        self.assertEqual(r.shape_faults(d, vardo.face), "")
        vardo.wait_painted()
        r.check_aim(vardo, [(0, 0), (d.width - 1, d.height - 1)])
        self.assertTrue(vardo.alive())

    def managed(self, vardo):
        """Waits until the running window manager lists the face."""
        h.wait_until(lambda: vardo.face in self.desktop.client_list(),
                     message="the window manager to manage the face")

    def test_no_window_manager_at_start_then_openbox(self):
        d = self.desktop
        v = r.UnmanagedVardo(d)
        self.addCleanup(v.stop)
        origin = v.origin()
        self.check_face(v, origin, above=True)
        d.start_wm()
        self.managed(v)
        self.check_face(v, origin, above=True)
        # Still a face that drags.
        v.drag((47, 30), (40, 30))
        v.wait_origin((origin[0] + 40, origin[1] + 30))

    def restart_wm(self, sig, above):
        d = self.desktop
        d.start_wm()
        v = r.UnmanagedVardo(d)
        self.addCleanup(v.stop)
        self.managed(v)
        v.drag((47, 30), (-200, -150))
        if not above:
            v.open_menu()
            d.key("t")
        origin = v.origin()
        self.check_face(v, origin, above)
        d.kill_wm(sig)
        self.check_face(v, origin, above)
        d.start_wm()
        self.managed(v)
        self.check_face(v, origin, above)
        # The menu still drives the new window manager.
        v.open_menu()
        d.key("t")
        self.check_face(v, origin, not above)

    def test_window_manager_killed_and_restarted(self):
        self.restart_wm(signal.SIGKILL, above=True)

    def test_window_manager_ended_and_restarted(self):
        self.restart_wm(signal.SIGTERM, above=True)

    def test_window_manager_restarted_while_not_above(self):
        self.restart_wm(signal.SIGTERM, above=False)


class LinkHandOffFaults(h.DesktopCase):
    """A link click with no xdg-open, or with a handler that fails or never ends, changes
    nothing that shows: the face tracks, the About window stays, and no child is left."""

    start_vardo = False

    def start(self, env):
        self.vardo = h.Vardo(self.desktop, env=env)
        self.addCleanup(self.vardo.stop)
        d, v = self.desktop, self.vardo
        # The face out of the About window's way.
        x, y = v.origin()
        v.drag((47, 30), (100 - x, 100 - y))
        v.wait_origin((100, 100))
        menu, _ = v.open_menu()
        v.choose(menu, "a")
        return h.wait_until(lambda: next((w for w in d.windows_titled("About Vardo")
                                          if d.viewable(w)), None),
                            message="the About window")

    def click_links(self, about, times=3):
        d, v = self.desktop, self.vardo
        for _ in range(times):
            for point in (r.ABOUT_EMAIL, r.ABOUT_HOMEPAGE):
                d.click(*v.to_screen(*point, about))

    def check_unharmed(self, about):
        d, v = self.desktop, self.vardo
        self.assertTrue(v.alive())
        self.assertTrue(d.viewable(about))
        self.assertEqual(d.windows_titled("About Vardo"), [about])
        r.check_aim(v, [(0, 0), (d.width - 1, d.height - 1)])

    def wait_no_children(self):
        pid = self.vardo.process.pid
        h.wait_until(lambda: not r.children(pid), timeout=10,
                     message="vardo to have no child processes")

    def test_no_xdg_open_on_the_path(self):
        empty = os.path.join(self.desktop.tmp, "empty-bin")
        os.makedirs(empty, exist_ok=True)
        about = self.start({"PATH": empty})
        self.click_links(about)
        self.check_unharmed(about)
        self.wait_no_children()

    def test_handler_that_fails(self):
        env, record = r.link_handler_env(self.desktop.tmp, "fail")
        about = self.start(env)
        self.click_links(about)
        self.assertEqual(sorted(r.wait_lines(record, 6)),
                         sorted([r.EMAIL_TARGET, r.HOMEPAGE_TARGET] * 3))
        self.check_unharmed(about)
        self.wait_no_children()

    def test_handler_that_never_ends(self):
        env, record = r.link_handler_env(self.desktop.tmp, "hang")
        self.addCleanup(r.end_hanging_handlers, record)
        about = self.start(env)
        self.click_links(about)
        self.assertEqual(sorted(r.wait_lines(record, 6)),
                         sorted([r.EMAIL_TARGET, r.HOMEPAGE_TARGET] * 3))
        self.check_unharmed(about)
        # The hanging handlers are no children of vardo: xdg-open was started detached.
        self.wait_no_children()


class ScreenResized(unittest.TestCase):
    """RandR changes the screen's size under the face: the pupils still aim right."""

    def setUp(self):
        h.vardo_binary()
        for tool in ("Xephyr", "xrandr"):
            if not any(os.access(os.path.join(p, tool), os.X_OK)
                       for p in os.environ.get("PATH", "/usr/bin").split(os.pathsep)):
                self.skipTest(f"{tool} is not installed")
        self.desktop = r.ResizableDesktop()
        self.addCleanup(self.desktop.close)
        self.vardo = h.Vardo(self.desktop)
        self.addCleanup(self.vardo.stop)

    def test_pupils_aim_after_each_resize(self):
        d, v = self.desktop, self.vardo
        v.drag((47, 30), (100 - v.origin()[0], 100 - v.origin()[1]))
        v.wait_origin((100, 100))
        for width, height in ((1600, 1200), (800, 600), (1280, 1024), (1024, 768)):
            with self.subTest(f"{width}x{height}"):
                d.resize(width, height)
                r.check_aim(v, r.aim_points(d, v))
                self.assertEqual(r.shape_faults(d, v.face), "")
        self.assertTrue(v.alive())


if __name__ == "__main__":
    h.main()
