#!/usr/bin/python3
"""The pupils after a window covered them and went: the pop-up menu and the About window open
over the face while the pointer goes round, so that the pupils move beneath them. When they
close, each eye must show its pupil where the pointer puts it and nothing of one left behind.
The same without MIT-SHM, where Qt keeps its copy of the window on the server."""

import time
import unittest

import harness as h

# Where a pupil can stand, with a pixel to spare around it: (left, top, right, bottom) in
# client pixels, bottom and right excluded.
EYE_BOXES = [(22, 74, 34, 86), (57, 74, 69, 86)]
# Pointer places far from the face in different directions, each moving both pupils.
PLACES = ("left", "top", "bottom", "right")


class Covered(h.DesktopCase):

    def pointer_at(self, place):
        d = self.desktop
        ox, oy = self.vardo.origin()
        return {"left": (0, oy + 80), "top": (ox + 45, 0), "bottom": (ox + 45, d.height - 1),
                "right": (d.width - 1, oy + 80)}[place]

    def expected_eyes(self, pointer):
        """Each eye box as the face picture with the pupils drawn where pointer puts them."""
        ox, oy = self.vardo.origin()
        client = (pointer[0] - ox, pointer[1] - oy)
        _, _, face = h.face_picture()
        boxes = []
        for eye, (x0, y0, x1, y1) in enumerate(EYE_BOXES):
            left, top = h.expected_pupil(eye, client)
            _, _, pupil = h.picture(f"eye{eye}.gif")
            rows = []
            for y in range(y0, y1):
                row = []
                for x in range(x0, x1):
                    px, py = x - left, y - top
                    inside = 0 <= px < h.PUPIL_W and 0 <= py < h.PUPIL_H
                    if inside and pupil[py][px][3] == 255:
                        row.append(pupil[py][px][:3])
                    else:
                        row.append(face[y][x][:3])
                rows.append(row)
            boxes.append(rows)
        return boxes

    def eyes_on_screen(self):
        shot = self.vardo.face_shot()
        return [[shot.pixels[y][x0:x1] for y in range(y0, y1)] for x0, y0, x1, y1 in EYE_BOXES]

    def assert_eyes(self, pointer, name):
        expected = self.expected_eyes(pointer)
        try:
            h.wait_until(lambda: self.eyes_on_screen() == expected, timeout=4,
                         message="both eyes drawn as the pointer puts the pupils")
        except AssertionError:
            self.save_failure_screen(name + "-failure.png")
            wrong = [(eye, x0 + x, y0 + y)
                     for eye, ((x0, y0, _, _), seen, want) in enumerate(
                         zip(EYE_BOXES, self.eyes_on_screen(), expected))
                     for y, (seen_row, want_row) in enumerate(zip(seen, want))
                     for x, (a, b) in enumerate(zip(seen_row, want_row)) if a != b]
            raise AssertionError(f"{len(wrong)} eye pixels wrong (eye, x, y): {wrong[:8]}")

    def go_round(self):
        """Moves the pointer to each place in turn, a few tracking periods at each; returns
        where it ends."""
        for place in PLACES:
            pointer = self.pointer_at(place)
            self.desktop.move(*pointer)
            time.sleep(0.35)
        return pointer

    def covers_both_eyes(self, x, y, w, hh):
        ox, oy = self.vardo.origin()
        return all(x <= ox + x0 and ox + x1 <= x + w and y <= oy + y0 and oy + y1 <= y + hh
                   for x0, y0, x1, y1 in EYE_BOXES)

    def test_menu_over_the_pupils(self):
        d, v = self.desktop, self.vardo
        start = self.pointer_at("right")
        d.move(*start)
        self.assert_eyes(start, "menu-before")
        # Opened left of the eyes and above them, the menu hangs over both.
        menu, geometry = v.open_menu(18, 60)
        self.assertTrue(self.covers_both_eyes(*geometry), geometry)
        pointer = self.go_round()
        v.choose(menu, "Escape")
        self.assert_eyes(pointer, "menu")
        # And they go on following.
        d.move(*start)
        self.assert_eyes(start, "menu-after")

    def test_about_window_over_the_pupils(self):
        d, v = self.desktop, self.vardo
        start = self.pointer_at("right")
        d.move(*start)
        self.assert_eyes(start, "about-before")
        about = v.open_about()
        # Both open centred on the screen: the About window hides the face's eyes.
        h.wait_until(lambda: self.covers_both_eyes(*d.frame_geometry(about)),
                     message="the About window over the eyes")
        pointer = self.go_round()
        d.close_window(about)
        h.wait_until(lambda: not d.windows_titled("About Vardo"),
                     message="the About window to close")
        self.assert_eyes(pointer, "about")
        d.move(*start)
        self.assert_eyes(start, "about-after")


@unittest.skipIf(h.WINE, "a setting of Qt's X11 layer; Wine draws through its own")
class CoveredWithoutSharedMemory(Covered):
    vardo_env = {"QT_XCB_NO_MITSHM": "1"}


if __name__ == "__main__":
    h.main()
