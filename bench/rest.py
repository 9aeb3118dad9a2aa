"""The face at rest, on each desktop: how often it wakes while the pointer lies still, what it
costs the programs beside it then (the X server; on headless KWin and GNOME Shell also the
compositor and the session bus), each against the same desktop without the face, and how soon
the pupils follow the first move after a rest.

Wake-ups are the context switches of all threads of a process, per second over the phase.
A re-aim is timed from the move (the X server or compositor has taken it) to the pupils'
pixels changing in the face window.
"""

import json
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# The desktop tests' harness starts the headless Wayland desktops.
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "desktop"))

# The pupils' reach in client pixels (both eyes, see PUPIL_REACH in vardo_bench.py): one
# strip from the left eye's left edge to the right eye's right edge.
PUPILS = (24, 76, 43, 8)
# Seconds the pointer lies still before each timed move: the face rests after two ticks.
SETTLE = 1.5
# The budgets: wake-ups at rest, and the difference it makes to the others.
REST_LIMIT = 0.2
OTHERS_LIMIT = 0.2
REAIM_LIMIT_MS = 150


def thread_switches(pid):
    """Context switches so far of each live thread of process pid, by thread id; None once
    the process has gone."""
    counts = {}
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except FileNotFoundError:
        return None
    for tid in tids:
        try:
            with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                counts[tid] = sum(int(line.split()[1]) for line in f if line.startswith(
                    ("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")))
        except FileNotFoundError:
            pass  # a thread that ended just now
    return counts


def switches_between(before, after):
    """Context switches from one thread_switches to the next: those of the threads that live at
    the end (a thread that ended meanwhile takes its count with it; one that started brings
    all of its own)."""
    return sum(n - before.get(tid, 0) for tid, n in after.items())


def wakeups(pids, seconds):
    """Context switches per second of each named process over `seconds`."""
    before = {name: thread_switches(pid) for name, pid in pids.items()}
    start = time.monotonic()
    time.sleep(seconds)
    after = {name: thread_switches(pid) for name, pid in pids.items()}
    elapsed = time.monotonic() - start
    return {name: switches_between(before[name], after[name]) / elapsed
            for name in pids if before[name] is not None and after[name] is not None}


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
    with_face = wakeups(dict(others, vardo=vardo_pid), seconds)
    return {"desktop": name, "seconds": seconds,
            "vardo": with_face.pop("vardo", None),
            "others": {n: {"with": with_face.get(n)} for n in others}}


def finish(result, before, after):
    base = without(before, after)
    for name, figures in result["others"].items():
        figures.update(without=base.get(name), before=before.get(name), after=after.get(name))
    return result


def x11(desktop, procs, program, launch, seconds, trials, log_path):
    """On the benchmark's Xvfb with openbox: `launch` starts the face as the benchmark does."""
    others = {"X server": desktop.xvfb.pid, "window manager": desktop.wm.pid}
    desktop.park()
    time.sleep(SETTLE)
    before = wakeups(others, seconds)
    proc, box, _ = launch(desktop, procs, program, log_path=log_path)
    try:
        desktop.park()
        time.sleep(2)
        result = phase("X11", others, proc.pid, seconds)
        x, y, w, h = PUPILS

        def pupils():
            return desktop.d.screen().root.get_image(box[0] + x, box[1] + y, w, h, 2,
                                                     0xFFFFFFFF).data

        def move(px, py):
            desktop.move_pointer(px, py)
            desktop.d.sync()

        eyes = box[1] + 80
        result["reaim_ms"] = reaims(move, pupils, [(0, eyes), (desktop_width(desktop) - 1, eyes)],
                                    trials)
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
        out["%s: vardo at rest" % name] = (
            r["vardo"] is not None and r["vardo"] <= REST_LIMIT, "%.2f/s" % (r["vardo"] or 0),
            "≤ %g/s" % REST_LIMIT)
        for other, figures in r["others"].items():
            if figures["with"] is None or figures["without"] is None:
                continue
            delta = figures["with"] - figures["without"]
            out["%s: %s at rest" % (name, other)] = (
                delta <= OTHERS_LIMIT, "%+.2f/s" % delta, "≤ +%g/s against no vardo" % OTHERS_LIMIT)
        seen = [t for t in r["reaim_ms"] if t is not None]
        missed = len(r["reaim_ms"]) - len(seen)
        out["%s: first re-aim after a rest" % name] = (
            missed == 0 and max(seen) <= REAIM_LIMIT_MS,
            "max %.0f ms%s" % (max(seen) if seen else float("nan"),
                               ", %d moves not followed" % missed if missed else ""),
            "≤ %d ms after the move" % REAIM_LIMIT_MS)
    return out


def markdown(results, budget):
    lines = ["| desktop | process | wake-ups/s without vardo (before, after) | with vardo at rest "
             "| difference |", "|---|---|---|---|---|"]
    for r in results:
        if "skipped" in r:
            lines.append("| %s | not measured: %s | | | |" % (r["desktop"], r["skipped"]))
            continue
        lines.append("| %s | vardo | | %.2f | |" % (r["desktop"], r["vardo"] or 0))
        for other, f in r["others"].items():
            if f["with"] is None or f["without"] is None:
                continue
            lines.append("| %s | %s | %.2f (%.2f, %.2f) | %.2f | %+.2f |" % (
                r["desktop"], other, f["without"], f["before"], f["after"], f["with"],
                f["with"] - f["without"]))
    lines += ["", "| desktop | first re-aim after a rest, ms (median, min–max) |", "|---|---|"]
    for r in results:
        if "skipped" in r:
            continue
        seen = [t for t in r["reaim_ms"] if t is not None]
        missed = len(r["reaim_ms"]) - len(seen)
        text = ("%.0f (%.0f–%.0f)" % (statistics.median(seen), min(seen), max(seen))
                if seen else "none")
        if missed:
            text += ", %d of %d moves not followed within 2 s" % (missed, len(r["reaim_ms"]))
        lines.append("| %s | %s |" % (r["desktop"], text))
    if budget is not None:
        lines += ["", "| budget at rest | result |", "|---|---|"]
        for key, (ok, measured, limit) in budget.items():
            lines.append("| %s | %s: %s (%s) |" % (key, "PASS" if ok else "FAIL", measured, limit))
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    print(json.dumps(wayland(sys.argv[1], sys.argv[2], float(sys.argv[3]), int(sys.argv[4]))))
