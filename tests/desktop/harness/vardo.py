"""The program's driver: vardo started on a desktop, found by its face window and worked the way
a user would (drag, menu, About), and the test case that gives each test a fresh one."""

import os
import subprocess
import time
import unittest

from Xlib import X

from .geometry import FACE_H, FACE_W, expected_pupils
from .pictures import face_picture, find_pupil
from .processes import sanitizer_report, stop, wait_equal, wait_until
from .wine import wine_command
from .x11 import Desktop


def vardo_binary():
    path = os.environ.get("VARDO_BINARY", "")
    if not path or not os.access(path, os.X_OK):
        raise unittest.SkipTest("VARDO_BINARY does not name the vardo executable")
    return path


class Vardo:
    """The program under test on a Desktop, and its face window. `binary` names another copy
    of it than VARDO_BINARY (one that an installer put in place, say)."""

    def __init__(self, desktop, env=None, binary=None):
        self.desktop = desktop
        self.stderr_path = os.path.join(desktop.tmp, f"vardo-{time.monotonic_ns()}.err")
        run_env = desktop.env()
        # The desktop's own session bus if it has one (a Wayland desktop's compositor is on
        # it); else none: nothing may start one on the program's behalf and leave it behind.
        run_env["DBUS_SESSION_BUS_ADDRESS"] = (getattr(desktop, "session_bus", None) or
                                               "unix:path=" + os.path.join(desktop.tmp, "no-bus"))
        # A private runtime directory, as a desktop session has (else Qt warns about it).
        runtime = os.path.join(desktop.tmp, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        run_env["XDG_RUNTIME_DIR"] = runtime
        for name, value in (env or {}).items():
            if value is None:
                run_env.pop(name, None)
            else:
                run_env[name] = value
        command, run_env = wine_command([binary or vardo_binary()], run_env,
                                        desktop.wine_prefix)
        with open(self.stderr_path, "w") as err:
            self.process = desktop.spawn(command, env=run_env,
                                         stdout=subprocess.DEVNULL, stderr=err, cwd=desktop.tmp)
        self.face = wait_until(self._find_face, timeout=15, message="the face window to map")
        wait_until(lambda: {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR"}
                   <= desktop.wm_state(self.face), timeout=10,
                   message="the face's window states")
        # The first paint has landed once the picture shows inside the outline.
        self.wait_painted()

    def _find_face(self):
        if self.process.poll() is not None:
            raise AssertionError(f"vardo exited with {self.process.returncode}: {self.stderr()}")
        for wid in self.desktop.windows_titled("Vardo"):
            if self.desktop.viewable(wid) and self.desktop.pid_of(wid) in (None,
                                                                            self.process.pid):
                return wid
        return None

    def drag(self, start, delta, steps=10, button=1):
        """Presses at client point `start`, moves the pointer by `delta` in steps, releases."""
        d = self.desktop
        x0, y0 = self.to_screen(*start)
        d.move(x0, y0)
        d.press(button)
        for i in range(1, steps + 1):
            d.move(x0 + delta[0] * i // steps, y0 + delta[1] * i // steps)
            time.sleep(0.01)
        d.release(button)
        return (x0 + delta[0], y0 + delta[1])

    def wait_origin(self, expected, timeout=5):
        wait_equal(self.origin, tuple(expected), "face", timeout)

    def wait_still(self, quiet=0.3, timeout=5):
        """Waits until the face's window has stayed in one place for `quiet` seconds."""
        seen = {"place": self.origin(), "since": time.monotonic()}

        def still():
            place = self.origin()
            if place != seen["place"]:
                seen.update(place=place, since=time.monotonic())
            return time.monotonic() - seen["since"] >= quiet

        wait_until(still, timeout=timeout, interval=0.01, message="the face to stay in one place")

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def alive(self):
        return self.process.poll() is None

    def origin(self):
        """Screen position of the face's client corner."""
        x, y, _, _ = self.desktop.geometry(self.face)
        return (x, y)

    def to_screen(self, x, y, wid=None):
        gx, gy, _, _ = self.desktop.geometry(wid or self.face)
        return (gx + x, gy + y)

    def face_shot(self):
        return self.desktop.window_shot(self.face, FACE_W, FACE_H)

    def wait_painted(self, timeout=5):
        # The hair at client (47, 20) is dark brown in the picture and on no background.
        expected = face_picture()[2][20][47][:3]
        wait_until(lambda: self.face_shot().at(47, 20) == expected, timeout=timeout,
                   message="the face to be painted")

    def pupils(self, shot=None):
        """Left and top of each pupil found on the screen, in client pixels (None if unseen)."""
        shot = shot or self.face_shot()
        return [find_pupil(shot, eye) for eye in (0, 1)]

    def wait_pupils(self, expected, timeout=4):
        wait_equal(self.pupils, list(expected), "pupils", timeout, interval=0.05)

    def wait_aimed(self, client, timeout=4):
        """Waits until both pupils aim at `client` (client pixels of the face)."""
        self.wait_pupils(expected_pupils(client), timeout)

    def wait_follows_across(self, origin):
        """With the face's client corner at `origin` (screen pixels), puts the pointer on the
        screen's left edge and then its right edge at eye level, and waits each time until the
        pupils aim at it."""
        d = self.desktop
        ox, oy = origin
        for sx in (0, d.width - 1):
            d.move(sx, oy + 80)
            self.wait_aimed((sx - ox, 80))

    def menu(self, before, timeout=3):
        """Waits for a pop-up window that was not in `before` and returns (id, geometry)."""
        def appeared():
            now = self.desktop.override_redirect_windows()
            new = {k: v for k, v in now.items() if k not in before and v[2] > 20 and v[3] > 20}
            return next(iter(new.items()), None)

        return wait_until(appeared, timeout=timeout, message="the pop-up menu")

    def open_menu(self, x=47, y=40):
        """Right-clicks the face at client (x, y) and returns the menu's (id, geometry)."""
        before = self.desktop.override_redirect_windows()
        self.desktop.click(*self.to_screen(x, y), button=3)
        return self.menu(before)

    def wait_menu_closed(self, menu_id, timeout=3):
        wait_until(lambda: menu_id not in self.desktop.override_redirect_windows(),
                   timeout=timeout, message="the menu to close")

    def choose(self, menu_id, key, tries=3):
        """Types a key at the open menu (an entry's access key, or Escape) until the menu
        closes. A key typed between the menu's map and its keyboard grab goes to the window
        that had the focus (seen under xfwm4 in the sanitizer build), and then the menu is
        still open a second later; a key the menu took closes it at once."""
        for attempt in range(tries):
            self.desktop.key(key)
            try:
                return self.wait_menu_closed(menu_id, timeout=1.5)
            except AssertionError:
                if attempt == tries - 1:
                    raise

    def open_about(self, active=False):
        """Chooses About from the menu (its key, A) and returns the About window once it is
        viewable, and active too if asked."""
        d = self.desktop
        menu, _ = self.open_menu()
        self.choose(menu, "a")
        about = wait_until(lambda: next((w for w in d.windows_titled("About Vardo")
                                         if d.viewable(w)), None),
                           message="the About window")
        if active:
            wait_until(lambda: d.active_window() == about, message="the About window active")
        return about

    def wait_exit(self, timeout=5):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("vardo did not exit")

    def stop(self):
        stop(self.process)
        if self.process in self.desktop.processes:
            self.desktop.processes.remove(self.process)
        # Its windows go with its connection.
        try:
            wait_until(lambda: not self.desktop.windows_titled("Vardo") and
                       not self.desktop.windows_titled("About Vardo"), timeout=5,
                       message="vardo's windows to go")
        except Exception:  # also a server that is gone
            pass
        # In the sanitizer build a report ends the process; whichever test it ran under fails.
        report = sanitizer_report(self.stderr())
        if report:
            raise AssertionError(f"vardo's sanitizer report: {report}\n{self.stderr()}")


class DesktopCase(unittest.TestCase):
    """One X server and window manager for the class; a fresh vardo for each test."""

    desktop = None
    start_vardo = True
    vardo_env = None

    @classmethod
    def setUpClass(cls):
        vardo_binary()
        cls.desktop = Desktop()
        cls.addClassCleanup(cls.desktop.close)

    def setUp(self):
        # Tests start with the pointer in the top-left corner.
        self.desktop.move(0, 0)
        self.vardo = None
        if self.start_vardo:
            self.vardo = Vardo(self.desktop, env=self.vardo_env)
            self.addCleanup(self.vardo.stop)
        self.addCleanup(self._release_everything)

    def _release_everything(self):
        d = self.desktop
        try:
            state = d.root.query_pointer().mask
            for button, bit in ((1, X.Button1Mask), (2, X.Button2Mask), (3, X.Button3Mask)):
                if state & bit:
                    d.release(button)
        except Exception:
            pass

    def save_failure_screen(self, name):
        try:
            return self.desktop.save_screen(name)
        except Exception:
            return None


def main():
    unittest.main(verbosity=2)

