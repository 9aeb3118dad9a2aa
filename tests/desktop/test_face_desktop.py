#!/usr/bin/python3
"""The face window on a real X server: where it stands, its shape, what it shows, how it
stacks, what happens to clicks outside the head, what it says on a Wayland desktop that does
not tell where the pointer is, and how the program fails without a display."""

import os
import select
import subprocess
import tempfile
import unittest

import harness as h
from harness.wine import wine_command
from Xlib import X


class FaceWindow(h.DesktopCase):

    def test_window_is_centred_unframed_above_and_off_the_taskbar(self):
        d, v = self.desktop, self.vardo
        x, y, w, hh = d.geometry(v.face)
        self.assertEqual((w, hh), (h.FACE_W, h.FACE_H))
        self.assertEqual((x, y), ((d.width - h.FACE_W) // 2, (d.height - h.FACE_H) // 2))
        extents = d.frame_extents(v.face)
        self.assertIn(extents, (None, (0, 0, 0, 0)), "the window manager drew a frame")
        self.assertEqual(d.frame_geometry(v.face), (x, y, w, hh))
        states = d.wm_state(v.face)
        for state in ("_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR",
                      "_NET_WM_STATE_SKIP_PAGER"):
            self.assertIn(state, states)

    def test_bounding_shape_is_the_head_outline(self):
        d, v = self.desktop, self.vardo
        reply = d.window(v.face).shape_get_rectangles(h.shape.SK.Bounding)
        shaped = set()
        for r in reply.rectangles:
            for yy in range(r.y, r.y + r.height):
                for xx in range(r.x, r.x + r.width):
                    shaped.add((xx, yy))
        self.assertTrue(all(0 <= px < h.FACE_W and 0 <= py < h.FACE_H for px, py in shaped),
                        "shape reaches outside the window")
        inside, outside = h.outline_classes()
        missing = sorted(inside - shaped)
        extra = sorted(outside & shaped)
        self.assertEqual(missing, [], "pixels inside the outline are cut away")
        self.assertEqual(extra, [], "pixels outside the outline are part of the window")

    def test_screen_shows_picture_inside_outline_and_desktop_outside(self):
        v = self.vardo
        shot = v.face_shot()
        _, _, face = h.face_picture()
        inside, outside = h.outline_classes()
        pupil_boxes = [(px - 1, py - 1, px + h.PUPIL_W + 1, py + h.PUPIL_H + 1)
                       for px, py in h.PUPIL_HOME]

        def in_pupil_box(px, py):
            return any(x0 <= px < x1 and y0 <= py < y1 for x0, y0, x1, y1 in pupil_boxes)

        wrong_face = [(px, py) for px, py in sorted(inside)
                      if not in_pupil_box(px, py) and shot.at(px, py) != face[py][px][:3]]
        wrong_desktop = [(px, py) for px, py in sorted(outside)
                         if shot.at(px, py) != h.DESKTOP_RGB]
        if wrong_face or wrong_desktop:
            self.save_failure_screen("face-picture-failure.png")
        self.assertEqual(wrong_face[:20], [], f"{len(wrong_face)} face pixels differ")
        self.assertEqual(wrong_desktop[:20], [], f"{len(wrong_desktop)} outside pixels differ")

    def test_click_outside_outline_reaches_window_beneath(self):
        d, v = self.desktop, self.vardo
        x, y = v.origin()
        beneath = d.make_window(x - 20, y - 20, h.FACE_W + 40, h.FACE_H + 40, (0, 200, 0))
        self.addCleanup(beneath.destroy)
        # It cannot cover the face, which is in the topmost band.
        h.wait_until(lambda: d.stacking().index(v.face) > d.stacking().index(beneath.id),
                     message="the face above the new window")
        d.events()

        def presses_on_beneath(timeout):
            return [e for e in d.events(timeout)
                    if e.type == X.ButtonPress and e.window.id == beneath.id]

        # A corner of the face's rectangle, well outside the head.
        corner = v.to_screen(2, 2)
        d.click(*corner)
        got = presses_on_beneath(1.0)
        self.assertEqual(len(got), 1, "the click outside the head did not reach the window")
        bx, by, _, _ = d.geometry(beneath.id)
        self.assertEqual((got[0].event_x, got[0].event_y), (corner[0] - bx, corner[1] - by))
        # The lower right corner too, beside the chin.
        d.click(*v.to_screen(h.FACE_W - 3, h.FACE_H - 3))
        self.assertEqual(len(presses_on_beneath(1.0)), 1)
        # On the face itself the click is the face's.
        d.click(*v.to_screen(47, 60))
        self.assertEqual(presses_on_beneath(0.5), [])
        self.assertTrue(v.alive())

    def test_stays_above_a_window_activated_after_it(self):
        d, v = self.desktop, self.vardo
        x, y = v.origin()
        other = d.make_window(x - 50, y - 50, 300, 300, (200, 0, 0), title="Other")
        self.addCleanup(other.destroy)
        d.make_active(other.id, message="the other window active")
        stack = d.stacking()
        self.assertGreater(stack.index(v.face), stack.index(other.id))
        self.assertIn("_NET_WM_STATE_ABOVE", d.wm_state(v.face))
        # And it is what the screen shows: the face over the red window.
        v.wait_painted()
        self.assertEqual(v.face_shot().at(1, 1), (200, 0, 0))

    @unittest.skipUnless(h.WINE, "a Windows program takes the mouse capture")
    def test_capture_taken_by_another_program_ends_a_drag(self):
        """Another program takes the mouse capture in the middle of a drag (take_capture.exe,
        built beside vardo.exe): the drag ends there, with the button still held, and the face
        stays where it left it while the pupils follow the pointer again."""
        d, v = self.desktop, self.vardo
        taker = os.path.join(os.path.dirname(h.vardo_binary()), "take_capture.exe")
        self.assertTrue(os.path.isfile(taker), f"{taker} is missing: make windows builds it")
        sx, sy = v.to_screen(47, 30)
        d.move(sx, sy)
        d.press(1)
        d.move(sx + 5, sy + 3)
        dragged = (sx + 5 - 47, sy + 3 - 30)
        v.wait_origin(dragged)
        command, env = wine_command([taker], d.env(), d.wine_prefix)
        process = d.spawn(command, env=env, stdout=subprocess.PIPE, text=True)
        self.addCleanup(h.stop, process)
        ready, _, _ = select.select([process.stdout], [], [], 30)
        self.assertTrue(ready, "take_capture said nothing")
        self.assertEqual(process.stdout.readline().strip(), "taken")
        v.wait_follows_across(dragged)
        d.release(1)
        self.assertEqual(v.origin(), dragged)

    @unittest.skipUnless(h.WINE, "the Windows run-time's message")
    def test_window_the_system_refuses_is_named_with_its_reason(self):
        """A window the system will not make ends the program with a message box that names
        the window and the system's reason (win32_calls.exe, built beside vardo.exe, refuses
        it with ERROR_ACCESS_DENIED and reads the box)."""
        d = self.desktop
        probe = os.path.join(os.path.dirname(h.vardo_binary()), "win32_calls.exe")
        self.assertTrue(os.path.isfile(probe), f"{probe} is missing: make windows builds it")
        command, env = wine_command([probe, "unmade-window"], d.env(), d.wine_prefix)
        done = subprocess.run(command, env=env, capture_output=True, text=True, timeout=60,
                              cwd=d.tmp)
        self.assertEqual((done.returncode, done.stdout.strip()),
                         (1, 'Vardo cannot make its window "Unmade" (error 5).'), done.stderr)

    def test_pupils_stay_home_while_pointer_stays_at_origin(self):
        d, v = self.desktop, self.vardo
        self.assertEqual(d.pointer(), (0, 0))
        # Several tracking periods pass with the pointer still where it was at start.
        for _ in range(5):
            self.assertEqual(v.pupils(), h.PUPIL_HOME)
            d.events(0.1)


@unittest.skipIf(h.WINE, "a Linux program's choice of pointer source")
class OtherWaylandDesktop(h.DesktopCase):
    """A Wayland session whose compositor is neither KWin nor GNOME Shell, which do tell where
    the pointer is (test_wayland_desktop.py): here Xvfb and openbox with WAYLAND_DISPLAY set,
    and a session bus with neither on it, or none."""

    start_vardo = False

    def test_xwayland_pointer_with_one_line(self):
        d = self.desktop
        for bus, says in ((d._session_bus(), "this Wayland desktop does not tell programs"),
                          ("unix:path=/nonexistent", "no session bus")):
            with self.subTest(says):
                v = h.Vardo(d, env={"WAYLAND_DISPLAY": "wayland-vardo-test",
                                    "DBUS_SESSION_BUS_ADDRESS": bus})
                self.addCleanup(v.stop)
                ox, oy = v.origin()
                d.move(d.width - 1, oy + 80)
                client = (d.width - 1 - ox, 80)
                v.wait_aimed(client)
                lines = v.stderr().splitlines()
                self.assertEqual(len(lines), 1, v.stderr())
                self.assertIn(says, lines[0])
                v.stop()


@unittest.skipIf(h.WINE, "Wine's own start-up reports a missing display, not the program")
class WithoutDisplay(unittest.TestCase):

    def run_without_server(self, env):
        binary = h.vardo_binary()
        with tempfile.TemporaryDirectory() as cwd:
            result = subprocess.run([binary], env=env, cwd=cwd, capture_output=True, text=True,
                                    timeout=20, preexec_fn=h._die_with_parent)
            cores = [f for f in os.listdir(cwd) if f.startswith("core")]
        return result, cores

    def check_one_line_failure(self, result, cores):
        self.assertEqual(result.returncode, 1, result.stderr)
        lines = result.stderr.splitlines()
        self.assertEqual(len(lines), 1, result.stderr)
        self.assertIn("X11 display", lines[0])
        self.assertEqual(result.stdout, "")
        self.assertEqual(cores, [])

    def test_display_unset(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.check_one_line_failure(*self.run_without_server(env))

    def test_display_without_server(self):
        number = next(n for n in range(99, 200)
                      if not os.path.exists(f"/tmp/.X11-unix/X{n}")
                      and not os.path.exists(f"/tmp/.X{n}-lock"))
        env = dict(os.environ, DISPLAY=f":{number}")
        env.pop("WAYLAND_DISPLAY", None)
        result, cores = self.run_without_server(env)
        self.check_one_line_failure(result, cores)
        self.assertIn(f":{number}", result.stderr)


if __name__ == "__main__":
    h.main()
