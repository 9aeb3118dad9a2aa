#!/usr/bin/python3
"""The face on other screens than one plain monitor: two monitors side by side (the primary one
on the left, then on the right), the second of two X screens, and twice the size (Qt's scale
factor 2, or 192 dots per inch for vardo.exe under Wine)."""

import os
import re
import shutil
import unittest

import harness as h
import test_about_desktop as about
import test_window_managers_desktop as window_managers
from Xlib import Xatom

# Qt's own account of the screens it found (logging category qt.qpa.screen).
SCREEN_LOG = {"QT_LOGGING_RULES": "qt.qpa.screen=true"}
SCREEN_LINE = re.compile(r'adding QXcbScreen\(.*?name="([^"]*)", geometry=(\d+)x(\d+)\+(-?\d+)'
                         r'\+(-?\d+),.*\(Primary: (true|false) \)')

MONITORS = [(1024, 768), (800, 600)]


def qt_screens(stderr):
    """(x, y, width, height, primary) of each screen Qt reported."""
    return [(int(m[4]), int(m[5]), int(m[2]), int(m[3]), m[6] == "true")
            for m in SCREEN_LINE.finditer(stderr)]


class TwoMonitors(h.DesktopCase):
    """1024 x 768 on the left and 800 x 600 on the right, tops aligned; the left is primary."""

    primary = 0
    vardo_env = SCREEN_LOG

    @classmethod
    def setUpClass(cls):
        h.vardo_binary()
        cls.desktop = h.Desktop(screens=MONITORS, primary=cls.primary)
        cls.addClassCleanup(cls.desktop.close)

    @unittest.skipIf(h.WINE, "Qt's own account of the screens; Wine 8 takes its monitors from "
                     "RandR's outputs and sees these two as one screen")
    def test_qt_sees_both_monitors_and_the_face_opens_centred_on_the_primary(self):
        d, v = self.desktop, self.vardo
        seen = qt_screens(v.stderr())
        self.assertEqual(sorted(s[:4] for s in seen), sorted(d.monitors), v.stderr())
        self.assertEqual([s[:4] for s in seen if s[4]], [d.monitors[self.primary]])
        mx, my, mw, mh = d.monitors[self.primary]
        self.assertEqual(d.geometry(v.face), (mx + (mw - h.FACE_W) // 2, my + (mh - h.FACE_H) // 2,
                                              h.FACE_W, h.FACE_H))
        v.wait_painted()

    def test_pupils_follow_the_cursor_on_either_monitor(self):
        d, v = self.desktop, self.vardo
        ox, oy = v.origin()
        (x0, _, _, _), (x1, _, w1, _) = d.monitors
        # At eye level: far right on the second monitor, far left on the first, then back.
        for sx, looks in ((x1 + w1 - 1, "right"), (x0, "left"), (x1 + w1 - 1, "right")):
            with self.subTest(cursor=sx):
                d.move(sx, oy + 80)
                client = (sx - ox, 80)
                expected = h.expected_pupils(client)
                v.wait_pupils(expected)
                for (left, _), (home_left, _) in zip(expected, h.PUPIL_HOME):
                    self.assertEqual(looks, "right" if left > home_left else "left")
        # And the cursor below the face, over the second monitor: the pupils look down.
        d.move(x1 + 10, 590)
        client = (x1 + 10 - ox, 590 - oy)
        v.wait_aimed(client)


class TwoMonitorsPrimaryRight(TwoMonitors):
    """The same monitors with the right one primary: the face opens there, not on the first."""

    primary = 1


@unittest.skipUnless(shutil.which("icewm") or h.WINE, "icewm is not installed")
class SecondXScreen(window_managers.WindowManagerChecks, unittest.TestCase):
    """The window manager's check list on the second of two X screens (DISPLAY=:N.1), each
    screen with a window manager of its own: the face's hears its window states and its layer,
    and its pupils are drawn there. Under icewm, which keeps the face in the topmost layer until
    the layer hint itself moves it; openbox on the first screen. vardo.exe under Wine fails the
    menu check under icewm on any screen, so it has openbox on both."""

    wm = "openbox" if h.WINE else "icewm"

    def make_desktop(self):
        desktop = h.Desktop(wm=self.wm, x_screen=1)
        try:
            first = desktop.display_name.rsplit(".", 1)[0] + ".0"
            desktop.spawn(["openbox", "--sm-disable"],
                          env=desktop.env(DISPLAY=first,
                                          XDG_CONFIG_HOME=os.path.join(desktop.tmp, "first")),
                          quiet=True)
            root = desktop.d.screen(0).root
            check = desktop.atom("_NET_SUPPORTING_WM_CHECK")
            h.wait_until(lambda: root.get_full_property(check, Xatom.WINDOW), timeout=15,
                         message="openbox to manage the first screen")
        except BaseException:
            desktop.close()
            raise
        return desktop


SCALE = 2
SCALED_W, SCALED_H = SCALE * h.FACE_W, SCALE * h.FACE_H


class ScaledVardo(h.Vardo):
    """The face at twice its size, seen in device pixels."""

    def face_shot(self):
        x, y = self.origin()
        return self.desktop.shot(x, y, SCALED_W, SCALED_H)

    def wait_painted(self, timeout=5):
        expected = h.face_picture()[2][20][47][:3]
        h.wait_until(lambda: self.face_shot().at(SCALE * 47, SCALE * 20) == expected,
                     timeout=timeout, message="the face to be painted")

    def pupils(self, shot=None):
        shot = shot or self.face_shot()
        return [find_scaled_pupil(shot, eye) for eye in (0, 1)]

    def open_menu(self, x=47, y=40):
        """Right-clicks the face at logical client (x, y)."""
        return super().open_menu(SCALE * x, SCALE * y)


def find_scaled_pupil(shot, eye):
    """Left and top, in device pixels, of pupil `eye` drawn at twice its size, or None."""
    _, _, template = h.picture(f"eye{eye}.gif")
    opaque = [(SCALE * x + dx, SCALE * y + dy, template[y][x][:3])
              for y in range(h.PUPIL_H) for x in range(h.PUPIL_W) if template[y][x][3] == 255
              for dy in range(SCALE) for dx in range(SCALE)]
    rest_x, rest_y = h.EYES[eye][0]
    hits = []
    for top in range(SCALE * (rest_y - 9), SCALE * (rest_y + 4)):
        for left in range(SCALE * (rest_x - 8), SCALE * (rest_x + 5)):
            if all(shot.at(left + x, top + y) == colour for x, y, colour in opaque):
                hits.append((left, top))
    return hits[0] if len(hits) == 1 else None


def inside_rows(points, width, height):
    """Pixels whose centres lie inside the closed polygon, by even-odd scan lines."""
    inside = set()
    edges = list(zip(points, points[1:] + points[:1]))
    for y in range(height):
        cy = y + 0.5
        crossings = sorted(x1 + (cy - y1) * (x2 - x1) / (y2 - y1)
                           for (x1, y1), (x2, y2) in edges if (y1 > cy) != (y2 > cy))
        for start, end in zip(crossings[::2], crossings[1::2]):
            inside.update((x, y) for x in range(width) if start <= x + 0.5 < end)
    return inside


class ScaleFactorTwo(h.DesktopCase):
    """QT_SCALE_FACTOR=2, or a Wine prefix at 192 dots per inch: the face twice as large, crisp,
    shaped and tracking as at scale 1, and the About window twice as large."""

    start_vardo = False

    @classmethod
    def setUpClass(cls):
        h.vardo_binary()
        cls.desktop = h.Desktop(wine_dpi=SCALE * 96)
        cls.addClassCleanup(cls.desktop.close)

    def setUp(self):
        super().setUp()
        self.vardo = ScaledVardo(self.desktop, env={"QT_SCALE_FACTOR": str(SCALE)})
        self.addCleanup(self.vardo.stop)

    def test_window_is_twice_the_size_and_centred(self):
        d, v = self.desktop, self.vardo
        self.assertEqual(d.geometry(v.face), ((d.width - SCALED_W) // 2,
                                              (d.height - SCALED_H) // 2, SCALED_W, SCALED_H))

    def test_picture_is_drawn_with_square_pixels(self):
        """Every picture pixel inside the head is a 2 x 2 block of its own colour on the
        screen: enlarged, not smoothed."""
        v = self.vardo
        v.wait_painted()
        shot = v.face_shot()
        _, _, face = h.face_picture()
        inside, _ = h.outline_classes()
        pupil_boxes = [(px - 1, py - 1, px + h.PUPIL_W + 1, py + h.PUPIL_H + 1)
                       for px, py in h.PUPIL_HOME]
        wrong = []
        for x, y in sorted(inside):
            if any(x0 <= x < x1 and y0 <= y < y1 for x0, y0, x1, y1 in pupil_boxes):
                continue
            block = {shot.at(SCALE * x + dx, SCALE * y + dy)
                     for dy in range(SCALE) for dx in range(SCALE)}
            if block != {face[y][x][:3]}:
                wrong.append(((x, y), face[y][x][:3], sorted(block)))
        if wrong:
            self.save_failure_screen("scaled-face-failure.png")
        self.assertEqual(wrong[:5], [], f"{len(wrong)} picture pixels not drawn as 2 x 2 blocks")

    def test_shape_is_the_outline_at_twice_the_size(self):
        d, v = self.desktop, self.vardo
        reply = d.window(v.face).shape_get_rectangles(h.shape.SK.Bounding)
        shaped = {(x, y) for r in reply.rectangles
                  for y in range(r.y, r.y + r.height) for x in range(r.x, r.x + r.width)}
        outline = [(SCALE * x, SCALE * y) for x, y in h.OUTLINE_CLIENT]
        expected = inside_rows(outline, SCALED_W, SCALED_H)
        edges = list(zip(outline, outline[1:] + outline[:1]))

        def near_edge(p):
            return min(h._segment_distance(p[0] + 0.5, p[1] + 0.5, a, b) for a, b in edges) <= 2

        self.assertTrue(all(0 <= x < SCALED_W and 0 <= y < SCALED_H for x, y in shaped),
                        "shape reaches outside the window")
        missing = [p for p in sorted(expected - shaped) if not near_edge(p)]
        extra = [p for p in sorted(shaped - expected) if not near_edge(p)]
        self.assertEqual(missing[:10], [], "pixels inside the outline are cut away")
        self.assertEqual(extra[:10], [], "pixels outside the outline are part of the window")
        # What the screen shows around the head is the desktop.
        v.wait_painted()
        shot = v.face_shot()
        self.assertEqual(shot.at(1, 1), h.DESKTOP_RGB)
        self.assertEqual(shot.at(SCALED_W - 2, SCALED_H - 2), h.DESKTOP_RGB)

    def test_pupils_follow_the_cursor(self):
        d, v = self.desktop, self.vardo
        ox, oy = v.origin()
        # Even device pixels are whole logical pixels: at eye level, far right, far left; then on
        # the face near the eyes, where a cursor measured in device pixels would aim elsewhere.
        for sx, sy in ((d.width - 2, oy + SCALE * 80), (0, oy + SCALE * 80),
                       (ox + SCALE * 40, oy + SCALE * 60), (ox + SCALE * 20, oy + SCALE * 90)):
            with self.subTest(cursor=(sx, sy)):
                d.move(sx, sy)
                client = ((sx - ox) // SCALE, (sy - oy) // SCALE)
                v.wait_pupils([tuple(SCALE * c for c in h.expected_pupil(eye, client))
                               for eye in (0, 1)])

    @unittest.skipUnless(h.WINE, "Qt places a window on whole logical pixels: at this scale a "
                         "drag lands within one device pixel of the pointer")
    def test_drag_keeps_the_grabbed_point_under_the_pointer(self):
        v = self.vardo
        x0, y0 = v.origin()
        # Moves by an odd number of device pixels are half logical pixels.
        v.drag((SCALE * 47, SCALE * 30), (101, 61))
        v.wait_origin((x0 + 101, y0 + 61))
        v.drag((SCALE * 47 + 1, SCALE * 125 + 1), (-250, -199), steps=25)
        v.wait_origin((x0 - 149, y0 - 138))

    def test_about_window_is_twice_the_size(self):
        d, v = self.desktop, self.vardo
        x, y = v.origin()
        v.drag((SCALE * 47, SCALE * 30), (20 - x, 20 - y))
        v.wait_origin((20, 20))
        window = v.open_about(active=True)
        self.assertEqual(d.geometry(window)[2:],
                         (SCALE * about.ABOUT_W, SCALE * about.ABOUT_H))
        shot = about.about_shot(d, window, SCALE)
        shot.save_png(os.path.join(h.artifact_dir(), "about-scaled.png"))
        about.check_layout(self, shot, SCALE)
        # On Windows the link cursor grows with the scale, as the system's own cursors do; X11
        # cursors do not follow Qt's scale factor.
        cursor = tuple(SCALE * c for c in about.LINK_CURSOR) if h.WINE else about.LINK_CURSOR
        bx, by, bw, bh = about.EMAIL_BOX
        d.move(*v.to_screen(SCALE * (bx + bw // 2), SCALE * (by + bh // 2), window))
        h.wait_until(lambda: d.cursor_image()[:4] == cursor, message="the link cursor")


if __name__ == "__main__":
    h.main()
