#!/usr/bin/python3
"""The soak: the real vardo on Xvfb with openbox, driven through XTest for a while with random
pointer motion over the whole screen, drags, Always On Top toggled (menu key T), the About
window opened and closed by every means (OK, Enter, Esc, the close request) and its links
clicked through xdg-open to a recording handler.

Afterwards the face must still be cut to the head, its _NET_WM_STATE_ABOVE must match the
check mark the run left, the pupils must aim at the cursor, its memory (RSS) may have grown by
less than 1 MiB since the warm-up, every link must have reached the handler, and it may have
no child process left, zombie or not. Prints its figures at the end.

    soak.py --vardo build/vardo --minutes 10
    soak.py --vardo build/vardo --seconds 60      (the CTest version)
"""

import argparse
import os
import random
import sys
import time

import harness as h
import reliability as r

RSS_GROWTH_LIMIT_KIB = 1024
CLOSE_MEANS = ("OK", "Enter", "Esc", "close")


class Soak:

    def __init__(self, desktop, vardo, record, seed):
        self.d, self.v, self.record = desktop, vardo, record
        self.random = random.Random(seed)
        self.above = True
        self.counts = {"events": 0, "moves": 0, "drags": 0, "menus": 0, "toggles": 0,
                       "abouts": 0, "links": 0}
        self.closed_by = {means: 0 for means in CLOSE_MEANS}

    # -- input, counted ------------------------------------------------------------------

    def move(self, x, y, sync=True):
        self.d.move(x, y, sync=sync)
        self.counts["events"] += 1
        self.counts["moves"] += 1

    def click(self, x, y, button=1):
        self.move(x, y)
        self.d.press(button)
        self.d.release(button)
        self.counts["events"] += 2

    def key(self, name):
        self.d.key(name)
        self.counts["events"] += 2

    # -- actions -------------------------------------------------------------------------

    def wander(self):
        """A burst of pointer motion to random points of the whole screen."""
        for _ in range(self.random.randint(10, 40)):
            self.move(self.random.randrange(self.d.width), self.random.randrange(self.d.height),
                      sync=False)
        self.d.d.sync()

    def drag(self):
        ox, oy = self.v.origin()
        target = (self.random.randrange(0, self.d.width - h.FACE_W),
                  self.random.randrange(0, self.d.height - h.FACE_H))
        # A grab point on the face picture, clear of the pupils.
        grab = self.random.choice([(47, 30), (47, 120), (20, 60), (75, 60)])
        steps = self.random.randint(2, 15)
        self.v.drag(grab, (target[0] - ox, target[1] - oy), steps=steps)
        self.counts["events"] += steps + 3
        self.counts["drags"] += 1
        self.v.wait_origin(target)

    def menu_key(self, key):
        menu, _ = self.v.open_menu(*self.random.choice([(47, 40), (30, 110), (60, 25)]))
        self.counts["events"] += 3
        self.counts["menus"] += 1
        self.key(key)
        self.v.wait_menu_closed(menu)

    def toggle_topmost(self):
        self.menu_key("t")
        self.above = not self.above
        self.counts["toggles"] += 1
        wanted = self.above
        h.wait_until(lambda: ("_NET_WM_STATE_ABOVE" in self.d.wm_state(self.v.face)) == wanted,
                     message=f"_NET_WM_STATE_ABOVE {'set' if wanted else 'cleared'}")

    def about(self):
        d, v = self.d, self.v
        self.menu_key("a")
        about = h.wait_until(lambda: next((w for w in d.windows_titled("About Vardo")
                                           if d.viewable(w)), None),
                             message="the About window")
        self.counts["abouts"] += 1
        # Clicks go in once the window has taken the focus and painted its OK button.
        h.wait_until(lambda: d.active_window() == about, message="the About window active")
        ax, ay, _, _ = d.geometry(about)
        d.settled_shot(ax + 92, ay + 78, 65, 23,
                       ready=lambda shot: any(sum(px) < 200 for row in shot.pixels
                                              for px in row))
        for _ in range(self.random.choice((0, 0, 1, 2))):
            self.click(*v.to_screen(*self.random.choice((r.ABOUT_EMAIL, r.ABOUT_HOMEPAGE)),
                                    about))
            self.counts["links"] += 1
            # Each link reaches the handler before anything else happens.
            r.wait_lines(self.record, self.counts["links"])
        means = self.random.choice(CLOSE_MEANS)
        if means == "OK":
            self.click(*v.to_screen(*r.ABOUT_OK, about))
        elif means == "close":
            d.close_window(about)
        else:
            d.activate(about)
            h.wait_until(lambda: d.active_window() == about, message="the About window active")
            self.key("Return" if means == "Enter" else "Escape")
        self.closed_by[means] += 1
        h.wait_until(lambda: not d.windows_titled("About Vardo"),
                     message=f"the About window to close by {means}")

    def step(self):
        action = self.random.choices(
            (self.wander, self.drag, self.toggle_topmost, self.about),
            weights=(4, 4, 1, 2))[0]
        action()

    def every_action(self):
        self.wander()
        self.drag()
        self.toggle_topmost()
        self.toggle_topmost()
        for means in CLOSE_MEANS:
            while True:
                before = self.closed_by[means]
                self.about()
                if self.closed_by[means] > before:
                    break


def run(args):
    os.environ["VARDO_BINARY"] = os.path.abspath(args.vardo)
    h.vardo_binary()
    duration = args.seconds if args.seconds else args.minutes * 60
    desktop = h.Desktop()
    try:
        env, record = r.link_handler_env(desktop.tmp)
        desktop.move(0, 0)
        vardo = h.Vardo(desktop, env=env)
        soak = Soak(desktop, vardo, record, args.seed)
        started = time.monotonic()
        # Warm-up: every action once or more, so that whatever the toolkit loads on first
        # use (the menu, the About window, its font, the link cursor) is in before the base.
        soak.every_action()
        warm_until = started + max(10.0, duration * 0.2)
        while time.monotonic() < warm_until:
            soak.step()
        time.sleep(0.5)
        rss_base = r.rss_kib(vardo.process.pid)
        deadline = started + duration
        while time.monotonic() < deadline:
            soak.step()
            if not vardo.alive():
                raise AssertionError(f"vardo exited with {vardo.process.returncode}: "
                                     f"{vardo.stderr()}")
        elapsed = time.monotonic() - started

        failures = []
        fault = r.shape_faults(desktop, vardo.face)
        if fault:
            failures.append(f"shape: {fault}")
        above = "_NET_WM_STATE_ABOVE" in desktop.wm_state(vardo.face)
        if above != soak.above:
            failures.append(f"_NET_WM_STATE_ABOVE is {above}, the check mark says {soak.above}")
        try:
            r.check_aim(vardo, r.aim_points(desktop, vardo))
        except AssertionError as e:
            failures.append(f"aim: {e}")
        links = soak.counts["links"]
        try:
            r.wait_lines(record, links, timeout=20) if links else None
        except AssertionError as e:
            failures.append(f"links: {e}")
        got = r.read_lines(record)
        if len(got) != links or set(got) - {r.EMAIL_TARGET, r.HOMEPAGE_TARGET}:
            failures.append(f"{links} link clicks, the handler got {len(got)}: {set(got)}")
        try:
            h.wait_until(lambda: not r.children(vardo.process.pid), timeout=10,
                         message="vardo to have no child processes")
        except AssertionError:
            failures.append(f"children left: {r.children(vardo.process.pid)}")
        time.sleep(0.5)
        rss_end = r.rss_kib(vardo.process.pid)
        growth = rss_end - rss_base
        if args.sanitized:
            print("  (sanitizer build: its allocator holds freed memory back, so RSS says "
                  "nothing about leaks there and the bound is not applied)")
        elif growth >= RSS_GROWTH_LIMIT_KIB:
            failures.append(f"RSS grew by {growth} KiB after the warm-up")
        report = h.sanitizer_report(vardo.stderr())
        if report:
            failures.append(f"sanitizer: {report}")

        c = soak.counts
        print(f"soak: {elapsed:.0f} s, seed {args.seed}")
        print(f"  events sent: {c['events']} ({c['moves']} pointer moves), drags: {c['drags']}, "
              f"menus: {c['menus']}, topmost toggles: {c['toggles']}")
        print(f"  About windows: {c['abouts']} (closed by " +
              ", ".join(f"{k} {v}" for k, v in soak.closed_by.items()) +
              f"), links clicked: {links}")
        print(f"  RSS after warm-up {rss_base} KiB, at the end {rss_end} KiB, "
              f"growth {growth:+d} KiB (limit {RSS_GROWTH_LIMIT_KIB})")
        print(f"  Always On Top at the end: {soak.above}; children left: "
              f"{len(r.children(vardo.process.pid))}")
        vardo.stop()
        for failure in failures:
            print(f"FAILED: {failure}")
        print(f"soak: {0 if failures else 1} passed, {1 if failures else 0} failed")
        return 1 if failures else 0
    finally:
        desktop.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--vardo", required=True, help="the vardo binary")
    parser.add_argument("--minutes", type=float, default=10)
    parser.add_argument("--seconds", type=float, help="overrides --minutes")
    parser.add_argument("--seed", type=int, default=int(time.time()) % 100000)
    parser.add_argument("--sanitized", action="store_true",
                        help="the binary is the sanitizer build: no bound on RSS growth")
    args = parser.parse_args()
    try:
        return run(args)
    except AssertionError as e:
        print(f"FAILED: {e}")
        print("soak: 0 passed, 1 failed")
        return 1


if __name__ == "__main__":
    sys.exit(main())
