#!/usr/bin/python3
"""Remakes the screenshots in docs/: the face, its menu, and the About window.

    VARDO_BINARY=build/vardo /usr/bin/python3 tests/desktop/screenshots.py [output-dir]

Runs the program on a private Xvfb with openbox, like the desktop tests, and writes
face.png, menu.png and about.png (default: docs/ of the source tree).
"""

import os
import sys

import harness as h


def crop_around(desktop, box, margin):
    x, y, w, hh = box
    return desktop.settled_shot(x - margin, y - margin, w + 2 * margin, hh + 2 * margin)


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                          os.path.join(h.SOURCE_ROOT, "docs"))
    os.makedirs(out, exist_ok=True)
    h.vardo_binary()
    desktop = h.Desktop()
    try:
        desktop.move(0, 0)
        vardo = h.Vardo(desktop)
        fx, fy = vardo.origin()
        face_box = (fx, fy, h.FACE_W, h.FACE_H)

        # The face looking down and to the right, at a pointer beside its chin.
        pointer = (fx + h.FACE_W + 40, fy + h.FACE_H + 20)
        desktop.move(*pointer)
        client = (pointer[0] - fx, pointer[1] - fy)
        vardo.wait_aimed(client)
        path = crop_around(desktop, face_box, 24).save_png(os.path.join(out, "face.png"))
        print("wrote", path)

        # The menu, opened on the forehead.
        menu, (mx, my, mw, mh) = vardo.open_menu(47, 40)
        left, top = min(fx, mx), min(fy, my)
        right, bottom = max(fx + h.FACE_W, mx + mw), max(fy + h.FACE_H, my + mh)
        path = crop_around(desktop, (left, top, right - left, bottom - top), 16).save_png(
            os.path.join(out, "menu.png"))
        print("wrote", path)

        # The About window with its window-manager frame, the face dragged out of its way.
        desktop.key("Escape")
        vardo.wait_menu_closed(menu)
        vardo.drag((47, 30), (60 - fx, 60 - fy))
        vardo.wait_origin((60, 60))
        menu, _ = vardo.open_menu(47, 40)
        desktop.key("a")
        vardo.wait_menu_closed(menu)
        about = h.wait_until(lambda: next((w for w in desktop.windows_titled("About Vardo")
                                           if desktop.viewable(w)), None),
                             message="the About window")
        desktop.move(0, 0)
        path = crop_around(desktop, desktop.frame_geometry(about), 12).save_png(
            os.path.join(out, "about.png"))
        print("wrote", path)
        vardo.stop()
    finally:
        desktop.close()


if __name__ == "__main__":
    main()
