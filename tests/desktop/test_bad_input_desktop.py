#!/usr/bin/python3
"""Input nobody should send, sent anyway: click storms of every button on every part of the
program, keys typed at the face, and a window manager's close (Alt+F4) on the face and on the
About window. The program must neither crash nor wedge: afterwards it still tracks, drags and
keeps its shape. (A flood of motion during a drag is in test_tracking_desktop.py.)"""

import random

import harness as h
import reliability as r

BUTTONS = (1, 2, 3, 4, 5)


class BadInput(h.DesktopCase):

    @classmethod
    def setUpClass(cls):
        h.vardo_binary()
        cls.desktop = r.KeyboardWmDesktop()
        cls.addClassCleanup(cls.desktop.close)
        # Links the storms click go to a recording handler, never to a real browser.
        cls.vardo_env, cls.record = r.link_handler_env(cls.desktop.tmp)

    def setUp(self):
        super().setUp()
        self.random = random.Random(1234)

    def storm(self, points, clicks=60):
        """Clicks random buttons at random points of the list in quick succession.

        Exit is the one entry that may not be chosen: a point over the lower half of an open
        menu is skipped. After a right click the storm waits for the menu it may open, so
        that it knows where the menu is.
        """
        d = self.desktop
        for _ in range(clicks):
            x, y = self.random.choice(points)
            if any(mx <= x < mx + mw and y >= my + mh // 2
                   for mx, my, mw, mh in self.open_menus()):
                continue
            button = self.random.choice(BUTTONS)
            before = d.override_redirect_windows()
            d.move(x, y)
            d.press(button)
            d.release(button)
            if button == 3:
                try:
                    self.vardo.menu(before, timeout=1)
                except AssertionError:
                    pass  # a right click on an open menu or on the About window opens none

    def open_menus(self):
        return [g for g in self.desktop.override_redirect_windows().values()
                if g[2] > 20 and g[3] > 20]

    def settle(self):
        """Closes whatever the storm opened: menus with Escape, the About window with its
        close request, and checks the face is still whole and working."""
        d, v = self.desktop, self.vardo
        for _ in range(3):
            if not self.open_menus():
                break
            d.key("Escape")
            d.events(0.2)
        for about in d.windows_titled("About Vardo"):
            d.close_window(about)
        h.wait_until(lambda: not d.windows_titled("About Vardo"), message="About to close")
        self.assertTrue(v.alive(), v.stderr())
        self.check_whole()

    def check_whole(self):
        d, v = self.desktop, self.vardo
        self.assertEqual(r.shape_faults(d, v.face), "")
        r.check_aim(v, r.aim_points(d, v))
        # It still drags: the grabbed point stays under the pointer.
        x, y = v.origin()
        target = (300, 250)
        v.drag((47, 30), (target[0] - x, target[1] - y))
        v.wait_origin(target)

    def face_points(self):
        inside, _ = h.outline_classes()
        ox, oy = self.vardo.origin()
        return [(ox + x, oy + y) for x, y in self.random.sample(sorted(inside), 40)]

    def pupil_points(self):
        ox, oy = self.vardo.origin()
        return [(ox + x + dx, oy + y + dy) for x, y in h.PUPIL_HOME
                for dx in range(h.PUPIL_W) for dy in range(h.PUPIL_H)]

    def test_click_storm_on_the_face(self):
        self.storm(self.face_points())
        self.settle()

    def test_click_storm_on_the_pupils(self):
        self.storm(self.pupil_points())
        self.settle()

    def test_click_storm_on_the_open_menu(self):
        v = self.vardo
        for _ in range(4):
            menu, (mx, my, mw, mh) = v.open_menu()
            # Within the menu, but clear of Exit (the last entry): the storm may choose the
            # other entries, open the About window or flip Always On Top, and close the menu.
            points = [(mx + self.random.randrange(2, mw - 2),
                       my + self.random.randrange(2, max(3, mh // 2)))
                      for _ in range(20)]
            self.storm(points, clicks=15)
            self.settle()

    def test_click_storm_on_the_about_window(self):
        d, v = self.desktop, self.vardo
        v.drag((47, 30), (100 - v.origin()[0], 100 - v.origin()[1]))
        v.wait_origin((100, 100))
        for _ in range(3):
            about = v.open_about()
            ax, ay, aw, ah = d.geometry(about)
            # The whole client area but the OK button, which would close it mid-storm.
            points = [(ax + x, ay + y) for x in range(4, aw - 4, 9) for y in range(4, 75, 7)]
            self.storm(points, clicks=50)
            self.assertEqual(d.windows_titled("About Vardo"), [about])
            self.settle()
        # Every link click reached the handler, and each one as the link itself.
        self.assertLessEqual(set(r.read_lines(self.record)),
                             {r.EMAIL_TARGET, r.HOMEPAGE_TARGET})
        h.wait_until(lambda: not r.children(v.process.pid), timeout=10,
                     message="vardo to have no child processes")

    def test_keys_typed_at_the_face(self):
        d, v = self.desktop, self.vardo
        d.make_active(v.face, message="the face active")
        # Neither the access keys (t, a, e) nor anything else does a thing while no menu is
        # open.
        for _ in range(80):
            d.key(self.random.choice("abcdefghijklmnopqrstuvwxyz0123456789"))
        for name in ("Return", "Escape", "space", "Tab", "BackSpace", "Delete", "F1", "F10",
                     "Menu", "Up", "Down"):
            d.key(name)
        d.events(0.3)
        self.assertTrue(v.alive())
        self.assertEqual(d.windows_titled("About Vardo"), [])
        self.assertIn("_NET_WM_STATE_ABOVE", d.wm_state(v.face))
        self.check_whole()

    def alt_f4(self, wid):
        d = self.desktop
        d.make_active(wid)
        alt, f4 = d.keycode("Alt_L"), d.keycode("F4")
        h.xtest.fake_input(d.d, h.X.KeyPress, alt)
        h.xtest.fake_input(d.d, h.X.KeyPress, f4)
        h.xtest.fake_input(d.d, h.X.KeyRelease, f4)
        h.xtest.fake_input(d.d, h.X.KeyRelease, alt)
        d.d.sync()

    def test_alt_f4_on_the_face_ends_the_program(self):
        # The face has no close box; a close from the window manager is the Exit command.
        self.alt_f4(self.vardo.face)
        self.assertEqual(self.vardo.wait_exit(timeout=10), 0, self.vardo.stderr())

    def test_alt_f4_on_the_about_window_closes_only_it(self):
        d, v = self.desktop, self.vardo
        menu, _ = v.open_menu()
        v.choose(menu, "a")
        about = h.wait_until(lambda: next(iter(d.windows_titled("About Vardo")), None),
                             message="the About window")
        self.alt_f4(about)
        h.wait_until(lambda: not d.windows_titled("About Vardo"), message="About to close")
        self.assertTrue(v.alive())
        self.check_whole()


if __name__ == "__main__":
    h.main()
