#!/usr/bin/python3
"""A scripted desktop session of the real vardo under valgrind's memcheck: start, track the
pointer, drag, open the menu, toggle Always On Top, open the About window, click both links
(through xdg-open to a recording handler), close it every way, and Exit. Passes when memcheck
finds no error and no definitely lost block; toolkit and driver noise is suppressed by
tests/sanitizer/valgrind.supp, where each entry says why.

    memcheck.py --vardo build/vardo [--valgrind valgrind] [--suppressions FILE]

The program ends through std::_Exit on Exit; valgrind still checks for leaks then, with the
face and the application objects still alive (reachable, not lost).
"""

import argparse
import os
import re
import stat
import sys

import harness as h
import reliability as r

# Everything takes several times longer under memcheck: the waits stretch by this much.
SLOWDOWN = 8


def session(desktop, vardo, record):
    d, v = desktop, vardo
    r.check_aim(v, r.aim_points(d, v), timeout=4 * SLOWDOWN)
    x, y = v.origin()
    v.drag((47, 30), (150 - x, 120 - y))
    v.wait_origin((150, 120), timeout=5 * SLOWDOWN)
    r.check_aim(v, [(d.width - 1, d.height // 2), (0, d.height - 1)], timeout=4 * SLOWDOWN)
    for wanted in (False, True):
        menu, _ = v.open_menu()
        v.choose(menu, "t")
        h.wait_until(lambda: ("_NET_WM_STATE_ABOVE" in d.wm_state(v.face)) == wanted,
                     message="Always On Top to change")
    links = 0
    for means in ("OK", "Enter", "Esc", "close"):
        about = v.open_about(active=True)
        if means == "OK":
            for point in (r.ABOUT_EMAIL, r.ABOUT_HOMEPAGE):
                d.click(*v.to_screen(*point, about))
                links += 1
            r.wait_lines(record, links, timeout=15 * SLOWDOWN)
            d.click(*v.to_screen(*r.ABOUT_OK, about))
        elif means == "close":
            d.close_window(about)
        else:
            d.key("Return" if means == "Enter" else "Escape")
        h.wait_until(lambda: not d.windows_titled("About Vardo"),
                     message=f"the About window to close by {means}")
    assert sorted(r.read_lines(record)) == sorted([r.EMAIL_TARGET, r.HOMEPAGE_TARGET]), \
        r.read_lines(record)
    menu, _ = v.open_menu()
    d.key("e")
    status = v.wait_exit(timeout=60 * SLOWDOWN / 4)
    return status


def summarize(log_text):
    errors = re.search(r"ERROR SUMMARY: (\d+) errors", log_text)
    definite = re.search(r"definitely lost: ([\d,]+) bytes in ([\d,]+) blocks", log_text)
    return (int(errors.group(1)) if errors else None,
            int(definite.group(1).replace(",", "")) if definite else 0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--vardo", required=True)
    parser.add_argument("--valgrind", default="valgrind")
    parser.add_argument("--suppressions",
                        default=os.path.join(h.SOURCE_ROOT, "tests", "sanitizer",
                                             "valgrind.supp"))
    args = parser.parse_args()
    h.stretch_waits(SLOWDOWN)

    desktop = h.Desktop()
    try:
        log = os.path.join(h.artifact_dir(), "memcheck.log")
        if os.path.exists(log):
            os.remove(log)
        # vardo runs as the harness starts it, through a wrapper that puts valgrind in front.
        wrapper = os.path.join(desktop.tmp, "vardo-under-memcheck")
        with open(wrapper, "w") as f:
            f.write("#!/bin/sh\nexec '{}' --tool=memcheck --leak-check=full "
                    "--show-leak-kinds=definite --errors-for-leak-kinds=definite "
                    "--error-exitcode=99 --num-callers=30 --gen-suppressions=all "
                    "--child-silent-after-fork=yes "
                    "--suppressions='{}' --log-file='{}' '{}'\n"
                    .format(args.valgrind, os.path.abspath(args.suppressions), log,
                            os.path.abspath(args.vardo)))
        os.chmod(wrapper, os.stat(wrapper).st_mode | stat.S_IXUSR)
        os.environ["VARDO_BINARY"] = wrapper
        env, record = r.link_handler_env(desktop.tmp)
        desktop.move(0, 0)
        vardo = h.Vardo(desktop, env=env)
        try:
            status = session(desktop, vardo, record)
        finally:
            vardo.stop()
        with open(log, errors="replace") as f:
            text = f.read()
        errors, definite = summarize(text)
        print(f"memcheck: exit status {status}, {errors} errors, {definite} bytes definitely "
              f"lost; log in {log}")
        ok = status == 0 and errors == 0 and definite == 0
        if not ok:
            print(text[-20000:])
        print(f"memcheck: {1 if ok else 0} passed, {0 if ok else 1} failed")
        return 0 if ok else 1
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
