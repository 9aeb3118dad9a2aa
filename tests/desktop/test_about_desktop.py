#!/usr/bin/python3
"""The About window: where it opens, its layering, the ways to close it, its links and their
cursor, and Exit while it is open. Under Wine also: a link pressed when the mouse capture is
lost, and the Windows run-time's hand-off of a target that is not UTF-8."""

import os
import select
import subprocess
import time
import unittest

import harness as h
import reliability as r
from harness.wine import wine_command

ABOUT_W, ABOUT_H = 245, 110
EMAIL_BOX = (69, 33, 107, 18)
HOMEPAGE_BOX = (3, 49, 238, 18)
TITLE_BOX = (27, 3, 187, 18)
CREDIT_BOX = (41, 18, 163, 18)
OK_BOX = (92, 78, 65, 23)
# The link cursor's size and hot spot.
LINK_CURSOR = (32, 32, 5, 1)


def about_shot(desktop, about, scale=1):
    """The About window's client area, once painted: OK's caption is dark on its face."""
    x, y, w, hh = desktop.geometry(about)

    def painted(shot):
        return any(sum(shot.at(px, py)) < 200 for py in range(scale * 84, scale * 96)
                   for px in range(scale * 115, scale * 135))

    return desktop.settled_shot(x, y, w, hh, ready=painted)


def check_layout(test, shot, scale=1):
    """The About window's captions in a shot of its client area, at `scale` times their size:
    top to bottom, each inside its box and unclipped, and OK below them with its caption."""
    background = shot.at(1, 1)
    # Each caption's visible part: boxes made later cover earlier ones where they overlap.
    visible = [("title", TITLE_BOX, CREDIT_BOX[1]), ("credit", CREDIT_BOX, EMAIL_BOX[1]),
               ("e-mail", EMAIL_BOX, HOMEPAGE_BOX[1]),
               ("home page", HOMEPAGE_BOX, HOMEPAGE_BOX[1] + HOMEPAGE_BOX[3])]
    tops = []
    for name, box, bottom in visible:
        (bx, by, bw, bh), bottom = [scale * c for c in box], scale * bottom
        ink = [(px, py) for py in range(by, bottom) for px in range(bx, bx + bw)
               if shot.at(px, py) != background]
        test.assertTrue(ink, f"{name}: nothing drawn")
        xs, ys = [p[0] for p in ink], [p[1] for p in ink]
        with test.subTest(name):
            test.assertGreater(min(xs), bx, f"{name} touches its box's left edge")
            test.assertLess(max(xs), bx + bw - 1, f"{name} touches its box's right edge")
            test.assertGreater(min(ys), by, f"{name} touches its box's top edge")
            # Taller than the 11-pixel font's capitals: nothing cut off at the top, and a font
            # that grew with the scale.
            test.assertGreaterEqual(max(ys) - min(ys) + 1, scale * 8, name)
        tops.append(min(ys))
    test.assertEqual(tops, sorted(tops))
    # The OK button below them all, its caption inside it.
    ox, oy, ow, oh = [scale * c for c in OK_BOX]
    ok_ink = [(px, py) for py in range(oy + 4, oy + oh - 4) for px in range(ox + 4, ox + ow - 4)
              if sum(shot.at(px, py)) < 200]
    test.assertTrue(ok_ink, "OK has no caption")
    test.assertGreater(min(p[1] for p in ok_ink), tops[-1])


def icon_difference(width, height, rows):
    """How far an icon of width x height pixels is from the program's 32 x 32 icon scaled to
    that size: the mean difference (0 to 255) of its opaque pixels from the mean of the opaque
    icon pixels each one covers."""
    _, _, own = h.picture("vardo.ico")

    def span(i, n):
        # The icon pixels that pixel i of n covers: at least one when enlarging.
        first = i * 32 // n
        return range(first, max(first + 1, -(-(i + 1) * 32 // n)))

    differences = []
    for y in range(height):
        for x in range(width):
            covered = [own[sy][sx] for sy in span(y, height) for sx in span(x, width)
                       if own[sy][sx][3]]
            if rows[y][x][3] >= 128 and covered:
                differences.append(sum(abs(rows[y][x][c] - sum(p[c] for p in covered) /
                                           len(covered)) for c in range(3)) / 3)
    assert len(differences) > width * height // 2, "the icon is mostly transparent"
    return sum(differences) / len(differences)


class AboutCase(h.DesktopCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # No desktop environment: xdg-open takes its generic path, through mimeapps.list, to a
        # handler that records what it gets. If it ever fell back to $BROWSER, the record would
        # say so.
        cls.vardo_env, cls.record = r.link_handler_env(cls.desktop.tmp)

    def setUp(self):
        if os.path.exists(self.record):
            os.remove(self.record)
        super().setUp()

    def park_face(self):
        """Drags the face to the upper left, clear of the About window in the middle."""
        x, y = self.vardo.origin()
        self.vardo.drag((47, 30), (150 - x, 100 - y))
        self.vardo.wait_origin((150, 100))

    def open_about(self):
        return self.vardo.open_about(active=True)

    def wait_about_gone(self):
        h.wait_until(lambda: not self.desktop.windows_titled("About Vardo"),
                     message="the About window to close")

    def check_tracking(self):
        self.vardo.wait_follows_across(self.vardo.origin())

    def box_centre(self, about, box):
        x, y, w, hh = box
        return self.vardo.to_screen(x + w // 2, y + hh // 2, about)


class AboutWindow(AboutCase):

    def test_opens_centred_above_with_its_size_and_title(self):
        d = self.desktop
        about = self.open_about()
        x, y, w, hh = d.geometry(about)
        self.assertEqual((w, hh), (ABOUT_W, ABOUT_H))
        left, right, top, bottom = d.frame_extents(about) or (0, 0, 0, 0)
        self.assertLessEqual(abs(2 * x + w - d.width), 2 * (left + right) + 2)
        self.assertLessEqual(abs(2 * y + hh - d.height), 2 * (top + bottom) + 2)
        self.assertIn("_NET_WM_STATE_ABOVE", d.wm_state(about))
        about_shot(self.desktop, about).save_png(os.path.join(h.artifact_dir(), "about-window.png"))

    def test_window_icons_are_the_program_icon_at_each_size(self):
        # The icon has one 32 x 32 image; each size the windows give the window manager is
        # that picture scaled. (Wine 8 scaled it to 16 x 16 through the default palette.)
        about = self.open_about()
        for name, wid in (("About", about), ("face", self.vardo.face)):
            icons = self.desktop.icons(wid)
            self.assertTrue(icons, f"{name}: no icon")
            for w, hh, rows in icons:
                with self.subTest(f"{name} {w}x{hh}"):
                    self.assertLess(icon_difference(w, hh, rows), 16, "not the program's icon")

    def test_text_is_laid_out_top_to_bottom_unclipped(self):
        about = self.open_about()
        shot = about_shot(self.desktop, about)
        shot.save_png(os.path.join(h.artifact_dir(), "about-layout.png"))
        check_layout(self, shot)

    def test_not_above_when_the_face_is_not_always_on_top(self):
        d, v = self.desktop, self.vardo
        menu, _ = v.open_menu()
        v.choose(menu, "t")
        h.wait_until(lambda: "_NET_WM_STATE_ABOVE" not in d.wm_state(v.face),
                     message="the face to leave the topmost band")
        about = self.open_about()
        self.assertNotIn("_NET_WM_STATE_ABOVE", d.wm_state(about))

    def test_each_way_of_closing_keeps_the_face_running(self):
        d, v = self.desktop, self.vardo
        self.park_face()
        ways = {
            "Enter": lambda about: d.key("Return"),
            "keypad Enter": lambda about: d.key("KP_Enter"),
            "Esc": lambda about: d.key("Escape"),
            "OK button": lambda about: d.click(*self.box_centre(about, OK_BOX)),
            "window manager's close": lambda about: d.close_window(about),
        }
        for name, close in ways.items():
            with self.subTest(name):
                about = self.open_about()
                close(about)
                self.wait_about_gone()
                self.assertTrue(v.alive(), v.stderr())
                self.check_tracking()

    def test_second_about_while_open_makes_no_second_window(self):
        d, v = self.desktop, self.vardo
        self.park_face()
        first = self.open_about()
        d.make_active(v.face, message="the face active")
        second = self.open_about()
        self.assertEqual(second, first)
        self.assertEqual(d.windows_titled("About Vardo"), [first])

    def test_exit_with_about_open_leaves_no_window(self):
        d, v = self.desktop, self.vardo
        self.park_face()
        self.open_about()
        menu, _ = v.open_menu()
        d.key("e")
        self.assertEqual(v.wait_exit(), 0, v.stderr())
        h.wait_until(lambda: not d.windows_titled("Vardo") and
                     not d.windows_titled("About Vardo"), message="every window to go")


class AboutLinks(AboutCase):

    def read_record(self, lines, timeout=10):
        def enough():
            if not os.path.exists(self.record):
                return None
            with open(self.record) as f:
                got = f.read().splitlines()
            return got if len(got) >= lines else None

        return h.wait_until(enough, timeout=timeout, interval=0.1,
                            message="the link handler to run")

    def test_email_link_reaches_the_mail_handler(self):
        about = self.open_about()
        self.desktop.click(*self.box_centre(about, EMAIL_BOX))
        self.assertEqual(self.read_record(1), ["mailto:vardo@example.org"])
        self.assertTrue(self.vardo.alive())

    def test_home_page_link_reaches_the_web_handler(self):
        about = self.open_about()
        self.desktop.click(*self.box_centre(about, HOMEPAGE_BOX))
        self.assertEqual(self.read_record(1), ["https://www.example.org/vardo/"])
        self.assertTrue(self.vardo.alive())

    def beside_vardo(self, name):
        """A test program that the Windows build puts beside vardo.exe."""
        path = os.path.join(os.path.dirname(h.vardo_binary()), name)
        self.assertTrue(os.path.isfile(path), f"{path} is missing: make windows builds it")
        return path

    @unittest.skipUnless(h.WINE, "a Windows program takes the mouse capture")
    def test_link_pressed_when_the_capture_is_lost_opens_once(self):
        """The capture is lost while a link is held (as to the lock screen) and comes back:
        the press ends there with the link's release, and the real release opens nothing."""
        d = self.desktop
        about = self.open_about()
        d.move(*self.box_centre(about, EMAIL_BOX))
        d.press(1)
        command, env = wine_command([self.beside_vardo("take_capture.exe"), "--give-back"],
                                    d.env(), d.wine_prefix)
        taker = d.spawn(command, env=env, stdout=subprocess.PIPE, text=True)
        self.addCleanup(h.stop, taker)
        self.assertTrue(select.select([taker.stdout], [], [], 30)[0], "take_capture said nothing")
        # The second line follows the first at once.
        said = [taker.stdout.readline().strip() for _ in range(2)]
        self.assertEqual(said, ["taken", "given back"])
        self.assertEqual(self.read_record(1), ["mailto:vardo@example.org"])
        d.release(1)
        # A second opening would come before this link's, or soon after.
        d.click(*self.box_centre(about, HOMEPAGE_BOX))
        self.read_record(2)
        time.sleep(2)
        self.assertEqual(sorted(self.read_record(1)),
                         ["https://www.example.org/vardo/", "mailto:vardo@example.org"])

    @unittest.skipUnless(h.WINE, "the Windows run-time's hand-off")
    def test_target_that_is_not_utf8_is_refused(self):
        """The hand-off refuses a target with a byte that is not UTF-8 (ShellExecute's result
        32 or less) rather than open it with the byte replaced; the same target without it is
        opened."""
        d = self.desktop
        env = d.env()
        for name, value in self.vardo_env.items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        results = []
        for target in (b"mailto:vardo\xff@example.org", b"mailto:vardo@example.org"):
            command, run_env = wine_command(
                [self.beside_vardo("win32_calls.exe"), "hand-off", target.hex()], env,
                d.wine_prefix)
            done = subprocess.run(command, env=run_env, capture_output=True, text=True,
                                  timeout=60, cwd=d.tmp)
            self.assertEqual(done.returncode, 0, done.stderr)
            results.append(int(done.stdout))
        self.assertLessEqual(results[0], 32, "the target that is not UTF-8 was handed on")
        self.assertGreater(results[1], 32)
        self.assertEqual(self.read_record(1), ["mailto:vardo@example.org"])
        time.sleep(1)
        self.assertEqual(self.read_record(1), ["mailto:vardo@example.org"])

    def test_links_show_the_link_cursor_and_labels_do_not(self):
        d = self.desktop
        about = self.open_about()
        places = {"e-mail": (EMAIL_BOX, True), "home page": (HOMEPAGE_BOX, True),
                  "title": (TITLE_BOX, False), "credit": ((41, 18, 163, 12), False),
                  "OK button": (OK_BOX, False)}
        for name, (box, link) in places.items():
            with self.subTest(name):
                d.move(*self.box_centre(about, box))
                if link:
                    h.wait_until(lambda: d.cursor_image()[:4] == LINK_CURSOR,
                                 message=f"the link cursor over the {name}")
                else:
                    h.wait_until(lambda: d.cursor_image()[:4] != LINK_CURSOR,
                                 message=f"another cursor than the link's over the {name}")
                    d.events(0.2)
                    self.assertNotEqual(d.cursor_image()[:4], LINK_CURSOR)


if __name__ == "__main__":
    h.main()
