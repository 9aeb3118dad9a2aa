"""The face at rest, on each desktop: how often it wakes while the pointer lies still, what it
costs the programs beside it then (the X server; on headless KWin and GNOME Shell also the
compositor and the session bus), each against the same desktop without the face, and how soon
the pupils follow the first move after a rest.

Wake-ups are the voluntary context switches of all threads of a process (each ends a sleep),
per second over the phase; preemptions are counted apart.
A re-aim is timed from the move (the X server or compositor has taken it) to the pupils'
pixels changing in the face window.

On X11 also: the time from a warp after a rest (a move that sends no device motion) to the
pupils' change, and the face's wake-ups beside the floor's, both running in the same seconds,
while the mouse pushes the pointer into a screen corner and while a game-like client holds the
pointer grabbed and warps it back to its centre at every move: device motion that does not
move the pointer.
"""

import json
import os
import statistics
import subprocess
import sys
import time

try:
    from Xlib import X, display as xdisplay
    from Xlib.ext import xtest
except ImportError:  # the benchmark says what is missing
    xdisplay = None

HERE = os.path.dirname(os.path.abspath(__file__))
# The desktop tests' harness starts the headless Wayland desktops.
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "desktop"))

# The pupils' reach in client pixels (both eyes, see PUPIL_REACH in vardo_bench.py): one
# strip from the left eye's left edge to the right eye's right edge.
PUPILS = (24, 76, 43, 8)
# Seconds the pointer lies still before each timed move: the face rests after two ticks.
SETTLE = 1.5
# Seconds before counting at rest: a rest that a move ends within a second (the one right after
# the face starts, say) makes the face look on for 2 s before it rests again.
PATIENCE = 3.0
# The budgets: wake-ups at rest, and the difference it makes to the others. On X11 the face
# looks for warps about once a second while it rests, and a look costs it about three wake-ups
# and the X server one.
REST_LIMIT = {"X11": 4.0}
REST_LIMIT_DEFAULT = 0.5
OTHERS_LIMIT = {("X11", "X server"): 1.5}
OTHERS_LIMIT_DEFAULT = 0.2
REAIM_LIMIT_MS = 150
WARP_LIMIT_MS = 1000
# Device motion that does not move the pointer costs the face at most what polling costs the
# floor: PUSH_FACTOR times its wake-ups plus PUSH_PLUS a second.
PUSH_FACTOR = 1.2
PUSH_PLUS = 2.0
# The mouse's reports while it pushes: one every 5 ms.
PUSH_RATE = 200


def thread_switches(pid):
    """Context switches so far of each live thread of process pid, by thread id, as (voluntary,
    preempted); None once the process has gone."""
    counts = {}
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except FileNotFoundError:
        return None
    for tid in tids:
        try:
            with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                fields = dict(line.split(":", 1) for line in f if "ctxt_switches" in line)
            counts[tid] = (int(fields["voluntary_ctxt_switches"]),
                           int(fields["nonvoluntary_ctxt_switches"]))
        except FileNotFoundError:
            pass  # a thread that ended just now
    return counts


def switches_between(before, after, kind=0):
    """Wake-ups (kind 0: voluntary switches, each the end of a sleep) or preemptions (kind 1)
    from one thread_switches to the next: those of the threads that live at the end (a thread
    that ended meanwhile takes its count with it; one that started brings all of its own).
    A preemption is no wake-up: a client woken by a reply over a local socket often takes the
    sender's processor before it has gone back to sleep."""
    return sum(n[kind] - before.get(tid, (0, 0))[kind] for tid, n in after.items())


def wakeups(pids, seconds, preempted=None):
    """Wake-ups per second of each named process over `seconds`; preemptions per second go into
    the dictionary `preempted`, if given."""
    before = {name: thread_switches(pid) for name, pid in pids.items()}
    start = time.monotonic()
    time.sleep(seconds)
    after = {name: thread_switches(pid) for name, pid in pids.items()}
    elapsed = time.monotonic() - start
    live = [name for name in pids if before[name] is not None and after[name] is not None]
    if preempted is not None:
        preempted.update({name: switches_between(before[name], after[name], 1) / elapsed
                          for name in live})
    return {name: switches_between(before[name], after[name]) / elapsed for name in live}


def without(before, after):
    """The others' figures without the face: the mean of the phase before it started and the
    phase after it stopped, so that neither a desktop still settling nor one that has run
    longer counts alone."""
    return {name: (before[name] + after[name]) / 2 for name in before if name in after}


def reaims(move, pupils, points, trials):
    """Milliseconds from each move (alternating between `points`, screen pixels) after a rest
    to the pupils' pixels changing; None for a move they did not follow within 2 s."""
    times = []
    for i in range(trials):
        time.sleep(SETTLE)
        before = pupils()
        start = time.monotonic()
        move(*points[i % len(points)])
        while True:
            elapsed = time.monotonic() - start
            if pupils() != before:
                times.append(elapsed * 1000)
                break
            if elapsed > 2:
                times.append(None)
                break
            time.sleep(0.001)
    return times


def phase(name, others, vardo_pid, seconds):
    """One desktop's rest figures with the face: its own wake-ups and the others'. The
    figures without it are filled in by finish()."""
    preempted = {}
    with_face = wakeups(dict(others, vardo=vardo_pid), seconds, preempted)
    return {"desktop": name, "seconds": seconds,
            "vardo": with_face.pop("vardo", None), "preempted": preempted,
            "others": {n: {"with": with_face.get(n)} for n in others}}


def finish(result, before, after):
    base = without(before, after)
    for name, figures in result["others"].items():
        figures.update(without=base.get(name), before=before.get(name), after=after.get(name))
    return result


def push(desktop, seconds, dx, dy):
    """Device motion of (dx, dy) at PUSH_RATE reports a second for `seconds` (XTest, relative)."""
    start = time.monotonic()
    for i in range(int(seconds * PUSH_RATE)):
        delay = start + i / PUSH_RATE - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        xtest.fake_input(desktop.d, X.MotionNotify, detail=1, x=dx, y=dy)
        desktop.d.flush()
    desktop.d.sync()


def beside_the_floor(pids, seconds, work):
    """Wake-ups a second of each named process while `work` runs for `seconds`."""
    before = {name: thread_switches(pid) for name, pid in pids.items()}
    start = time.monotonic()
    work(seconds)
    elapsed = time.monotonic() - start
    after = {name: thread_switches(pid) for name, pid in pids.items()}
    return {name: switches_between(before[name], after[name]) / elapsed for name in pids}


def game(display):
    """A game-like client: holds the pointer grabbed and warps it back to the middle of its
    window at every move, as games that steer a view with the mouse do. Says "grabbed" on
    stdout once it holds the grab; ends when its stdin closes."""
    import select
    d = xdisplay.Display(display)
    screen = d.screen()
    w, h = 400, 300
    x, y = (screen.width_in_pixels - w) // 2, (screen.height_in_pixels - h) // 2
    window = screen.root.create_window(x, y, w, h, 0, screen.root_depth,
                                       background_pixel=screen.black_pixel,
                                       override_redirect=True, event_mask=X.PointerMotionMask)
    window.map()
    d.sync()
    centre = (w // 2, h // 2)
    for _ in range(100):
        if window.grab_pointer(False, X.PointerMotionMask, X.GrabModeAsync, X.GrabModeAsync,
                               window, X.NONE, X.CurrentTime) == X.GrabSuccess:
            break
        time.sleep(0.05)
    else:
        sys.exit("no grab")
    window.warp_pointer(*centre)
    d.sync()
    print("grabbed", flush=True)
    while True:
        ready, _, _ = select.select([d.fileno(), sys.stdin], [], [], 1.0)
        if sys.stdin in ready and not sys.stdin.read(1):
            return
        while d.pending_events():
            event = d.next_event()
            if event.type == X.MotionNotify and (event.event_x, event.event_y) != centre:
                window.warp_pointer(*centre)
        d.flush()


def x11(desktop, procs, program, floor, launch, seconds, trials, log_path):
    """On the benchmark's Xvfb with openbox: `launch` starts the face and `floor` as the
    benchmark does."""
    others = {"X server": desktop.xvfb.pid, "window manager": desktop.wm.pid}
    desktop.park()
    time.sleep(SETTLE)
    before = wakeups(others, seconds)
    proc, box, _ = launch(desktop, procs, program, log_path=log_path)
    try:
        desktop.park()
        time.sleep(2 + PATIENCE)
        result = phase("X11", others, proc.pid, seconds)
        x, y, w, h = PUPILS

        def pupils():
            return desktop.d.screen().root.get_image(box[0] + x, box[1] + y, w, h, 2,
                                                     0xFFFFFFFF).data

        def move(px, py):
            desktop.move_pointer(px, py)
            desktop.d.sync()

        eyes = box[1] + 80
        ends = [(0, eyes), (desktop_width(desktop) - 1, eyes)]
        result["reaim_ms"] = reaims(move, pupils, ends, trials)

        def warp(px, py):
            desktop.d.screen().root.warp_pointer(px, py)
            desktop.d.sync()

        # The moves above end where the first warp would go after an odd number of trials.
        result["warp_ms"] = reaims(warp, pupils, ends if trials % 2 == 0 else ends[::-1], trials)

        floor_proc, _, _ = launch(desktop, procs, floor, log_path=log_path + ".floor")
        try:
            pids = {"vardo": proc.pid, "floor": floor_proc.pid}
            desktop.move_pointer(0, 0)
            desktop.d.sync()
            time.sleep(PATIENCE)
            half = seconds / 2
            result["pushing"] = beside_the_floor(pids, half, lambda t: push(desktop, t, -5, -5))
            grabber = subprocess.Popen([sys.executable, os.path.abspath(__file__), "game",
                                        desktop.d.get_display_name()],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            try:
                if grabber.stdout.readline().strip() != "grabbed":
                    raise RuntimeError("the game-like client got no grab")
                time.sleep(PATIENCE)
                result["grabbed"] = beside_the_floor(pids, half,
                                                     lambda t: push(desktop, t, 7, 3))
            finally:
                grabber.stdin.close()
                grabber.wait(5)
        finally:
            procs.stop(floor_proc)
    finally:
        procs.stop(proc)
    desktop.park()
    time.sleep(SETTLE)
    return finish(result, before, wakeups(others, seconds))


def desktop_width(desktop):
    return desktop.d.screen().width_in_pixels


def wayland_apart(compositor, vardo, seconds, trials):
    """wayland() in a Python of its own: python-xlib keeps the event numbers of the first X
    server a process talked to, and XWayland's extensions number theirs differently."""
    try:
        out = subprocess.run([sys.executable, os.path.abspath(__file__), compositor, vardo,
                              str(seconds), str(trials)], capture_output=True, text=True,
                             timeout=seconds * 2 + trials * 5 + 240)
    except subprocess.TimeoutExpired:
        return {"desktop": compositor, "skipped": "the measurement did not end"}
    try:
        return json.loads(out.stdout)
    except ValueError:
        last = (out.stderr.strip().splitlines() or ["no output"])[-1]
        return {"desktop": compositor, "skipped": "the measurement failed: " + last}


def wayland(compositor, vardo, seconds, trials):
    """On a headless compositor of the desktop tests' harness. Returns the figures, or a
    reason why the desktop could not be measured."""
    os.environ["VARDO_BINARY"] = vardo
    try:
        import harness as h
    except ImportError as error:
        return {"desktop": compositor, "skipped": "the test harness needs %s" % error.name}
    try:
        d = h.WaylandDesktop(compositor,
                             extension_data=os.environ.get("VARDO_EXTENSION_DATA") or None)
    except Exception as error:  # unittest.SkipTest included: it cannot start here
        return {"desktop": compositor, "skipped": str(error).splitlines()[0]}
    try:
        names = {"kwin": "kwin_wayland", "gnome-shell": "gnome-shell"}
        others = {}
        for process in d.processes:
            base = os.path.basename(process.args[0])
            if base == names[compositor]:
                others["compositor"] = process.pid
            elif base == "dbus-daemon":
                others["session bus"] = process.pid
        xwayland = xwayland_of(others.get("compositor"))
        if xwayland:
            others["XWayland"] = xwayland
        park = (d.width - 10, d.height - 10)
        d.move(*park)
        # The compositor's own start-up work dies down first.
        time.sleep(5)
        before = wakeups(others, seconds)
        v = h.Vardo(d)
        try:
            d.move(*park)
            # The shell's and the face's own start-up work (mapping, the first look) dies down.
            time.sleep(after_map_or_unmap(seconds))
            result = phase(compositor, others, v.process.pid, seconds)
            x, y, w, hh = PUPILS
            face = d.window(v.face)
            ox, oy = v.origin()

            def pupils():
                return face.get_image(x, y, w, hh, 2, 0xFFFFFFFF).data

            result["reaim_ms"] = reaims(lambda px, py: d.move(px, py, sync=False), pupils,
                                        [(10, oy + 80), (d.width - 10, oy + 80)], trials)
            if compositor == "gnome-shell":
                d.move(*park)
                result["disabled"] = extension_disabled(h, d, v, seconds)
            result["stderr"] = v.stderr()
        finally:
            v.stop()
        # Stopped as a session would stop it (SIGTERM). KWin's script for it goes at the next
        # move: the one that parks the pointer.
        d.move(*park)
        time.sleep(after_map_or_unmap(seconds))
        return finish(result, before, wakeups(others, seconds))
    finally:
        d.close()


def extension_disabled(h, d, v, seconds):
    """The face's wake-ups while GNOME Shell has its extension disabled, as the shell does at
    every screen lock, with the pointer still; and what it said meanwhile."""
    def extension(method):
        d.dbus_call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions", method,
                    h.EXTENSION_UUID, signature="s")

    said = v.stderr()
    extension("DisableExtension")
    try:
        time.sleep(SETTLE)
        rate = wakeups({"vardo": v.process.pid}, seconds / 2)["vardo"]
        return {"vardo": rate, "said": v.stderr()[len(said):]}
    finally:
        extension("EnableExtension")


def after_map_or_unmap(seconds):
    """How long to wait after a window maps or unmaps before counting. GNOME Shell 43 wakes in a
    burst (its JavaScript helper threads and main thread, 10 to 60 switches) some 10 to 25 s
    after a window maps or unmaps, whatever the window; counted in one phase and not in the
    other it would put up to 1.5 wake-ups a second on the face that the face never caused."""
    return min(30.0, max(5.0, seconds / 2))


def xwayland_of(compositor):
    if compositor is None:
        return None
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as f:
                stat = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        if name == "Xwayland" and int(stat[stat.rindex(")") + 2:].split()[1]) == compositor:
            return int(pid)
    return None


def checks(results):
    """Pass or fail of each budget at rest, with the measured value and the limit."""
    out = {}
    for r in results:
        if "skipped" in r:
            continue
        name = r["desktop"]
        limit = REST_LIMIT.get(name, REST_LIMIT_DEFAULT)
        out["%s: vardo at rest" % name] = (
            r["vardo"] is not None and r["vardo"] <= limit, "%.2f/s" % (r["vardo"] or 0),
            "≤ %g/s" % limit)
        if "disabled" in r:
            rate, said = r["disabled"]["vardo"], r["disabled"]["said"]
            out["%s: vardo at rest, its extension disabled (a locked screen)" % name] = (
                rate <= limit and not said,
                "%.2f/s%s" % (rate, ", said: " + said.strip() if said else ", said nothing"),
                "≤ %g/s, says nothing" % limit)
        for other, figures in r["others"].items():
            if figures["with"] is None or figures["without"] is None:
                continue
            delta = figures["with"] - figures["without"]
            limit = OTHERS_LIMIT.get((name, other), OTHERS_LIMIT_DEFAULT)
            out["%s: %s at rest" % (name, other)] = (
                delta <= limit, "%+.2f/s" % delta, "≤ +%g/s against no vardo" % limit)
        for key, what, limit in (("reaim_ms", "first re-aim after a rest", REAIM_LIMIT_MS),
                                 ("warp_ms", "a warp after a rest, until the pupils show it",
                                  WARP_LIMIT_MS)):
            if key not in r:
                continue
            seen = [t for t in r[key] if t is not None]
            missed = len(r[key]) - len(seen)
            out["%s: %s" % (name, what)] = (
                missed == 0 and max(seen) <= limit,
                "max %.0f ms%s" % (max(seen) if seen else float("nan"),
                                   ", %d moves not followed" % missed if missed else ""),
                "≤ %d ms after the move" % limit)
        for key, what in PUSHES:
            if key not in r:
                continue
            v, f = r[key]["vardo"], r[key]["floor"]
            limit = PUSH_FACTOR * f + PUSH_PLUS
            out["%s: %s" % (name, what)] = (
                v <= limit, "%.1f/s (floor %.1f/s)" % (v, f),
                "≤ %g × floor + %g/s = %.1f/s" % (PUSH_FACTOR, PUSH_PLUS, limit))
    return out


PUSHES = (("pushing", "pointer pinned in a corner, mouse pushing"),
          ("grabbed", "pointer grabbed and warped back by a game, mouse moving"))


def markdown(results, budget):
    lines = ["| desktop | process | wake-ups/s without vardo (before, after) | with vardo at rest "
             "| difference |", "|---|---|---|---|---|"]
    for r in results:
        if "skipped" in r:
            lines.append("| %s | not measured: %s | | | |" % (r["desktop"], r["skipped"]))
            continue
        lines.append("| %s | vardo | | %.2f | |" % (r["desktop"], r["vardo"] or 0))
        if "disabled" in r:
            lines.append("| %s, its extension disabled | vardo | | %.2f | |" % (
                r["desktop"], r["disabled"]["vardo"]))
        for other, f in r["others"].items():
            if f["with"] is None or f["without"] is None:
                continue
            lines.append("| %s | %s | %.2f (%.2f, %.2f) | %.2f | %+.2f |" % (
                r["desktop"], other, f["without"], f["before"], f["after"], f["with"],
                f["with"] - f["without"]))
    preempted = ["%s: %s" % (r["desktop"], ", ".join("%s %.2f" % item for item in
                                                     sorted(r["preempted"].items())))
                 for r in results if r.get("preempted")]
    if preempted:
        lines += ["", "Preemptions a second with vardo at rest, not counted as wake-ups: " +
                  "; ".join(preempted) + "."]
    lines += ["", "| desktop | after a rest, until the pupils show it, ms (median, min–max) |",
              "|---|---|"]
    for r in results:
        if "skipped" in r:
            continue
        for key, what in (("reaim_ms", "a move"), ("warp_ms", "a warp")):
            if key not in r:
                continue
            seen = [t for t in r[key] if t is not None]
            missed = len(r[key]) - len(seen)
            text = ("%.0f (%.0f–%.0f)" % (statistics.median(seen), min(seen), max(seen))
                    if seen else "none")
            if missed:
                text += ", %d of %d not followed within 2 s" % (missed, len(r[key]))
            lines.append("| %s, %s | %s |" % (r["desktop"], what, text))
    pushes = [(r["desktop"], what, r[key]) for r in results for key, what in PUSHES if key in r]
    if pushes:
        lines += ["", "| desktop | device motion that does not move the pointer | vardo "
                  "wake-ups/s | floor wake-ups/s, same seconds |", "|---|---|---|---|"]
        for name, what, f in pushes:
            lines.append("| %s | %s | %.1f | %.1f |" % (name, what, f["vardo"], f["floor"]))
    if budget is not None:
        lines += ["", "| budget at rest | result |", "|---|---|"]
        for key, (ok, measured, limit) in budget.items():
            lines.append("| %s | %s: %s (%s) |" % (key, "PASS" if ok else "FAIL", measured, limit))
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    if sys.argv[1] == "game":
        game(sys.argv[2])
    else:
        print(json.dumps(wayland(sys.argv[1], sys.argv[2], float(sys.argv[3]),
                                 int(sys.argv[4]))))
